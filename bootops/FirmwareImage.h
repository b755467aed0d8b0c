#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "devlink/RomTrailer.h"

namespace velboot {

inline constexpr size_t kPageSize = 2048;
inline constexpr size_t kChunkSize = 32;
// Far more than any MCU this loader serves; keeps a wrong file from exhausting memory.
inline constexpr size_t kMaxFirmwareFileSize = 256u << 20;

// Whole pages only: bytes after the last whole page are never sent.
inline size_t PageCount(size_t imageSize) { return imageSize / kPageSize; }
// Where page `page` goes, modulo 2^32.
inline uint32_t PageAddress(const RomTrailer& trailer, size_t page) {
  return static_cast<uint32_t>(page * kPageSize + trailer.BaseAddress);
}

}  // namespace velboot
