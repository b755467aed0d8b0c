#pragma once
#include <QPointer>
#include <QString>
#include <functional>

#include "devlink/MessagePump.h"
#include "devlink/UserInteraction.h"

class QWidget;

namespace velboot {

class TProgressForm;

// A file-open dialog that remembers the last file and offers it again; choosing a file makes its
// folder the current folder.
struct TOpenDialog {
  QString Filter;      // "Description (*.ext)|*.ext"
  QString InitialDir;  // used until a file has been chosen
  QString FileName;    // the last chosen file, with its folder
  bool Execute(QWidget* parent);
};

// The user as the window sees them: message boxes, dialogs and the progress window.
class QtUserInteraction : public UserInteraction {
 public:
  explicit QtUserInteraction(QWidget* mainWindow) : mainWindow_(mainWindow) {}

  void ShowError(const std::string& text) override;
  void ShowInfo(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  std::optional<std::string> ChooseFile(FileKind kind) override;
  std::unique_ptr<ProgressView> OpenProgress() override;
  std::optional<int> ChoosePort(const std::vector<PortChoice>& ports, int current) override;
  std::optional<uint32_t> ChooseBaudRate(uint32_t current) override;
  std::string AskPassword(const std::string& prompt) override;

  // Supplies the files; the main window hands in its two open dialogs.
  std::function<std::optional<std::string>(FileKind)> chooseFile;
  // The progress window of the running Step, if any.
  TProgressForm* CurrentProgress() const { return progress_; }

 private:
  friend class QtProgressView;
  QWidget* mainWindow_;
  TProgressForm* progress_ = nullptr;
};

class QtMessagePump : public MessagePump {
 public:
  void ProcessMessages() override;
};

}  // namespace velboot
