#include "app/QtUser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "app/Gauge.h"
#include "app/PortDialogs.h"
#include "app/Progress.h"

namespace velboot {
namespace {

QString Q(const std::string& text) { return QString::fromUtf8(text.c_str()); }

void MessageBox(QMessageBox::Icon icon, const char* caption, const std::string& text, QWidget* parent) {
  QMessageBox box(icon, caption, Q(text), QMessageBox::Ok, parent);
  box.exec();
}

// The platform's filter "Description|pattern" as Qt writes it.
QString QtFilter(const QString& filter) { return filter.section('|', 0, 0); }

}  // namespace

// Drives the Step's TProgressForm and frees it with the view.
class QtProgressView final : public ProgressView {
 public:
  QtProgressView(QtUserInteraction& user, QWidget* mainWindow) : user_(user), form_(new TProgressForm(mainWindow)) {
    user_.progress_ = form_;
    form_->show();
  }
  ~QtProgressView() override {
    user_.progress_ = nullptr;
    delete form_;
  }
  void SetLabel(const std::string& text) override { form_->ProgressLabel->setText(Q(text)); }
  void SetProgress(int percent) override { form_->ProgressGauge->SetProgress(percent); }
  void SetGaugeVisible(bool visible) override { form_->ProgressGauge->setVisible(visible); }
  void SetCancelVisible(bool visible) override { form_->BitBtn1->setVisible(visible); }
  bool Cancelled() const override { return form_->Cancelled; }

 private:
  QtUserInteraction& user_;
  TProgressForm* form_;
};

bool TOpenDialog::Execute(QWidget* parent) {
  QString start = FileName.isEmpty() ? InitialDir : FileName;
  QString chosen = QFileDialog::getOpenFileName(parent, QString(), start, QtFilter(Filter));
  if (chosen.isEmpty()) return false;
  FileName = chosen;
  QDir::setCurrent(QFileInfo(chosen).absolutePath());
  return true;
}

void QtUserInteraction::ShowError(const std::string& text) {
  MessageBox(QMessageBox::Critical, "Error", text, mainWindow_);
}

void QtUserInteraction::ShowInfo(const std::string& text) {
  MessageBox(QMessageBox::Information, "Information", text, mainWindow_);
}

bool QtUserInteraction::AskYesNo(const std::string& text) {
  QMessageBox box(QMessageBox::Question, "Confirm", Q(text), QMessageBox::NoButton, mainWindow_);
  QPushButton* yes = box.addButton("&Yes", QMessageBox::YesRole);
  box.addButton("&No", QMessageBox::NoRole);
  box.exec();
  return box.clickedButton() == yes;
}

std::optional<std::string> QtUserInteraction::ChooseFile(FileKind kind) {
  if (!chooseFile) return std::nullopt;
  return chooseFile(kind);
}

std::unique_ptr<ProgressView> QtUserInteraction::OpenProgress() {
  return std::make_unique<QtProgressView>(*this, mainWindow_);
}

std::optional<int> QtUserInteraction::ChoosePort(const std::vector<PortChoice>& ports, int current) {
  TQZ_RS232_SetNumDlg dialog(ports, current, mainWindow_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.ChosenPort();
}

std::optional<uint32_t> QtUserInteraction::ChooseBaudRate(uint32_t current) {
  TQZ_RS232_SetBRDlg dialog(current, mainWindow_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Rate();
}

std::string QtUserInteraction::AskPassword(const std::string& prompt) {
  TPasswDlg dialog(Q(prompt), mainWindow_);
  dialog.exec();
  return dialog.Entry().toStdString();
}

void QtMessagePump::ProcessMessages() { QCoreApplication::processEvents(); }

}  // namespace velboot
