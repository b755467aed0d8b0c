// The desktop program under the offscreen platform: layouts, placement in the INI file, the
// single-instance guard, the error box, the progress window, the port and password dialogs,
// and one Step run from the window against the simulated device.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>

#include "app/AppShell.h"
#include "app/Gauge.h"
#include "app/JustOne.h"
#include "app/Main32Velmor.h"
#include "app/PortDialogs.h"
#include "app/Progress.h"
#include "bootops/Messages.h"
#include "devlink/Exception.h"
#include "devlink/PrivGate.h"
#include "sim/SimLine.h"
#include "tests/support/TempDir.h"

using namespace velboot;

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Acts on the next modal window as soon as it is up, as a person at the screen would.
void OnNextModal(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, act] {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal) return;
    timer->stop();
    timer->deleteLater();
    act(modal);
  });
  timer->start(5);
}

// A main window on the simulated line, with its executable (and so its INI file) in a folder of
// its own and a name of its own, so that tests do not meet each other's instance guard.
struct Window {
  explicit Window(std::set<int> ports = {1}) : line(clock, &device, std::move(ports)) {
    static int count = 0;
    exe = dir.File("velboot-gui-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count));
    SetExecutablePath(QString::fromStdString(exe));
    form = std::make_unique<TMainForm>(AppEnvironment{line, clock});
  }
  ~Window() {
    form.reset();
    QFile::remove(TJustOne::LockPath(QFileInfo(QString::fromStdString(exe)).fileName()));
  }
  std::string Ini() const { return exe + ".ini"; }

  test::TempDir dir;
  std::string exe;
  VirtualClock clock;
  sim::DeviceModel device;
  sim::SimLine line;
  std::unique_ptr<TMainForm> form;
};

struct Expected {
  const char* name;
  QRect geometry;
  const char* text;  // caption, title or nullptr
};

QString TextOf(QWidget* w) {
  if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text();
  if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
  if (auto* g = qobject_cast<QGroupBox*>(w)) return g->title();
  return {};
}

void CheckLayout(QWidget& form, const char* caption, QSize client, std::initializer_list<Expected> controls) {
  QCOMPARE(form.windowTitle(), QString::fromUtf8(caption));
  QCOMPARE(form.size(), client);
  for (const Expected& e : controls) {
    auto* w = form.findChild<QWidget*>(e.name);
    QVERIFY2(w != nullptr, e.name);
    QCOMPARE(w->geometry(), e.geometry);
    if (e.text) QCOMPARE(TextOf(w), QString::fromUtf8(e.text));
  }
}

}  // namespace

class GuiTest : public QObject {
  Q_OBJECT

 private slots:
  void cleanup() { PrivilegedMode = false; }

