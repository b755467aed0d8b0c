#pragma once
#include <QWidget>
#include <functional>
#include <memory>

#include "app/QtUser.h"
#include "bootops/Workflow.h"
#include "devlink/QZ_RS232.h"

namespace Ui {
class TMainForm;
}
class QGroupBox;
class QLabel;
class QPushButton;

namespace velboot {

class TJustOne;

// What the window's device link runs on: the real ports and clock, or a simulated line in tests.
struct AppEnvironment {
  PortBackend& ports;
  Clock& clock;
};

// The main window: the port button and the three Steps.
class TMainForm : public QWidget {
 public:
  explicit TMainForm(const AppEnvironment& env, QWidget* parent = nullptr);
  ~TMainForm() override;

  void FormShow();
  void FormClose();
  void bRS232Click();
  void bLoadProgClick();
  void bGetParamsClick();
  void bSetParamsClick();

  QPushButton* bRS232;
  QLabel* Image1;
  QGroupBox* GroupBox1;
  QLabel* Label2;
  QPushButton* bGetParams;
  QGroupBox* GroupBox2;
  QLabel* Label3;
  QPushButton* Button2;
  QGroupBox* GroupBox4;
  QLabel* Label1;
  QPushButton* bSetParams;
  TJustOne* JustOne1;
  TOpenDialog OpenDialog1;
  TOpenDialog OpenDialog2;
  StepVersions Versions;  // SettingsVersion and DeviceVersion

  TQZ_RS* Link() const { return link_.get(); }
  QtUserInteraction& User() { return user_; }
  bool Busy() const { return busy_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs one handler with the four buttons disabled, so that no second Step can start on the
  // same link meanwhile; a failure escaping it goes to the default error box.
  void RunBusy(const std::function<void()>& handler);
  void LoadPlacementAndPort();
  void CentreOnScreen();

  std::unique_ptr<Ui::TMainForm> ui_;
  AppEnvironment env_;
  QtUserInteraction user_;
  QtMessagePump pump_;
  std::unique_ptr<TQZ_RS> link_;
  bool shown_ = false;
  bool busy_ = false;
};

}  // namespace velboot
