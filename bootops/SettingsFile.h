#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace velboot {

// The settings file: the device's version word, plain, then the settings image without its
// last four bytes, scrambled with SettingsKeyTable.
inline constexpr size_t kSettingsKeySize = 4096;
extern const std::array<uint8_t, kSettingsKeySize> SettingsKeyTable;

inline constexpr size_t kSettingsVersionSize = 2;
inline constexpr size_t kImageSizeField = 4;
// The smallest file that holds a version word and an image size.
inline constexpr size_t kSmallestSettingsFile = kSettingsVersionSize + kImageSizeField;
// Block indices are 16-bit: a device can serve at most 65536 blocks of 32 bytes.
inline constexpr size_t kSettingsBlockSize = 32;
inline constexpr uint64_t kMaxSettingsBlocks = 65536;
inline constexpr size_t kMaxSettingsFileSize = kSettingsVersionSize + kMaxSettingsBlocks * kSettingsBlockSize;

// The image size stated by the first four bytes of an image (at least four bytes long).
inline uint32_t ImageSizeOf(const std::vector<uint8_t>& image) {
  return static_cast<uint32_t>(image[0]) | static_cast<uint32_t>(image[1]) << 8 |
         static_cast<uint32_t>(image[2]) << 16 | static_cast<uint32_t>(image[3]) << 24;
}

// Byte i becomes byte i XOR SettingsKeyTable[i mod 4096]; its own inverse.
std::vector<uint8_t> ApplySettingsKey(const std::vector<uint8_t>& bytes);

struct DateTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
DateTime CurrentLocalTime();

std::string TwoDigits(uint16_t n);
std::string StampText(const DateTime& t);
// year_month_day_hour_minute.kvst
std::string SettingsFileName(const DateTime& t);

// The file content for an image of `imageSize` bytes; `image` holds at least imageSize - 4.
std::vector<uint8_t> EncodeSettingsFile(uint16_t version, const std::vector<uint8_t>& image,
                                        uint32_t imageSize);

struct SettingsFileContent {
  uint16_t version = 0;
  std::vector<uint8_t> image;  // descrambled, from image position 0 (the image size) on
};
// Descrambles by the file's length; the file holds at least its version word.
SettingsFileContent DecodeSettingsFile(const std::vector<uint8_t>& file);

}  // namespace velboot
