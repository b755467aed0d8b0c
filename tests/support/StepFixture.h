#pragma once
#include <fstream>
#include <string>
#include <vector>

#include "bootops/Workflow.h"
#include "tests/support/LinkFixture.h"
#include "tests/support/TempDir.h"

namespace velboot::test {

// A firmware image whose trailer names the device model's MCU unless told otherwise.
inline std::vector<uint8_t> RomImage(size_t size, uint32_t base = 0x08004000, uint8_t type = 0x2A,
                                     uint16_t version = 0x0103) {
  return sim::DeviceModel::MakeFirmwareImage(size, type, version, base);
}

// A Step against the device model: a temporary folder for files and helpers to read the wire.
class StepFixture : public LinkFixture {
 protected:
  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  static std::vector<uint8_t> ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
  }
  // The command byte of every frame the device received.
  std::vector<uint8_t> Commands() const {
    std::vector<uint8_t> commands;
    for (const auto& frame : device.received) commands.push_back(frame.size() > 4 ? frame[4] : 0);
    return commands;
  }
  size_t CountOf(uint8_t command) const {
    size_t n = 0;
    for (uint8_t c : Commands()) n += c == command;
    return n;
  }
  size_t FilesInDir() const {
    size_t n = 0;
    for (auto& entry : std::filesystem::directory_iterator(dir.Path())) n += entry.is_regular_file();
    return n;
  }
  // The port closed and the progress window gone, as after every Step.
  void ExpectCleanedUp() const {
    EXPECT_EQ(line.openPorts, 0);
    EXPECT_FALSE(user.progress->open);
  }

  TempDir dir;
  StepVersions versions;
};

}  // namespace velboot::test
