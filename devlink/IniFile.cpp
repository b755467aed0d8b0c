#include "devlink/IniFile.h"

#include <cerrno>
#include <charconv>
#include <fstream>
#include <sys/stat.h>

#include "devlink/AtomicFile.h"

namespace velboot {
namespace {

constexpr size_t kNone = static_cast<size_t>(-1);
// INI files of this program hold a few lines; anything beyond this is not ours to parse.
constexpr size_t kMaxIniSize = 1 << 20;

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](unsigned char c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "[name]" gives name; anything else gives nothing.
bool SectionHeader(const std::string& line, std::string& name) {
  std::string t = Trim(line);
  if (t.size() < 2 || t.front() != '[' || t.back() != ']') return false;
  name = Trim(t.substr(1, t.size() - 2));
  return true;
}

bool KeyOfLine(const std::string& line, std::string& key, std::string& value) {
  size_t eq = line.find('=');
  if (eq == std::string::npos) return false;
  key = Trim(line.substr(0, eq));
  value = Trim(line.substr(eq + 1));
  return !key.empty() && key[0] != ';';
}

// Decimal with an optional sign, or hexadecimal after "$" or "0x", as the platform's
// integer conversion accepts them.
bool ParseInteger(const std::string& text, int32_t& out) {
  std::string t = Trim(text);
  bool negative = false;
  size_t i = 0;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  int base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  int64_t magnitude = 0;
  auto [end, ec] = std::from_chars(t.data() + i, t.data() + t.size(), magnitude, base);
  if (ec != std::errc() || end != t.data() + t.size() || magnitude < 0) return false;
  int64_t value = negative ? -magnitude : magnitude;
  if (value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) { Load(); }

void IniFile::Load() {
  lines_.clear();
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) return;  // a missing file reads as empty
  std::vector<uint8_t> bytes = ReadWholeFile(path_, kMaxIniSize);
  std::string line;
  for (uint8_t b : bytes) {
    if (b == '\n') {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      lines_.push_back(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(b));
    }
  }
  if (!line.empty()) lines_.push_back(line);
}

void IniFile::Store() const {
  std::vector<uint8_t> bytes;
  for (const std::string& l : lines_) {
    bytes.insert(bytes.end(), l.begin(), l.end());
    bytes.push_back('\r');
    bytes.push_back('\n');
  }
  WriteFileAtomically(path_, bytes);
}

IniFile::Position IniFile::Find(const std::string& section, const std::string& key) const {
  Position pos{kNone, kNone, kNone};
  std::string name, k, v;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (SectionHeader(lines_[i], name)) {
      if (pos.section_begin != kNone) break;
      if (SameText(name, section)) pos.section_begin = i;
      continue;
    }
    if (pos.section_begin == kNone) continue;
    if (!Trim(lines_[i]).empty()) pos.section_end = i + 1;
    if (pos.key_line == kNone && KeyOfLine(lines_[i], k, v) && SameText(k, key)) pos.key_line = i;
  }
  if (pos.section_begin != kNone && pos.section_end == kNone) pos.section_end = pos.section_begin + 1;
  return pos;
}

bool IniFile::ValueExists(const std::string& section, const std::string& key) const {
  return Find(section, key).key_line != kNone;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& fallback) const {
  Position pos = Find(section, key);
  if (pos.key_line == kNone) return fallback;
  std::string k, v;
  KeyOfLine(lines_[pos.key_line], k, v);
  return v;
}

int32_t IniFile::ReadInteger(const std::string& section, const std::string& key,
                             int32_t fallback) const {
  int32_t value = 0;
  return ParseInteger(ReadString(section, key, ""), value) ? value : fallback;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  Position pos = Find(section, key);
  std::string line = key + "=" + value;
  if (pos.key_line != kNone) {
    lines_[pos.key_line] = line;
  } else if (pos.section_begin != kNone) {
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(pos.section_end), line);
  } else {
    lines_.push_back("[" + section + "]");
    lines_.push_back(line);
  }
  Store();
}

void IniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
  WriteString(section, key, std::to_string(value));
}

}  // namespace velboot
