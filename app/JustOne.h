#pragma once
#include <QObject>
#include <QString>

namespace velboot {

// Lets one instance per executable file name run: a second start of the same name ends quietly
// after its first show. On Linux a per-user lock file named after the executable, which the
// system releases when the process ends, also after a crash.
class TJustOne : public QObject {
 public:
  // `name`: the executable's file name, as its path spells it.
  explicit TJustOne(const QString& name, QObject* parent = nullptr);
  ~TJustOne() override;

  bool OwnsMutex() const { return OwnsMutex_; }
  static QString LockPath(const QString& name);

 private:
  int MutexHandle_ = -1;
  bool OwnsMutex_ = false;
};

}  // namespace velboot
