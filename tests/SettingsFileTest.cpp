// The settings file: key table, scrambling, layout and names.
#include <gtest/gtest.h>

#include "bootops/SettingsFile.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;

// Files written today must open in every later build: the table may never change.
TEST(SettingsKey, TableIsPinned) {
  uint64_t hash = 0xcbf29ce484222325ull;  // FNV-1a 64
  for (uint8_t b : SettingsKeyTable) hash = (hash ^ b) * 0x100000001b3ull;
  EXPECT_EQ(hash, 0x9af73ccaf06d92c2ull) << std::hex << hash;
  EXPECT_EQ(Bytes(SettingsKeyTable.begin(), SettingsKeyTable.begin() + 8),
            (Bytes{0x06, 0xB6, 0xBD, 0x3E, 0x40, 0x6A, 0xDC, 0x3B}));
}

TEST(SettingsKey, IsItsOwnInverseAndWrapsAt4096) {
  Bytes zeros(4098, 0);
  Bytes key = ApplySettingsKey(zeros);
  EXPECT_EQ(key[4096], SettingsKeyTable[0]);
  EXPECT_EQ(key[4097], SettingsKeyTable[1]);
  Bytes data(5000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13);
  EXPECT_EQ(ApplySettingsKey(ApplySettingsKey(data)), data);
  EXPECT_NE(ApplySettingsKey(data), data);
}

TEST(SettingsName, DateAndTimeWithTwoDigitFields) {
  struct Case {
    DateTime t;
    const char* name;
  } cases[] = {
      {{2024, 3, 5, 9, 7, 59}, "2024_03_05_09_07.kvst"},
      {{2023, 12, 31, 23, 59, 0}, "2023_12_31_23_59.kvst"},
      {{2024, 1, 1, 0, 5, 0}, "2024_01_01_00_05.kvst"},
      {{999, 10, 10, 10, 10, 0}, "999_10_10_10_10.kvst"},
  };
  for (const Case& c : cases) EXPECT_EQ(SettingsFileName(c.t), c.name);
  EXPECT_EQ(StampText({2024, 3, 5, 9, 7, 59}), "2024.03.05 09:07");
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(7), "07");
  EXPECT_EQ(TwoDigits(42), "42");
  EXPECT_EQ(TwoDigits(100), "100");
}

Bytes ImageOf(uint32_t size) {
  Bytes image(std::max<uint32_t>(size, 4));
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 31 + 5);
  for (int i = 0; i < 4; ++i) image[i] = static_cast<uint8_t>(size >> (8 * i));
  return image;
}

TEST(SettingsLayout, VersionPlainThenScrambledImageWithoutItsLastFourBytes) {
  Bytes image = ImageOf(1024);
  Bytes file = EncodeSettingsFile(0xBEEF, image, 1024);
  ASSERT_EQ(file.size(), 1022u);
  EXPECT_EQ(file[0], 0xEF);
  EXPECT_EQ(file[1], 0xBE);
  EXPECT_EQ(file[2], image[0] ^ SettingsKeyTable[0]);

  SettingsFileContent content = DecodeSettingsFile(file);
  EXPECT_EQ(content.version, 0xBEEF);
  ASSERT_EQ(content.image.size(), 1020u);
  EXPECT_EQ(content.image, Bytes(image.begin(), image.begin() + 1020));
}

TEST(SettingsLayout, SmallImagesGiveTheVersionAlone) {
  for (uint32_t size : {0u, 3u, 4u}) {
    Bytes file = EncodeSettingsFile(0x0102, ImageOf(size), size);
    EXPECT_EQ(file, (Bytes{0x02, 0x01})) << size;
    SettingsFileContent content = DecodeSettingsFile(file);
    EXPECT_EQ(content.version, 0x0102);
    EXPECT_TRUE(content.image.empty());
  }
  EXPECT_EQ(EncodeSettingsFile(1, ImageOf(5), 5).size(), 3u);
}

}  // namespace
}  // namespace velboot::test
