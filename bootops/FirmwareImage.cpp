#include "bootops/FirmwareImage.h"

namespace velboot {

std::optional<RomTrailer> ReadRomTrailer(const std::vector<uint8_t>& image) {
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
