#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "devlink/Clock.h"
#include "devlink/MessagePump.h"
#include "devlink/UserInteraction.h"

namespace velboot::cli {

// Ctrl-C as the Cancel button: the first press is taken by the pump, where the progress window
// would take a click.
void CatchInterrupt();

class TerminalProgress;

// The user at a terminal: messages on stdout and stderr, progress on stderr, the files named on
// the command line.
class TerminalUser final : public UserInteraction {
 public:
  TerminalUser(Clock& clock, bool quiet, std::string file)
      : clock_(clock), quiet_(quiet), file_(std::move(file)) {}

  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> ChooseFile(FileKind) override { return file_; }
  std::unique_ptr<ProgressView> OpenProgress() override;
  std::optional<int> ChoosePort(const std::vector<PortChoice>&, int) override { return std::nullopt; }
  std::optional<uint32_t> ChooseBaudRate(uint32_t) override { return std::nullopt; }
  std::string AskPassword(const std::string&) override { return {}; }

  // While connecting: what the tool waits for, and how long it may wait (0: until Ctrl-C).
  void SetConnectTarget(std::string what, uint32_t waitSeconds);
  TerminalProgress* Progress() const { return progress_; }
  bool GaveUp() const { return gaveUp_; }
  bool ErrorShown() const { return errorShown_; }
  bool WasCancelled() const { return cancelled_; }

 private:
  friend class TerminalProgress;
  friend class TerminalPump;
  Clock& clock_;
  bool quiet_;
  std::string file_;
  std::string connectTarget_;
  uint32_t waitSeconds_ = 0;
  TerminalProgress* progress_ = nullptr;
  bool gaveUp_ = false;
  bool errorShown_ = false;
  bool cancelled_ = false;
};

// Notices Ctrl-C and the connect time limit between the core's waits.
class TerminalPump final : public MessagePump {
 public:
  TerminalPump(TerminalUser& user, Clock& clock) : user_(user), clock_(clock) {}
  void ProcessMessages() override;

 private:
  TerminalUser& user_;
  Clock& clock_;
};

}  // namespace velboot::cli
