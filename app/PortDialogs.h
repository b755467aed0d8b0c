#pragma once
#include <QDialog>
#include <memory>
#include <optional>
#include <vector>

#include "devlink/UserInteraction.h"

namespace Ui {
class TQZ_RS232_SetNumDlg;
class TQZ_RS232_SetBRDlg;
class TQZ_RS232_SetTypeDlg;
class TPasswDlg;
}  // namespace Ui

namespace velboot {

// Port number: the present ports, "COMn" with device path and description.
class TQZ_RS232_SetNumDlg : public QDialog {
 public:
  TQZ_RS232_SetNumDlg(const std::vector<PortChoice>& ports, int current, QWidget* parent = nullptr);
  ~TQZ_RS232_SetNumDlg() override;
  // The number of the selected entry, 0 when none is selected.
  int ChosenPort() const;
  Ui::TQZ_RS232_SetNumDlg& Form() { return *ui_; }

 private:
  std::unique_ptr<Ui::TQZ_RS232_SetNumDlg> ui_;
};

// Baud rate: 110 to 921600 in steps of 10.
class TQZ_RS232_SetBRDlg : public QDialog {
 public:
  explicit TQZ_RS232_SetBRDlg(uint32_t rate, QWidget* parent = nullptr);
  ~TQZ_RS232_SetBRDlg() override;
  uint32_t Rate() const;
  Ui::TQZ_RS232_SetBRDlg& Form() { return *ui_; }

 private:
  std::unique_ptr<Ui::TQZ_RS232_SetBRDlg> ui_;
};

// Line type; no operation shows it, it completes the set of forms.
class TQZ_RS232_SetTypeDlg : public QDialog {
 public:
  explicit TQZ_RS232_SetTypeDlg(QWidget* parent = nullptr);
  ~TQZ_RS232_SetTypeDlg() override;

 private:
  std::unique_ptr<Ui::TQZ_RS232_SetTypeDlg> ui_;
};

// Password entry: up to ten letters or digits, each shown as "$".
class TPasswDlg : public QDialog {
 public:
  explicit TPasswDlg(const QString& prompt, QWidget* parent = nullptr);
  ~TPasswDlg() override;
  QString Entry() const;
  Ui::TPasswDlg& Form() { return *ui_; }

 private:
  std::unique_ptr<Ui::TPasswDlg> ui_;
};

// Applies the dialogs' common look: fixed size, the dialog font, no help file behind Help.
void PrepareDialog(QDialog& dialog, int width, int height);

}  // namespace velboot
