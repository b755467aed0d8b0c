#include "app/Main32Velmor.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QScreen>

#include "app/AppShell.h"
#include "app/IniFls.h"
#include "app/JustOne.h"
#include "app/Picture.h"
#include "bootops/FirmwareUpload.h"
#include "bootops/Messages.h"
#include "bootops/SettingsRead.h"
#include "bootops/SettingsWrite.h"
#include "devlink/PrivGate.h"
#include "ui_MainForm.h"

namespace velboot {
namespace {

constexpr const char* kPlacementSection = "MainWindow";
constexpr int kClientWidth = 816;
constexpr int kClientHeight = 252;

}  // namespace

TMainForm::TMainForm(const AppEnvironment& env, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      ui_(std::make_unique<Ui::TMainForm>()),
      env_(env),
      user_(this) {
  ui_->setupUi(this);
  bRS232 = ui_->bRS232;
  Image1 = ui_->Image1;
  GroupBox1 = ui_->GroupBox1;
  Label2 = ui_->Label2;
  bGetParams = ui_->bGetParams;
  GroupBox2 = ui_->GroupBox2;
  Label3 = ui_->Label3;
  Button2 = ui_->Button2;
  GroupBox4 = ui_->GroupBox4;
  Label1 = ui_->Label1;
  bSetParams = ui_->bSetParams;
  JustOne1 = new TJustOne(QFileInfo(ExecutablePath()).fileName(), this);
  OpenDialog1.Filter = msg::FirmwareFilter;
  OpenDialog2.Filter = msg::SettingsFilter;

  setFixedSize(kClientWidth, kClientHeight);
  for (QWidget* w : findChildren<QWidget*>()) w->setFont(DialogFont(11, true));
  Image1->setPixmap(DecorativePicture());
  user_.chooseFile = [this](FileKind kind) -> std::optional<std::string> {
    TOpenDialog& dialog = kind == FileKind::Firmware ? OpenDialog1 : OpenDialog2;
    if (!dialog.Execute(this)) return std::nullopt;
    return dialog.FileName.toStdString();
  };
  connect(bRS232, &QPushButton::clicked, this, [this] { bRS232Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { bLoadProgClick(); });
  connect(bGetParams, &QPushButton::clicked, this, [this] { bGetParamsClick(); });
  connect(bSetParams, &QPushButton::clicked, this, [this] { bSetParamsClick(); });
}

TMainForm::~TMainForm() {
  if (DeviceLink == link_.get()) DeviceLink = nullptr;
}

void TMainForm::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shown_) return;
  shown_ = true;
  RunHandler([this] { FormShow(); }, this);
  CentreOnScreen();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  // Closing in the middle of a Step would leave the device half written; the Step ends first.
  if (busy_) {
    event->ignore();
    return;
  }
  // A failure to save is shown, and the window closes all the same.
  RunHandler([this] { FormClose(); }, this);
  event->accept();
}

void TMainForm::CentreOnScreen() {
  QRect screenArea = screen()->availableGeometry();
  QRect frame = frameGeometry();
  move(screenArea.center() - frame.center() + frame.topLeft());
}

void TMainForm::FormShow() {
  SetWorkDirToExe();
  link_ = std::make_unique<TQZ_RS>(LinkEnvironment{env_.ports, env_.clock, pump_, user_});
  DeviceLink = link_.get();
  // The INI file may fail to be created; the window still gets a working, closed port.
  RunHandler([this] { LoadPlacementAndPort(); }, this);
  PrivilegedMode = true;
  OpenDialog1.InitialDir = QFileInfo(ExecutablePath()).absolutePath();
  link_->SetBaudRate(115200);
  link_->SetActive(false);
  link_->SetLineMode(0);
}

void TMainForm::LoadPlacementAndPort() {
  TMIniFile ini;
  link_->LoadSettings(ini);
  ini.ReadFormPlacement(kPlacementSection, *this, false);
}

void TMainForm::FormClose() {
  SetWorkDirToExe();
  TMIniFile ini;
  if (link_) link_->SaveSettings(ini);
  ini.WriteFormPlacement(kPlacementSection, *this);
}

void TMainForm::RunBusy(const std::function<void()>& handler) {
  if (busy_ || !link_) return;
  busy_ = true;
  QPushButton* buttons[] = {bRS232, bGetParams, Button2, bSetParams};
  for (QPushButton* b : buttons) b->setEnabled(false);
  RunHandler(handler, this);
  for (QPushButton* b : buttons) b->setEnabled(true);
  busy_ = false;
}

void TMainForm::bRS232Click() {
  RunBusy([this] {
    link_->SelectPort();
    link_->SetActive(false);
  });
}

void TMainForm::bLoadProgClick() {
  RunBusy([this] { UploadFirmware(*link_, user_); });
}

void TMainForm::bGetParamsClick() {
  RunBusy([this] { ReadSettings(*link_, user_, Versions); });
}

void TMainForm::bSetParamsClick() {
  RunBusy([this] { WriteSettings(*link_, user_, Versions); });
}

}  // namespace velboot
