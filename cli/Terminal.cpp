#include "cli/Terminal.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

#include "bootops/Messages.h"

namespace velboot::cli {
namespace {

volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

constexpr int kBarWidth = 40;
constexpr int kLineStep = 10;

}  // namespace

void CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  ::sigaction(SIGINT, &action, nullptr);
}

class TerminalProgress final : public ProgressView {
 public:
  TerminalProgress(TerminalUser& user, uint64_t openedMs)
      : user_(user), openedMs_(openedMs), tty_(::isatty(STDERR_FILENO) != 0) {
    user_.progress_ = this;
  }
  ~TerminalProgress() override {
    EndBar();
    user_.progress_ = nullptr;
  }

  void SetLabel(const std::string& text) override {
    if (text.empty() || user_.quiet_) return;
    EndBar();
    std::cerr << text;
    if (text == msg::Connecting && !user_.connectTarget_.empty()) std::cerr << " (" << user_.connectTarget_ << ")";
    std::cerr << std::endl;
  }
  void SetProgress(int percent) override {
    percent = std::clamp(percent, 0, 100);
    if (percent == shown_ || user_.quiet_ || !gaugeVisible_) return;
    shown_ = percent;
    if (tty_) {
      int filled = percent * kBarWidth / 100;
      std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(filled, '#').c_str(),
                   std::string(kBarWidth - filled, ' ').c_str(), percent);
      std::fflush(stderr);
      barOpen_ = true;
    } else if (percent / kLineStep > lastLine_ / kLineStep) {
      lastLine_ = percent;
      std::cerr << percent / kLineStep * kLineStep << "%" << std::endl;
    }
  }
  void SetGaugeVisible(bool visible) override {
    gaugeVisible_ = visible;
    if (visible) {
      shown_ = -1;
      lastLine_ = 0;
      SetProgress(0);
    }
  }
  void SetCancelVisible(bool visible) override { cancelVisible_ = visible; }
  bool Cancelled() const override { return cancelled_; }

  bool Connecting() const { return !gaugeVisible_; }
  bool CancelVisible() const { return cancelVisible_; }
  uint64_t OpenedMs() const { return openedMs_; }
  void Cancel() {
    cancelled_ = true;
    user_.cancelled_ = true;
  }

 private:
  void EndBar() {
    if (!barOpen_) return;
    std::cerr << std::endl;
    barOpen_ = false;
  }

  TerminalUser& user_;
  uint64_t openedMs_;
  bool tty_;
  bool gaugeVisible_ = true;
  bool cancelVisible_ = true;
  bool cancelled_ = false;
  bool barOpen_ = false;
  int shown_ = -1;
  int lastLine_ = 0;
};

void TerminalUser::ShowError(const std::string& text) {
  errorShown_ = true;
  std::cerr << text << std::endl;
}

void TerminalUser::ShowInfo(const std::string& text) { std::cout << text << std::endl; }

bool TerminalUser::AskYesNo(const std::string& text) {
  std::cerr << text << " (no one to answer: no)" << std::endl;
  return false;
}

std::unique_ptr<ProgressView> TerminalUser::OpenProgress() {
  return std::make_unique<TerminalProgress>(*this, clock_.NowMs());
}

void TerminalUser::SetConnectTarget(std::string what, uint32_t waitSeconds) {
  connectTarget_ = std::move(what);
  waitSeconds_ = waitSeconds;
}

void TerminalPump::ProcessMessages() {
  TerminalProgress* progress = user_.Progress();
  if (interrupted) {
    interrupted = 0;
    if (progress && progress->CancelVisible()) progress->Cancel();
    if (!progress || !progress->Connecting()) {
      std::cerr << "\nThis stage cannot be cancelled; press Ctrl-C again to abort." << std::endl;
      ::signal(SIGINT, SIG_DFL);
    }
  }
  if (progress && progress->Connecting() && user_.waitSeconds_ > 0 &&
      clock_.NowMs() - progress->OpenedMs() >= uint64_t{user_.waitSeconds_} * 1000) {
    user_.gaveUp_ = true;
    progress->Cancel();
  }
}

}  // namespace velboot::cli
