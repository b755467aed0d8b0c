#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "devlink/Port.h"

namespace velboot {

// The progress window of a running workflow.
class ProgressView {
 public:
  virtual ~ProgressView() = default;
  virtual void SetLabel(const std::string& text) = 0;
  // Percent; the view clips it to 0..100.
  virtual void SetProgress(int percent) = 0;
  virtual void SetGaugeVisible(bool visible) = 0;
  virtual void SetCancelVisible(bool visible) = 0;
  virtual bool Cancelled() const = 0;
};

enum class FileKind { Firmware, Settings };

struct PortChoice {
  int number;
  PortInfo info;
};

// Everything the core asks of a person. Qt widgets, the terminal and a scripted fake supply it.
class UserInteraction {
 public:
  virtual ~UserInteraction() = default;
  virtual void ShowError(const std::string& text) = 0;
  virtual void ShowInfo(const std::string& text) = 0;
  virtual bool AskYesNo(const std::string& text) = 0;
  // An existing file of the kind, or nothing when the choice was cancelled.
  virtual std::optional<std::string> ChooseFile(FileKind kind) = 0;
  virtual std::unique_ptr<ProgressView> OpenProgress() = 0;
  // Ports listed in ascending order with `current` preselected when listed. Nothing on Cancel;
  // 0 for OK with no entry selected.
  virtual std::optional<int> ChoosePort(const std::vector<PortChoice>& ports, int current) = 0;
  virtual std::optional<uint32_t> ChooseBaudRate(uint32_t current) = 0;
  // The masked entry, empty after Cancel.
  virtual std::string AskPassword(const std::string& prompt) = 0;
};

}  // namespace velboot
