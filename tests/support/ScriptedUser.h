#pragma once
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devlink/MessagePump.h"
#include "devlink/UserInteraction.h"

namespace velboot::test {

// What a progress window was asked to show, kept after the window is gone.
struct ProgressRecord {
  std::vector<std::string> labels;
  std::vector<int> values;
  bool gaugeVisible = true;
  bool cancelVisible = true;
  bool cancelled = false;
  bool open = false;
  int opened = 0;
  // Cancel as a person presses it: only a visible button has an effect.
  void PressCancel() {
    if (open && cancelVisible) cancelled = true;
  }
};

// A user who answers from a script and writes down every call in order in `log`.
class ScriptedUser : public UserInteraction {
 public:
  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> ChooseFile(FileKind kind) override;
  std::unique_ptr<ProgressView> OpenProgress() override;
  std::optional<int> ChoosePort(const std::vector<PortChoice>& ports, int current) override;
  std::optional<uint32_t> ChooseBaudRate(uint32_t current) override;
  std::string AskPassword(const std::string& prompt) override;

  // Script.
  bool answerYes = true;
  std::deque<std::optional<std::string>> files;
  std::optional<int> portAnswer;
  std::optional<uint32_t> rateAnswer;
  std::string passwordEntry;

  // Record.
  std::vector<std::string> log;  // "error: ...", "info: ...", "progress: open", ...
  std::vector<std::string> errors;
  std::vector<std::string> infos;
  std::vector<std::string> questions;
  std::vector<std::vector<PortChoice>> portLists;
  std::vector<int> portPreselected;
  int passwordAsked = 0;
  std::shared_ptr<ProgressRecord> progress = std::make_shared<ProgressRecord>();
};

// A message pump that counts and can act at a given pump, as a person clicking meanwhile.
class ScriptedPump : public MessagePump {
 public:
  void ProcessMessages() override {
    ++count;
    if (onPump) onPump(count);
  }
  int count = 0;
  std::function<void(int)> onPump;
};

}  // namespace velboot::test
