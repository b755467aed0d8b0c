#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "devlink/BootCommands.h"

namespace velboot::sim {

// What the device does with one request instead of answering it properly.
enum class ReplyFault {
  None,
  Silence,         // no reply at all
  Busy,            // command byte 255
  ZeroHeader,      // address and header word zero
  ZeroHeaderBusy,  // both of the above
  CorruptByte,     // one payload or checksum byte changed
  DropByte,        // one byte missing: the frame stops short
  ShortLength,     // length byte 5
  ZeroLength,      // length byte 0
  StopAfterThree,  // only the first three bytes are sent
  CorruptRandom,   // one byte anywhere changed
};

struct PageOutcome {
  uint8_t status = 0;
  uint8_t result = 0;
};

struct Commit {
  uint16_t first;
  uint16_t second;
};

struct Reply {
  std::vector<uint8_t> bytes;
  uint32_t delayMs = 0;
};

// The resident bootloader at address 244: identify, firmware pages and the settings image. It
// also answers as the older bootloaders at 240 (by MCU type), 241 (keeping the head) and 252
// (firmware image with 4096-byte pages).
class DeviceModel {
 public:
  static constexpr uint8_t kAddress = 244;
  static constexpr uint8_t kByTypeAddress = 240;
  static constexpr uint8_t kKeepHeadAddress = 241;
  static constexpr uint8_t kImageAddress = 252;
  static constexpr size_t kPageSize = 2048;
  static constexpr size_t kSettingsBlock = 32;

  DeviceModel();

  // Bytes from the line; a reply for every complete frame addressed to the device.
  std::vector<Reply> Feed(const uint8_t* data, size_t size);
  // Forgets a partly received frame (the line was quiet too long, or purged).
  void ResetInput() { partial_.clear(); }
  size_t PartialBytes() const { return partial_.size(); }
  // Random faults, one draw per reply, repeatable for a seed: a reply is dropped, or one of its
  // bytes changed.
  void SetRandomFaults(double dropRate, double corruptRate, uint32_t seed);

  // A settings image of `imageSize` whose first four bytes state it and whose rest is a
  // recognisable pattern.
  static std::vector<uint8_t> MakeSettingsImage(uint32_t imageSize, uint8_t seed = 0);
  // A firmware image of `size` bytes: a recognisable pattern, then the 7-byte trailer.
  static std::vector<uint8_t> MakeFirmwareImage(size_t size, uint8_t type, uint16_t version, uint32_t base);

  // Configuration.
  uint8_t mcuType = 0x2A;
  uint16_t version = 0x0103;
  std::vector<uint8_t> settings = MakeSettingsImage(1024);
  std::map<std::pair<uint32_t, int>, PageOutcome> pageOutcomes;  // (page address, attempt)
  std::map<uint32_t, ReplyFault> faults;                         // by request number from 0
  uint32_t silentFirst = 0;
  uint32_t busyFirst = 0;
  uint32_t replyDelayMs = 0;
  uint32_t programDelayMs = 0;
  uint16_t byTypeMcu = 663;                                  // type word at 240
  std::array<uint8_t, 6> head{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};  // head bytes at 241
  double dropRate = 0;
  double corruptRate = 0;

  // State and record.
  std::map<uint32_t, std::vector<uint8_t>> memory;  // pages programmed at 244, by address
  // Pages programmed through the older bootloaders: bootloader address, then page address.
  std::map<uint8_t, std::map<uint32_t, std::vector<uint8_t>>> loaderMemory;
  int eraseCount = 0;
  std::vector<Commit> commits;
  std::vector<std::vector<uint8_t>> received;  // every complete frame, as it came
  int finishCount = 0;

 private:
  std::vector<uint8_t> Answer(const std::vector<uint8_t>& frame, uint32_t& delayMs);
  std::vector<uint8_t> Identify(uint8_t address) const;
  std::vector<uint8_t> ProgramPage(uint8_t bootloader, const std::vector<uint8_t>& payload);
  size_t PageSizeAt(uint8_t bootloader) const;
  void LoadChunk(const std::vector<uint8_t>& payload);
  std::vector<uint8_t> ReadSettingsBlock(uint16_t index) const;
  void WriteSettingsBlock(uint16_t index, const uint8_t* data);
  void CommitSettings(uint16_t first, uint16_t second);
  ReplyFault FaultFor(uint32_t request);
  void CorruptRandomByte(std::vector<uint8_t>& reply);

  std::vector<uint8_t> partial_;
  std::array<uint8_t, 4096> pageBuffer_{};
  std::map<uint32_t, int> attempts_;
  std::vector<uint8_t> pending_;  // settings written since the last commit
  uint32_t requests_ = 0;
  std::mt19937 rng_{1};
};

// A sealed frame of the normal layout: length, address, header word, command, payload, checksum.
std::vector<uint8_t> MakeFrame(uint8_t address, uint16_t header, uint8_t command,
                               const std::vector<uint8_t>& payload);

}  // namespace velboot::sim
