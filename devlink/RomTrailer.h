#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace velboot {

// The last 7 bytes of a firmware image: what it was made for and where it goes.
struct RomTrailer {
  uint8_t McuType = 0;
  uint16_t Version = 0;
  uint32_t BaseAddress = 0;
};

inline constexpr size_t kRomTrailerSize = 7;

// The trailer, or nothing when the image is too short to hold one.
inline std::optional<RomTrailer> ReadRomTrailer(const std::vector<uint8_t>& image) {
  if (image.size() < kRomTrailerSize) return std::nullopt;
  const uint8_t* t = image.data() + image.size() - kRomTrailerSize;
  RomTrailer trailer;
  trailer.McuType = t[0];
  trailer.Version = static_cast<uint16_t>(t[1] | t[2] << 8);
  trailer.BaseAddress = static_cast<uint32_t>(t[3]) | static_cast<uint32_t>(t[4]) << 8 |
                        static_cast<uint32_t>(t[5]) << 16 | static_cast<uint32_t>(t[6]) << 24;
  return trailer;
}

}  // namespace velboot
