#pragma once
#include <QWidget>

#include "devlink/IniFile.h"

namespace velboot {

// The program's INI file: the executable's path with ".ini" for its extension, created holding
// one line with a single space when missing.
class TMIniFile : public IniFile {
 public:
  TMIniFile();
  static std::string Location();

  // State, then Left and Top unless maximized; Width and Height only for a sizeable window.
  void ReadFormPlacement(const std::string& section, QWidget& form, bool sizeable) const;
  void WriteFormPlacement(const std::string& section, const QWidget& form);
};

}  // namespace velboot
