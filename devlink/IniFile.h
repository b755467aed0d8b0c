#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace velboot {

// An INI file with the semantics of the Windows profile calls: sections and keys match without
// regard to case, existing lines are kept, a new key goes to the end of its section and a new
// section to the end of the file. Every write stores the whole file atomically.
class IniFile {
 public:
  explicit IniFile(std::string path);
  virtual ~IniFile() = default;

  const std::string& Path() const { return path_; }
  bool ValueExists(const std::string& section, const std::string& key) const;
  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& fallback) const;
  // The fallback when the key is missing, not a number, or outside the 32-bit range.
  int32_t ReadInteger(const std::string& section, const std::string& key, int32_t fallback) const;
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteInteger(const std::string& section, const std::string& key, int32_t value);

 private:
  struct Position {
    size_t section_begin;  // index of the header line, or npos
    size_t section_end;    // one past the last line of the section
    size_t key_line;       // index of the key's line, or npos
  };
  Position Find(const std::string& section, const std::string& key) const;
  void Load();
  void Store() const;

  std::string path_;
  std::vector<std::string> lines_;
};

}  // namespace velboot
