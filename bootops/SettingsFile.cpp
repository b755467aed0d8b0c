#include "bootops/SettingsFile.h"

#include <algorithm>
#include <ctime>

namespace velboot {
namespace {

// The table was made once from xorshift32 (13, 17, 5) seeded with "VELB" (0x56454C42), one
// byte per step from the top of the state. It must never change: files written by one build
// open in every later one. A test pins it.
constexpr std::array<uint8_t, kSettingsKeySize> MakeKeyTable() {
  std::array<uint8_t, kSettingsKeySize> table{};
  uint32_t state = 0x56454C42;
  for (uint8_t& entry : table) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    entry = static_cast<uint8_t>(state >> 24);
  }
  return table;
}

}  // namespace

constexpr std::array<uint8_t, kSettingsKeySize> SettingsKeyTable = MakeKeyTable();

std::vector<uint8_t> ApplySettingsKey(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> out(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = bytes[i] ^ SettingsKeyTable[i % kSettingsKeySize];
  return out;
}

DateTime CurrentLocalTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
          local.tm_hour,        local.tm_min,     local.tm_sec};
}

std::string TwoDigits(uint16_t n) {
  std::string text = std::to_string(n);
  return text.size() == 1 ? "0" + text : text;
}

std::string StampText(const DateTime& t) {
  auto two = [](int v) { return TwoDigits(static_cast<uint16_t>(v)); };
  return std::to_string(t.year) + "." + two(t.month) + "." + two(t.day) + " " + two(t.hour) + ":" +
         two(t.minute);
}

std::string SettingsFileName(const DateTime& t) {
  std::string name = StampText(t);
  for (char& c : name)
    if (c == ' ' || c == '.' || c == ':') c = '_';
  return name + ".kvst";
}

std::vector<uint8_t> EncodeSettingsFile(uint16_t version, const std::vector<uint8_t>& image,
                                        uint32_t imageSize) {
  std::vector<uint8_t> file{static_cast<uint8_t>(version), static_cast<uint8_t>(version >> 8)};
  if (imageSize <= kImageSizeField) return file;
  size_t count = std::min<size_t>(imageSize - kImageSizeField, image.size());
  std::vector<uint8_t> kept(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(count));
  std::vector<uint8_t> scrambled = ApplySettingsKey(kept);
  file.insert(file.end(), scrambled.begin(), scrambled.end());
  return file;
}

SettingsFileContent DecodeSettingsFile(const std::vector<uint8_t>& file) {
  SettingsFileContent content;
  if (file.size() < kSettingsVersionSize) return content;
  content.version = static_cast<uint16_t>(file[0] | file[1] << 8);
  content.image = ApplySettingsKey(std::vector<uint8_t>(file.begin() + kSettingsVersionSize, file.end()));
  return content;
}

}  // namespace velboot
