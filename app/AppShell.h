#pragma once
#include <QApplication>
#include <QString>
#include <functional>

class QWidget;

namespace velboot {

// The executable's full path; tests point it elsewhere so that the INI file lands in a folder of
// their own.
QString ExecutablePath();
void SetExecutablePath(const QString& path);

// "." as decimal separator, and the executable's folder as the current folder.
void SetWorkDirToExe();

// The executable's file name up to its first full stop, letters after the first in lower case.
QString ApplicationTitle(const QString& executablePath);
// The message with a full stop appended when its last character comes after "." in the code.
QString ErrorBoxText(const QString& message);
// The application's box for a failure that escaped a handler; the program keeps running.
void ShowDefaultErrorBox(const QString& message, QWidget* parent = nullptr);

// Runs a handler; a failure escaping it goes to the default error box.
void RunHandler(const std::function<void()>& handler, QWidget* parent = nullptr);

// The dialogs' font: MS Sans Serif where it exists, else the nearest sans-serif face, at the
// same pixel size (8 pt at 96 dpi is 11 px).
QFont DialogFont(int pixelSize = 11, bool bold = false);

// Catches a failure that escapes an event handler, as the platform's default box would.
class VelbootApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace velboot
