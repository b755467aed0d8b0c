#pragma once
#include <cstdint>

namespace velboot {

// Command codes of the resident bootloaders, the same at every bootloader address.
enum BootCommand : uint8_t {
  cmdIdentify = 1,
  cmdEraseDevice = 2,
  cmdWriteSettingsBlock = 4,
  cmdReadSettingsBlock = 5,
  cmdFinishUpload = 6,
  cmdCommitSettings = 7,
  cmdLoadChunk = 10,
  cmdProgramPage = 20,
};

}  // namespace velboot
