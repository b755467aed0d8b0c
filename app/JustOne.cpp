#include "app/JustOne.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QMetaObject>

namespace velboot {

QString TJustOne::LockPath(const QString& name) {
  QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (folder.isEmpty() || !QDir(folder).exists()) folder = QDir::tempPath();
  return folder + "/velboot-" + QString::number(::getuid()) + "-" + name + ".lock";
}

TJustOne::TJustOne(const QString& name, QObject* parent) : QObject(parent) {
  QByteArray path = QFile::encodeName(LockPath(name));
  MutexHandle_ = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (MutexHandle_ >= 0 && ::flock(MutexHandle_, LOCK_EX | LOCK_NB) == 0) {
    OwnsMutex_ = true;
    return;
  }
  // Another instance runs: quit once the message loop takes over, without a word.
  QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

TJustOne::~TJustOne() {
  if (MutexHandle_ >= 0) ::close(MutexHandle_);
}

}  // namespace velboot
