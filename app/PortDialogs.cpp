#include "app/PortDialogs.h"

#include <QAbstractItemView>
#include <QProxyStyle>
#include <QRegularExpressionValidator>

#include "app/AppShell.h"
#include "ui_PasswDlg.h"
#include "ui_SetBRDlg.h"
#include "ui_SetNumDlg.h"
#include "ui_SetTypeDlg.h"

namespace velboot {
namespace {

constexpr const char* kNoHelp = "Файл справки не поставляется с программой.";

// Shows every character of a masked entry as "$".
class DollarMaskStyle : public QProxyStyle {
 public:
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return '$';
    return QProxyStyle::styleHint(hint, option, widget, data);
  }
};

void WireButtons(QDialog& dialog, QPushButton* ok, QPushButton* cancel) {
  QObject::connect(ok, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
}

void NoHelp(QPushButton* help) {
  help->setEnabled(false);
  help->setToolTip(kNoHelp);
}

}  // namespace

void PrepareDialog(QDialog& dialog, int width, int height) {
  dialog.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  dialog.setFixedSize(width, height);
  for (QWidget* w : dialog.findChildren<QWidget*>()) w->setFont(DialogFont());
}

TQZ_RS232_SetNumDlg::TQZ_RS232_SetNumDlg(const std::vector<PortChoice>& ports, int current, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TQZ_RS232_SetNumDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(*this, 337, 85);
  WireButtons(*this, ui_->OKBtn, ui_->CancelBtn);
  ui_->PCB->setCurrentIndex(-1);
  for (const PortChoice& port : ports) {
    QString text = "COM" + QString::number(port.number);
    if (!port.info.path.empty()) text += "  " + QString::fromStdString(port.info.path);
    if (!port.info.description.empty()) text += "  " + QString::fromStdString(port.info.description);
    ui_->PCB->addItem(text, port.number);
    if (port.number == current) ui_->PCB->setCurrentIndex(ui_->PCB->count() - 1);
  }
  ui_->PCB->view()->setMinimumWidth(320);  // room for path and description in the list
  ui_->PCB->setFocus();
}

TQZ_RS232_SetNumDlg::~TQZ_RS232_SetNumDlg() = default;

int TQZ_RS232_SetNumDlg::ChosenPort() const {
  return ui_->PCB->currentIndex() < 0 ? 0 : ui_->PCB->currentData().toInt();
}

TQZ_RS232_SetBRDlg::TQZ_RS232_SetBRDlg(uint32_t rate, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TQZ_RS232_SetBRDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(*this, 301, 89);
  WireButtons(*this, ui_->OKBtn, ui_->CancelBtn);
  NoHelp(ui_->HelpBtn);
  ui_->BSE->setValue(static_cast<int>(rate));
}

TQZ_RS232_SetBRDlg::~TQZ_RS232_SetBRDlg() = default;

uint32_t TQZ_RS232_SetBRDlg::Rate() const { return static_cast<uint32_t>(ui_->BSE->value()); }

TQZ_RS232_SetTypeDlg::TQZ_RS232_SetTypeDlg(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TQZ_RS232_SetTypeDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(*this, 415, 111);
  WireButtons(*this, ui_->OKBtn, ui_->CancelBtn);
  NoHelp(ui_->HelpBtn);
  ui_->cbType->setCurrentIndex(0);
}

TQZ_RS232_SetTypeDlg::~TQZ_RS232_SetTypeDlg() = default;

TPasswDlg::TPasswDlg(const QString& prompt, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TPasswDlg>()) {
  ui_->setupUi(this);
  PrepareDialog(*this, 233, 139);
  WireButtons(*this, ui_->OKBtn, ui_->CancelBtn);
  ui_->Label1->setText(prompt);
  auto* style = new DollarMaskStyle;
  style->setParent(ui_->MaskEdit1);
  ui_->MaskEdit1->setStyle(style);
  ui_->MaskEdit1->setValidator(
      new QRegularExpressionValidator(QRegularExpression("[A-Za-z0-9]{0,10}"), ui_->MaskEdit1));
  ui_->MaskEdit1->setFocus();
}

TPasswDlg::~TPasswDlg() = default;

QString TPasswDlg::Entry() const { return result() == QDialog::Accepted ? ui_->MaskEdit1->text() : QString(); }

}  // namespace velboot
