#pragma once
#include <QDialog>
#include <memory>

namespace Ui {
class TProgressForm;
}

class QLabel;
class QPushButton;

namespace velboot {

class TGauge;

// The small always-on-top window of a running Step: what happens, how far, and Cancel. The user
// cannot close it; Cancel only sets a flag that the Step reads at fixed points.
class TProgressForm : public QDialog {
 public:
  explicit TProgressForm(QWidget* mainWindow = nullptr);
  ~TProgressForm() override;

  QLabel* ProgressLabel;
  TGauge* ProgressGauge;
  QPushButton* BitBtn1;
  bool Cancelled = false;

  void BitBtn1Click();

 protected:
  void reject() override;  // Esc: a click on Cancel, when it can be clicked
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  std::unique_ptr<Ui::TProgressForm> ui_;
  QWidget* mainWindow_;
};

}  // namespace velboot
