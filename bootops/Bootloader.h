#pragma once
#include <cstdint>

namespace velboot {

// The resident bootloader: its address, commands and the waits this program allows for them.
inline constexpr uint8_t BootloaderAddress = 244;

enum BootCommand : uint8_t {
  cmdIdentify = 1,
  cmdWriteSettingsBlock = 4,
  cmdReadSettingsBlock = 5,
  cmdFinishUpload = 6,
  cmdCommitSettings = 7,
  cmdLoadChunk = 10,
  cmdProgramPage = 20,
};

inline constexpr uint32_t kLineBaudRate = 115200;
inline constexpr uint16_t kIdentifyTimeoutMs = 100;
inline constexpr uint16_t kChunkTimeoutMs = 500;
inline constexpr uint16_t kProgramTimeoutMs = 800;
inline constexpr uint16_t kReadBlockTimeoutMs = 500;
inline constexpr uint16_t kWriteBlockTimeoutMs = 3000;
inline constexpr uint32_t kUploadConnectPauseMs = 300;
inline constexpr uint32_t kSettingsConnectPauseMs = 3000;
inline constexpr int kProgramAttempts = 3;

}  // namespace velboot
