#include "tests/support/ScriptedUser.h"

namespace velboot::test {
namespace {

class ScriptedProgress final : public ProgressView {
 public:
  ScriptedProgress(std::shared_ptr<ProgressRecord> record, std::vector<std::string>& log)
      : record_(std::move(record)), log_(log) {
    record_->open = true;
    ++record_->opened;
    log_.push_back("progress: open");
  }
  ~ScriptedProgress() override {
    record_->open = false;
    log_.push_back("progress: close");
  }
  void SetLabel(const std::string& text) override {
    record_->labels.push_back(text);
    log_.push_back("label: " + text);
  }
  void SetProgress(int percent) override { record_->values.push_back(percent); }
  void SetGaugeVisible(bool visible) override { record_->gaugeVisible = visible; }
  void SetCancelVisible(bool visible) override { record_->cancelVisible = visible; }
  bool Cancelled() const override { return record_->cancelled; }

 private:
  std::shared_ptr<ProgressRecord> record_;
  std::vector<std::string>& log_;
};

}  // namespace

void ScriptedUser::ShowError(const std::string& text) {
  errors.push_back(text);
  log.push_back("error: " + text);
}

void ScriptedUser::ShowInfo(const std::string& text) {
  infos.push_back(text);
  log.push_back("info: " + text);
}

bool ScriptedUser::AskYesNo(const std::string& text) {
  questions.push_back(text);
  log.push_back("question: " + text);
  return answerYes;
}

std::optional<std::string> ScriptedUser::ChooseFile(FileKind kind) {
  log.push_back(kind == FileKind::Firmware ? "choose: firmware" : "choose: settings");
  if (files.empty()) return std::nullopt;
  std::optional<std::string> file = files.front();
  files.pop_front();
  return file;
}

std::unique_ptr<ProgressView> ScriptedUser::OpenProgress() {
  return std::make_unique<ScriptedProgress>(progress, log);
}

std::optional<int> ScriptedUser::ChoosePort(const std::vector<PortChoice>& ports, int current) {
  portLists.push_back(ports);
  portPreselected.push_back(current);
  log.push_back("choose: port");
  return portAnswer;
}

std::optional<uint32_t> ScriptedUser::ChooseBaudRate(uint32_t) {
  log.push_back("choose: rate");
  return rateAnswer;
}

std::string ScriptedUser::AskPassword(const std::string&) {
  ++passwordAsked;
  log.push_back("password");
  return passwordEntry;
}

}  // namespace velboot::test
