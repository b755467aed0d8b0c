// The INI file: values read with defaults, lines kept, files replaced whole.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "devlink/Exception.h"
#include "devlink/IniFile.h"
#include "tests/support/TempDir.h"

namespace velboot::test {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class IniFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
    return path;
  }
  TempDir dir;
  std::string path = dir.File("a.ini");
};

TEST_F(IniFileTest, ReadIntegerFallsBackUnlessTheValueIsANumber) {
  IniFile ini(Write("[S]\r\nA=12\r\nB= -7 \r\nC=x1\r\nD=\r\nE=$1F\r\nF=0x10\r\nG=99999999999\r\n"
                    "[T]\r\nA=5\r\n"));
  struct Case {
    const char* section;
    const char* key;
    int32_t value;
  } cases[] = {{"S", "A", 12}, {"s", "a", 12}, {"S", "B", -7}, {"S", "C", 42}, {"S", "D", 42},
               {"S", "E", 31}, {"S", "F", 16}, {"S", "G", 42}, {"S", "Z", 42}, {"T", "A", 5},
               {"U", "A", 42}};
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadInteger(c.section, c.key, 42), c.value) << c.section << "." << c.key;
}

TEST_F(IniFileTest, MissingFileReadsAsEmpty) {
  IniFile ini(path);
  EXPECT_EQ(ini.ReadInteger("RS232", "Port", 3), 3);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(IniFileTest, WritesKeepOtherLinesAndAppendWhereTheyBelong) {
  IniFile ini(Write(" \r\n; note\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"));
  ini.WriteInteger("A", "z", 3);  // new key: end of its section
  ini.WriteInteger("B", "Y", 5);  // existing key, other case
  ini.WriteInteger("C", "w", -1);  // new section: end of file
  EXPECT_EQ(ReadText(path), " \r\n; note\r\n[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\nY=5\r\n[C]\r\nw=-1\r\n");
  EXPECT_EQ(IniFile(path).ReadInteger("a", "Z", 0), 3);
}

TEST_F(IniFileTest, WriteLeavesNoTemporaryFileBehind) {
  IniFile ini(Write("[A]\nx=1\n"));  // LF line ends are read too
  EXPECT_EQ(ini.ReadInteger("A", "x", 0), 1);
  ini.WriteInteger("A", "x", 2);
  int files = 0;
  for (auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(IniFileTest, UnwritableFolderThrows) {
  IniFile ini(dir.File("no/such/folder/a.ini"));
  EXPECT_THROW(ini.WriteInteger("A", "x", 1), Exception);
}

}  // namespace
}  // namespace velboot::test
