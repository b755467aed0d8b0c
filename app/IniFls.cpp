#include "app/IniFls.h"

#include <QFileInfo>
#include <filesystem>

#include "app/AppShell.h"
#include "devlink/AtomicFile.h"

namespace velboot {
namespace {

enum WindowState { kNormal = 0, kMinimized = 1, kMaximized = 2 };
constexpr int32_t kSmallestSide = 100;

std::string EnsureExists(const std::string& path) {
  if (!std::filesystem::exists(path)) WriteFileAtomically(path, {' ', '\r', '\n'});
  return path;
}

int32_t StateOf(const QWidget& form) {
  if (form.isMinimized()) return kMinimized;
  if (form.isMaximized()) return kMaximized;
  return kNormal;
}

// Only the three known states are applied; anything else reads as normal.
void ApplyState(QWidget& form, int32_t state) {
  Qt::WindowStates states = form.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
  if (state == kMinimized) states |= Qt::WindowMinimized;
  if (state == kMaximized) states |= Qt::WindowMaximized;
  form.setWindowState(states);
}

}  // namespace

std::string TMIniFile::Location() {
  QFileInfo exe(ExecutablePath());
  return (exe.absolutePath() + "/" + exe.completeBaseName() + ".ini").toStdString();
}

TMIniFile::TMIniFile() : IniFile(EnsureExists(Location())) {}

void TMIniFile::ReadFormPlacement(const std::string& section, QWidget& form, bool sizeable) const {
  ApplyState(form, ReadInteger(section, "State", StateOf(form)));
  if (form.windowState() & Qt::WindowMaximized) return;
  form.move(std::max(0, ReadInteger(section, "Left", form.x())), form.y());
  form.move(form.x(), std::max(0, ReadInteger(section, "Top", form.y())));
  if (!sizeable) return;
  int32_t width = ReadInteger(section, "Width", form.width());
  int32_t height = ReadInteger(section, "Height", form.height());
  form.resize(width < 0 ? kSmallestSide : width, height < 0 ? kSmallestSide : height);
}

void TMIniFile::WriteFormPlacement(const std::string& section, const QWidget& form) {
  WriteInteger(section, "State", StateOf(form));
  WriteInteger(section, "Left", form.x());
  WriteInteger(section, "Top", form.y());
  WriteInteger(section, "Width", form.frameGeometry().width());
  WriteInteger(section, "Height", form.frameGeometry().height());
}

}  // namespace velboot
