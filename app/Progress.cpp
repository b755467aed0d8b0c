#include "app/Progress.h"

#include <QCloseEvent>
#include <QScreen>
#include <QStyle>

#include "app/AppShell.h"
#include "app/Gauge.h"
#include "ui_ProgressForm.h"

namespace velboot {

TProgressForm::TProgressForm(QWidget* mainWindow)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint),
      ui_(std::make_unique<Ui::TProgressForm>()),
      mainWindow_(mainWindow) {
  ui_->setupUi(this);
  ProgressLabel = ui_->ProgressLabel;
  ProgressGauge = ui_->ProgressGauge;
  BitBtn1 = ui_->BitBtn1;
  setFixedSize(261, 113);
  setFont(DialogFont(13));
  ProgressLabel->setFont(DialogFont());
  ProgressGauge->setFont(DialogFont(13));
  BitBtn1->setFont(DialogFont());
  BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
  BitBtn1->setAutoDefault(false);
  connect(BitBtn1, &QPushButton::clicked, this, [this] { BitBtn1Click(); });
}

TProgressForm::~TProgressForm() = default;

void TProgressForm::BitBtn1Click() { Cancelled = true; }

void TProgressForm::reject() {
  if (BitBtn1->isVisible() && BitBtn1->isEnabled()) BitBtn1Click();
}

void TProgressForm::closeEvent(QCloseEvent* event) { event->ignore(); }

void TProgressForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  QRect centre = mainWindow_ ? mainWindow_->frameGeometry() : screen()->availableGeometry();
  move(centre.center() - rect().center());
}

}  // namespace velboot
