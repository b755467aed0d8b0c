#pragma once
#include <cstdint>

#include "devlink/BootCommands.h"

namespace velboot {

// The resident bootloader: its address, commands and the waits this program allows for them.
inline constexpr uint8_t BootloaderAddress = 244;

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