  void layouts() {
    Window w;
    CheckLayout(*w.form, "BootLoader for ARM  (Вельмор)", {816, 252},
                {{"bRS232", {8, 16, 393, 25}, "Выбрать СОМ-порт"},
                 {"GroupBox1", {8, 72, 393, 121}, "Шаг 1"},
                 {"Label2", {40, 16, 313, 57},
                  "Для последующего восстановления настроек, сделанных пользователем в текущей версии, или для "
                  "переноса текущих настроек в более новые версии считайте текущие настройки МК."},
                 {"bGetParams", {8, 80, 377, 25}, "Считать настройки из МК"},
                 {"GroupBox2", {408, 8, 393, 89}, "Шаг 2"},
                 {"Label3", {40, 16, 313, 25}, "Загрузите новую прошивку в МК."},
                 {"Button2", {8, 48, 377, 25}, "Загрузить прошивку"},
                 {"GroupBox4", {408, 112, 393, 81}, "Шаг 3"},
                 {"Label1", {40, 16, 313, 25}, "Запишите ранее сохраненные настройки в МК"},
                 {"bSetParams", {8, 40, 377, 25}, "Записать настройки в МК"},
                 {"Image1", {560, 200, 240, 40}, nullptr}});
    QCOMPARE(w.form->Image1->pixmap().size(), QSize(355, 60));
    QVERIFY(w.form->bRS232->font().bold());
    QCOMPARE(w.form->OpenDialog1.Filter, QString("Файлы прошивок (*.rom)|*.rom"));
    QCOMPARE(w.form->OpenDialog2.Filter, QString("Файлы настроек (*.kvst)|*.kvst"));

    TProgressForm progress;
    CheckLayout(progress, "Progress...", {261, 113},
                {{"ProgressLabel", {0, 0, 261, 41}, "Прогресс"},
                 {"ProgressGauge", {21, 48, 220, 25}, nullptr},
                 {"BitBtn1", {75, 80, 111, 25}, "Cancel"}});
    QVERIFY(progress.windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(!(progress.windowFlags() & Qt::WindowCloseButtonHint));

    TQZ_RS232_SetNumDlg number({}, 0);
    CheckLayout(number, "Выбор номера порта", {337, 85},
                {{"Label1", {8, 8, 201, 13}, "Выберите последовательный порт"},
                 {"PCB", {224, 8, 105, 21}, nullptr},
                 {"OKBtn", {152, 48, 80, 27}, "OK"},
                 {"CancelBtn", {244, 48, 80, 27}, "Cancel"}});
    TQZ_RS232_SetBRDlg rate(115200);
    CheckLayout(rate, "Выбор скорости обмена СОМ-порта", {301, 89},
                {{"Label2", {8, 16, 153, 13}, "Скорость обмена, бод"},
                 {"BSE", {192, 12, 97, 21}, nullptr},
                 {"OKBtn", {8, 48, 80, 27}, "OK"},
                 {"CancelBtn", {108, 48, 80, 27}, "Cancel"},
                 {"HelpBtn", {208, 48, 80, 27}, "Help"}});
    auto* bse = rate.findChild<QSpinBox*>("BSE");
    QCOMPARE(bse->minimum(), 110);
    QCOMPARE(bse->maximum(), 921600);
    QCOMPARE(bse->singleStep(), 10);
    QCOMPARE(bse->value(), 115200);
    TQZ_RS232_SetTypeDlg type;
    CheckLayout(type, "Выбор типа порта", {415, 111},
                {{"Label1", {8, 8, 217, 13}, "Выберите тип последовательного порта"},
                 {"Label2", {8, 40, 129, 13}, "Физический протокол:"},
                 {"cbType", {145, 36, 256, 21}, nullptr},
                 {"OKBtn", {136, 72, 80, 27}, "OK"},
                 {"CancelBtn", {228, 72, 80, 27}, "Cancel"},
                 {"HelpBtn", {320, 72, 80, 27}, "Help"}});
    auto* cb = type.findChild<QComboBox*>("cbType");
    QCOMPARE(cb->count(), 4);
    QCOMPARE(cb->itemText(2), QString("RS485 с эхом запроса"));
    TPasswDlg password("prompt");
    CheckLayout(password, "Контроль доступа", {233, 139},
                {{"Label1", {8, 9, 217, 39}, "prompt"},
                 {"MaskEdit1", {53, 64, 128, 21}, nullptr},
                 {"OKBtn", {18, 99, 77, 27}, "OK"},
                 {"CancelBtn", {130, 99, 77, 27}, "Cancel"}});
  }

  void firstStartCreatesIniAndCloseWritesIt() {
    Window w;
    QVERIFY(!std::filesystem::exists(w.Ini()));
    w.form->show();
    QCOMPARE(QString::fromStdString(ReadText(w.Ini())), QString(" \r\n"));
    QVERIFY(w.form->Link() != nullptr);
    QVERIFY(!w.form->Link()->IsOpen());
    QVERIFY(PrivilegedMode);
    w.form->close();
    QString text = QString::fromStdString(ReadText(w.Ini()));
    QRegularExpression shape(
        "^ \r\n\\[RS232\\]\r\nPort=1\r\n\\[MainWindow\\]\r\nState=0\r\nLeft=-?\\d+\r\nTop=-?\\d+\r\nWidth=\\d+\r\nHeight=\\d+\r\n$");
    QVERIFY2(shape.match(text).hasMatch(), qPrintable(text));
  }

  void maximizedStateIsRestored() {
    Window w;
    std::ofstream(w.Ini(), std::ios::binary) << "[MainWindow]\r\nState=2\r\nLeft=-40\r\nTop=-40\r\n";
    w.form->show();
    QTRY_VERIFY(w.form->windowState() & Qt::WindowMaximized);
  }

  void negativePositionReadsAsZeroAndWindowIsCentred() {
    Window w;
    std::ofstream(w.Ini(), std::ios::binary) << "[MainWindow]\r\nState=7\r\nLeft=-50\r\nTop=-60\r\n";
    w.form->show();
    QRect screen = w.form->screen()->availableGeometry();
    QCOMPARE(w.form->frameGeometry().center(), screen.center());
    QVERIFY(!(w.form->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized)));
  }

