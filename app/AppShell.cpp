#include "app/AppShell.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QLocale>
#include <QMessageBox>
#include <exception>

#include "devlink/Exception.h"

namespace velboot {
namespace {

QString& ExecutablePathOverride() {
  static QString path;
  return path;
}

}  // namespace

QString ExecutablePath() {
  if (!ExecutablePathOverride().isEmpty()) return ExecutablePathOverride();
  return QCoreApplication::applicationFilePath();
}

void SetExecutablePath(const QString& path) { ExecutablePathOverride() = path; }

void SetWorkDirToExe() {
  QLocale c = QLocale::c();
  c.setNumberOptions(QLocale::OmitGroupSeparator);
  QLocale::setDefault(c);  // "." as decimal separator, whatever the regional settings
  QString folder = QFileInfo(ExecutablePath()).absolutePath();
  if (!QDir::setCurrent(folder))
    throw Exception(("Не могу перейти в папку " + folder).toStdString());
}

QString ApplicationTitle(const QString& executablePath) {
  QString name = QFileInfo(executablePath).fileName();
  int dot = name.indexOf('.');
  if (dot >= 0) name.truncate(dot);
  if (name.isEmpty()) return name;
  return name.left(1) + name.mid(1).toLower();
}

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + ".";
  return message;
}

void ShowDefaultErrorBox(const QString& message, QWidget* parent) {
  QMessageBox box(QMessageBox::Critical, ApplicationTitle(ExecutablePath()), ErrorBoxText(message),
                  QMessageBox::Ok, parent);
  box.exec();
}

void RunHandler(const std::function<void()>& handler, QWidget* parent) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowDefaultErrorBox(QString::fromUtf8(e.what()), parent);
  }
}

QFont DialogFont(int pixelSize, bool bold) {
  QFont font("MS Sans Serif");
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

bool VelbootApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowDefaultErrorBox(QString::fromUtf8(e.what()));
  }
  return false;
}

}  // namespace velboot
