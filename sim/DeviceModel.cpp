#include "sim/DeviceModel.h"

#include <algorithm>
#include <cstring>

namespace velboot::sim {
namespace {

constexpr uint8_t kBusyCommand = 255;
constexpr uint16_t kReplyHeader = 1;
constexpr size_t kSmallestRequest = 6;
constexpr size_t kPayloadStart = 5;

uint8_t ChecksumOf(const std::vector<uint8_t>& frame, size_t count) {
  unsigned sum = 0;
  for (size_t i = 0; i < count; ++i) sum += frame[i];
  return static_cast<uint8_t>((256 - sum % 256) % 256);
}

void Reseal(std::vector<uint8_t>& frame) { frame.back() = ChecksumOf(frame, frame.size() - 1); }

uint16_t Word(const std::vector<uint8_t>& p, size_t at) {
  return at + 1 < p.size() ? static_cast<uint16_t>(p[at] | p[at + 1] << 8) : 0;
}

uint32_t Long(const std::vector<uint8_t>& p, size_t at) {
  return at + 3 < p.size() ? static_cast<uint32_t>(p[at] | p[at + 1] << 8 | p[at + 2] << 16 |
                                                   static_cast<uint32_t>(p[at + 3]) << 24)
                           : 0;
}

void Mangle(std::vector<uint8_t>& frame, ReplyFault fault) {
  switch (fault) {
    case ReplyFault::Busy:
      frame[4] = kBusyCommand;
      Reseal(frame);
      break;
    case ReplyFault::ZeroHeader:
    case ReplyFault::ZeroHeaderBusy:
      frame[1] = frame[2] = frame[3] = 0;
      if (fault == ReplyFault::ZeroHeaderBusy) frame[4] = kBusyCommand;
      Reseal(frame);
      break;
    case ReplyFault::CorruptByte: frame.back() ^= 0x01; break;
    case ReplyFault::DropByte: frame.erase(frame.begin() + static_cast<long>(frame.size() / 2)); break;
    case ReplyFault::ShortLength: frame[0] = 5; break;
    case ReplyFault::ZeroLength: frame[0] = 0; break;
    case ReplyFault::StopAfterThree: frame.resize(3); break;
    case ReplyFault::None:
    case ReplyFault::Silence:
    case ReplyFault::CorruptRandom: break;
  }
}

}  // namespace

std::vector<uint8_t> MakeFrame(uint8_t address, uint16_t header, uint8_t command,
                               const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> frame;
  frame.reserve(payload.size() + 6);
  for (uint8_t b : {uint8_t{0}, address, static_cast<uint8_t>(header),
                    static_cast<uint8_t>(header >> 8), command})
    frame.push_back(b);
  for (uint8_t b : payload) frame.push_back(b);
  frame.push_back(0);
  frame[0] = static_cast<uint8_t>(frame.size());
  Reseal(frame);
  return frame;
}

std::vector<uint8_t> DeviceModel::MakeSettingsImage(uint32_t imageSize, uint8_t seed) {
  std::vector<uint8_t> image(std::max<uint32_t>(imageSize, 4));
  for (size_t i = 4; i < image.size(); ++i)
    image[i] = static_cast<uint8_t>(i * 131 + seed * 17 + (i >> 8));
  for (int i = 0; i < 4; ++i) image[i] = static_cast<uint8_t>(imageSize >> (8 * i));
  return image;
}

std::vector<uint8_t> DeviceModel::MakeFirmwareImage(size_t size, uint8_t type, uint16_t version, uint32_t base) {
  std::vector<uint8_t> image(size);
  for (size_t i = 0; i < size; ++i) image[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
  if (size < 7) return image;
  uint8_t* trailer = image.data() + size - 7;
  trailer[0] = type;
  trailer[1] = static_cast<uint8_t>(version);
  trailer[2] = static_cast<uint8_t>(version >> 8);
  for (int i = 0; i < 4; ++i) trailer[3 + i] = static_cast<uint8_t>(base >> (8 * i));
  return image;
}

DeviceModel::DeviceModel() = default;

std::vector<Reply> DeviceModel::Feed(const uint8_t* data, size_t size) {
  std::vector<Reply> replies;
  for (size_t i = 0; i < size; ++i) {
    partial_.push_back(data[i]);
    size_t needed = partial_[0] == 0 ? 256 : partial_[0];
    if (partial_.size() < needed) continue;
    std::vector<uint8_t> frame;
    frame.swap(partial_);
    received.push_back(frame);
    Reply reply;
    reply.bytes = Answer(frame, reply.delayMs);
    if (!reply.bytes.empty()) replies.push_back(std::move(reply));
  }
  return replies;
}

void DeviceModel::SetRandomFaults(double drop, double corrupt, uint32_t seed) {
  dropRate = drop;
  corruptRate = corrupt;
  rng_.seed(seed);
}

ReplyFault DeviceModel::FaultFor(uint32_t request) {
  if (request < silentFirst) return ReplyFault::Silence;
  if (request < busyFirst) return ReplyFault::Busy;
  auto it = faults.find(request);
  if (it != faults.end()) return it->second;
  if (dropRate <= 0 && corruptRate <= 0) return ReplyFault::None;
  double draw = std::uniform_real_distribution<double>(0, 1)(rng_);
  if (draw < dropRate) return ReplyFault::Silence;
  if (draw < dropRate + corruptRate) return ReplyFault::CorruptRandom;
  return ReplyFault::None;
}

void DeviceModel::CorruptRandomByte(std::vector<uint8_t>& reply) {
  size_t position = std::uniform_int_distribution<size_t>(0, reply.size() - 1)(rng_);
  reply[position] ^= static_cast<uint8_t>(std::uniform_int_distribution<int>(1, 255)(rng_));
}

std::vector<uint8_t> DeviceModel::Answer(const std::vector<uint8_t>& frame, uint32_t& delayMs) {
  uint8_t address = frame.size() > 1 ? frame[1] : 0;
  bool ours = address == kAddress || address == kByTypeAddress || address == kKeepHeadAddress ||
              address == kImageAddress;
  if (frame.size() < kSmallestRequest || ChecksumOf(frame, frame.size()) != 0 || !ours)
    return {};  // not a request for this device: it keeps quiet
  ReplyFault fault = FaultFor(requests_++);
  uint8_t command = frame[4];
  if (fault == ReplyFault::Silence) return {};
  if (fault == ReplyFault::Busy) return MakeFrame(address, kReplyHeader, kBusyCommand, {});

  std::vector<uint8_t> payload(frame.begin() + kPayloadStart, frame.end() - 1);
  std::vector<uint8_t> answer;
  delayMs = replyDelayMs;
  switch (command) {
    case cmdIdentify: answer = Identify(address); break;
    case cmdEraseDevice:
      ++eraseCount;
      loaderMemory[address].clear();
      break;
    case cmdLoadChunk: LoadChunk(payload); break;
    case cmdProgramPage:
      delayMs += programDelayMs;
      answer = ProgramPage(address, payload);
      break;
    case cmdFinishUpload: ++finishCount; break;
    case cmdReadSettingsBlock: answer = ReadSettingsBlock(Word(payload, 0)); break;
    case cmdWriteSettingsBlock:
      if (payload.size() >= 4 + kSettingsBlock) WriteSettingsBlock(Word(payload, 0), payload.data() + 4);
      break;
    case cmdCommitSettings: CommitSettings(Word(payload, 0), Word(payload, 2)); break;
    default: break;
  }
  std::vector<uint8_t> reply = MakeFrame(address, kReplyHeader, command, answer);
  if (fault == ReplyFault::CorruptRandom)
    CorruptRandomByte(reply);
  else
    Mangle(reply, fault);
  return reply;
}

std::vector<uint8_t> DeviceModel::Identify(uint8_t address) const {
  uint8_t versionLow = static_cast<uint8_t>(version), versionHigh = static_cast<uint8_t>(version >> 8);
  switch (address) {
    case kByTypeAddress: return {0, static_cast<uint8_t>(byTypeMcu), static_cast<uint8_t>(byTypeMcu >> 8)};
    case kKeepHeadAddress: {
      std::vector<uint8_t> answer{versionLow, versionHigh, mcuType, 0, 0, 0};
      answer.insert(answer.end(), head.begin(), head.end());
      return answer;
    }
    default: return {mcuType, versionLow, versionHigh};
  }
}

size_t DeviceModel::PageSizeAt(uint8_t bootloader) const {
  switch (bootloader) {
    case kKeepHeadAddress: return 1536;
    case kImageAddress: return 4096;
    case kByTypeAddress:
      if (byTypeMcu == 2195) return 64;
      return byTypeMcu == 663 || byTypeMcu == 664 ? 256 : 128;
    default: return kPageSize;
  }
}

// Chunk k of a page carries its bytes from k times the chunk's length on.
void DeviceModel::LoadChunk(const std::vector<uint8_t>& payload) {
  if (payload.size() < 2) return;
  size_t length = payload.size() - 1;
  size_t offset = payload[0] * length;
  if (offset + length <= pageBuffer_.size()) std::memcpy(pageBuffer_.data() + offset, payload.data() + 1, length);
}

std::vector<uint8_t> DeviceModel::ProgramPage(uint8_t bootloader, const std::vector<uint8_t>& payload) {
  bool wordAndByte = bootloader == kByTypeAddress || bootloader == kKeepHeadAddress;
  uint32_t address = wordAndByte ? Word(payload, 0) + (payload.size() > 2 ? uint32_t{payload[2]} << 16 : 0)
                                 : Long(payload, 0);
  int attempt = ++attempts_[address];
  PageOutcome outcome;
  if (auto it = pageOutcomes.find({address, attempt}); it != pageOutcomes.end()) outcome = it->second;
  bool failed = (outcome.status & 0x03) != 0 || (outcome.result >= 1 && outcome.result <= 4);
  if (!failed) {
    std::vector<uint8_t> page(pageBuffer_.begin(), pageBuffer_.begin() + static_cast<long>(PageSizeAt(bootloader)));
    (bootloader == kAddress ? memory : loaderMemory[bootloader])[address] = std::move(page);
  }
  return {outcome.status, outcome.result};
}

std::vector<uint8_t> DeviceModel::ReadSettingsBlock(uint16_t index) const {
  std::vector<uint8_t> block(kSettingsBlock, 0);
  size_t start = size_t{index} * kSettingsBlock;
  for (size_t i = 0; i < kSettingsBlock && start + i < settings.size(); ++i)
    block[i] = settings[start + i];
  return block;
}

void DeviceModel::WriteSettingsBlock(uint16_t index, const uint8_t* data) {
  if (pending_.empty()) pending_ = settings;
  size_t start = size_t{index} * kSettingsBlock;
  for (size_t i = 0; i < kSettingsBlock && start + i < pending_.size(); ++i)
    pending_[start + i] = data[i];
}

void DeviceModel::CommitSettings(uint16_t first, uint16_t second) {
  commits.push_back({first, second});
  if (pending_.empty()) return;
  size_t count = std::min<size_t>(second, settings.size());
  std::copy(pending_.begin(), pending_.begin() + static_cast<long>(count), settings.begin());
  pending_.clear();
}

}  // namespace velboot::sim