  void secondInstanceIsRefusedOtherNameIsNot() {
    QString name = "velboot-guard-" + QString::number(::getpid());
    TJustOne first(name);
    TJustOne second(name);
    TJustOne other(name + "-copy");
    QVERIFY(first.OwnsMutex());
    QVERIFY(!second.OwnsMutex());
    QVERIFY(other.OwnsMutex());
    QFile::remove(TJustOne::LockPath(name));
    QFile::remove(TJustOne::LockPath(name + "-copy"));
  }

  void defaultErrorBox() {
    QCOMPARE(ApplicationTitle("/opt/x/VELBOOT.bin.exe"), QString("Velboot"));
    QCOMPARE(ApplicationTitle("/opt/x/velboot"), QString("velboot"));  // the first letter as it is
    QCOMPARE(ErrorBoxText("Нет связи"), QString("Нет связи."));
    QCOMPARE(ErrorBoxText("Done."), QString("Done."));
    QCOMPARE(ErrorBoxText("Why!"), QString("Why!"));
    QCOMPARE(ErrorBoxText("(4)"), QString("(4)"));
    QCOMPARE(ErrorBoxText("file.kvst"), QString("file.kvst."));

    SetExecutablePath("/opt/x/VELBOOT");
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    OnNextModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      title = box->windowTitle();
      text = box->text();
      icon = box->icon();
      box->accept();
    });
    RunHandler([] { throw Exception("RS232. Ошибка обмена.(4)"); });
    QCOMPARE(title, QString("Velboot"));
    QCOMPARE(text, QString("RS232. Ошибка обмена.(4)"));
    QCOMPARE(icon, QMessageBox::Critical);
  }

  void progressCancelOnlyWhileTheButtonIsVisible() {
    TProgressForm shown;
    shown.show();
    QTest::keyClick(&shown, Qt::Key_Escape);
    QVERIFY(shown.Cancelled);
    QVERIFY(shown.isVisible());

    TProgressForm clicked;
    clicked.show();
    QTest::mouseClick(clicked.BitBtn1, Qt::LeftButton);
    QVERIFY(clicked.Cancelled);

    TProgressForm hidden;
    hidden.show();
    hidden.BitBtn1->hide();
    QTest::keyClick(&hidden, Qt::Key_Escape);
    QVERIFY(!hidden.Cancelled);
    hidden.close();
    QVERIFY(hidden.isVisible());  // the user cannot close it
  }

  void gaugeClipsAndRepaintsOnlyChanges() {
    TProgressForm form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    TGauge& gauge = *form.ProgressGauge;
    int paints = gauge.Paints();
    gauge.SetProgress(150);
    QCOMPARE(gauge.Progress(), 100);
    QCOMPARE(gauge.Paints(), paints + 1);  // at once, not at the next loop
    gauge.SetProgress(100);
    QCOMPARE(gauge.Paints(), paints + 1);
    gauge.SetProgress(-3);
    QCOMPARE(gauge.Progress(), 0);
    QCOMPARE(gauge.Paints(), paints + 2);
  }

  void portDialogListsPresentPortsAndCancelKeepsTheNumber() {
    Window w({2, 5, 7});
    w.form->show();
    w.form->Link()->PortNumber = 5;
    w.line.events.clear();
    QStringList entries;
    QString current;
    bool buttonsDisabled = false;
    OnNextModal([&](QWidget* modal) {
      auto* pcb = modal->findChild<QComboBox*>("PCB");
      for (int i = 0; i < pcb->count(); ++i) entries << pcb->itemText(i).section(' ', 0, 0);
      current = pcb->currentText().section(' ', 0, 0);
      buttonsDisabled = !w.form->bGetParams->isEnabled();
      qobject_cast<QDialog*>(modal)->reject();
    });
    QTest::mouseClick(w.form->bRS232, Qt::LeftButton);
    QCOMPARE(entries, QStringList({"COM2", "COM5", "COM7"}));
    QCOMPARE(current, QString("COM5"));
    QVERIFY(buttonsDisabled);
    QCOMPARE(w.form->Link()->PortNumber, 5);
    QVERIFY(!w.form->Link()->IsOpen());
    QCOMPARE(w.line.events.back().kind, sim::LineEvent::Close);  // reopened, then closed again
    QVERIFY(w.form->bGetParams->isEnabled());

    OnNextModal([&](QWidget* modal) {
      auto* pcb = modal->findChild<QComboBox*>("PCB");
      pcb->setCurrentIndex(2);
      qobject_cast<QDialog*>(modal)->accept();
    });
    QTest::mouseClick(w.form->bRS232, Qt::LeftButton);
    QCOMPARE(w.form->Link()->PortNumber, 7);
  }

  void passwordGate() {
    struct Case {
      const char* entry;
      bool ok;
      bool passes;
    } cases[] = {{"VLM", true, true}, {"vlm", true, false}, {"VLM", false, false}, {"ABC", true, false}};
    QWidget parent;
    QtUserInteraction user(&parent);
    for (const Case& c : cases) {
      PrivilegedMode = false;
      OnNextModal([&](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) return box->accept();  // unexpected
        QTest::keyClicks(modal->findChild<QLineEdit*>("MaskEdit1"), c.entry);
        c.ok ? qobject_cast<QDialog*>(modal)->accept() : qobject_cast<QDialog*>(modal)->reject();
        if (!c.passes) {
          OnNextModal([](QWidget* box) {
            QCOMPARE(qobject_cast<QMessageBox*>(box)->text(), QString("Неверный пароль!"));
            qobject_cast<QMessageBox*>(box)->accept();
          });
        }
      });
      QCOMPARE(RequirePrivilege(user), c.passes);
      QCOMPARE(PrivilegedMode, c.passes);
    }
    TPasswDlg dialog("x");
    auto* entry = dialog.findChild<QLineEdit*>("MaskEdit1");
    QCOMPARE(entry->maxLength(), 10);
  }

  void stepRunsFromTheWindowAgainstTheSimulatedDevice() {
    Window w;
    w.device.settings = sim::DeviceModel::MakeSettingsImage(256, 2);
    w.form->show();
    bool buttonsDisabled = false, progressUp = false, stayedOpen = false;
    QString message;
    OnNextModal([&](QWidget* modal) {
      w.form->close();  // refused while the Step runs
      stayedOpen = w.form->isVisible();
      buttonsDisabled = !w.form->bGetParams->isEnabled() && !w.form->Button2->isEnabled() &&
                        !w.form->bSetParams->isEnabled() && !w.form->bRS232->isEnabled();
      progressUp = w.form->User().CurrentProgress() != nullptr;
      message = qobject_cast<QMessageBox*>(modal)->text();
      qobject_cast<QMessageBox*>(modal)->accept();
    });
    QTest::mouseClick(w.form->bGetParams, Qt::LeftButton);
    QVERIFY(buttonsDisabled);
    QVERIFY(progressUp);
    QVERIFY(stayedOpen);
    QVERIFY2(message.startsWith(QString::fromUtf8(msg::SettingsSaved)), qPrintable(message));
    QVERIFY(w.form->bGetParams->isEnabled());
    QVERIFY(w.form->User().CurrentProgress() == nullptr);
    QCOMPARE(w.line.openPorts, 0);
    QString file = message.mid(QString::fromUtf8(msg::SettingsSaved).size());
    QVERIFY(std::filesystem::exists(w.dir.File(file.toStdString())));
    QCOMPARE(w.form->Versions.SettingsVersion, w.device.version);
  }

  // Pictures for the README, taken when VELBOOT_SCREENSHOTS names a folder.
  void screenshots() {
    QString folder = qEnvironmentVariable("VELBOOT_SCREENSHOTS");
    if (folder.isEmpty()) QSKIP("VELBOOT_SCREENSHOTS not set");
    Window w;
    w.form->show();
    QVERIFY(w.form->grab().save(folder + "/main-window.png"));
    TProgressForm progress(w.form.get());
    progress.ProgressLabel->setText(QString::fromUtf8(msg::UploadingFirmware));
    progress.ProgressGauge->SetProgress(62);
    progress.BitBtn1->hide();
    progress.show();
    QVERIFY(progress.grab().save(folder + "/progress-window.png"));
  }
};

QTEST_MAIN(GuiTest)
#include "GuiTest.moc"
