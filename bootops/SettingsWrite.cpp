#include "bootops/SettingsWrite.h"

#include <algorithm>

#include "bootops/Bootloader.h"
#include "bootops/Messages.h"
#include "bootops/SettingsFile.h"
#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"

namespace velboot {
namespace {

// A file that cannot hold its version word and image size, or that holds fewer image bytes
// than its size word promises, would make us send bytes it does not have.
bool FileIsWhole(const std::vector<uint8_t>& file, const SettingsFileContent& content) {
  if (file.size() < kSmallestSettingsFile) return false;
  uint32_t fileSize = ImageSizeOf(content.image);
  return fileSize >= kImageSizeField && content.image.size() >= fileSize - kImageSizeField;
}

// Image bytes [from, to) as the device holds them now, for what an older file lacks.
std::vector<uint8_t> ReadDeviceBytes(TQZ_RS& link, uint32_t from, uint32_t to) {
  std::vector<uint8_t> bytes;
  for (uint32_t block = from / kSettingsBlockSize; block * kSettingsBlockSize < to; ++block) {
    std::vector<uint8_t> data = ReadSettingsBlock(link, static_cast<uint16_t>(block));
    for (uint32_t i = 0; i < kSettingsBlockSize; ++i) {
      uint32_t position = block * kSettingsBlockSize + i;
      if (position >= from && position < to) bytes.push_back(data[i]);
    }
  }
  return bytes;
}

// The bytes to send: the device's own image size, the file's image after its size word, and
// where the file is shorter than the device's image, the device's current bytes.
std::vector<uint8_t> Outgoing(TQZ_RS& link, const std::vector<uint8_t>& decoded, uint32_t fileSize,
                              uint32_t deviceSize) {
  uint32_t count = std::min(fileSize, deviceSize);
  std::vector<uint8_t> out;
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(deviceSize >> shift));
  if (count > 2 * kImageSizeField)
    out.insert(out.end(), decoded.begin() + kImageSizeField, decoded.begin() + (count - kImageSizeField));
  if (fileSize < deviceSize) {
    uint32_t from = std::max<uint32_t>(fileSize - kImageSizeField, kImageSizeField);
    std::vector<uint8_t> rest = ReadDeviceBytes(link, from, deviceSize - kImageSizeField);
    out.insert(out.end(), rest.begin(), rest.end());
  }
  return out;
}

void CheckDeviceSize(uint32_t deviceSize) {
  if (deviceSize < kImageSizeField ||
      (uint64_t{deviceSize} - kImageSizeField + kSettingsBlockSize - 1) / kSettingsBlockSize > kMaxSettingsBlocks)
    throw Exception(msg::BadImageSize + std::to_string(deviceSize));
}

void WriteBlocks(TQZ_RS& link, ProgressView& progress, const std::vector<uint8_t>& out,
                 uint32_t deviceSize) {
  link.ReplyTimeout = kWriteBlockTimeoutMs;
  uint32_t blocks = (deviceSize - kImageSizeField + kSettingsBlockSize - 1) / kSettingsBlockSize;
  for (uint32_t k = 0; k < blocks; ++k) {
    link.BeginRequest(BootloaderAddress, cmdWriteSettingsBlock);
    link.PutWord(static_cast<uint16_t>(k));
    link.PutWord(static_cast<uint16_t>(kSettingsBlockSize));
    for (size_t i = 0; i < kSettingsBlockSize; ++i) {
      size_t position = k * kSettingsBlockSize + i;
      // Past the end of the data the last byte is repeated to fill the block.
      link.PutByte(position < out.size() ? out[position] : out.back());
    }
    link.Exchange();
    progress.SetProgress(GaugePercent(k, blocks));
  }
  link.BeginRequest(BootloaderAddress, cmdCommitSettings);
  link.PutWord(0);
  link.PutWord(static_cast<uint16_t>(deviceSize - kImageSizeField));
  link.Exchange();
}

}  // namespace

StepOutcome WriteSettings(TQZ_RS& link, UserInteraction& ui, StepVersions& versions) {
  StepScope scope(link, ui);
  ProgressView& progress = scope.Progress();
  if (!WaitForBootloader(link, progress, kSettingsConnectPauseMs)) return StepOutcome::Cancelled;
  link.GetByte();  // MCU type: not compared for settings
  versions.DeviceVersion = link.GetWord();

  std::optional<std::string> file = ui.ChooseFile(FileKind::Settings);
  if (!file) return StepOutcome::Cancelled;
  std::vector<uint8_t> bytes = ReadWholeFile(*file, kMaxSettingsFileSize);
  SettingsFileContent content = DecodeSettingsFile(bytes);
  versions.SettingsVersion = content.version;
  if (!FileIsWhole(bytes, content)) {
    ui.ShowError(msg::SettingsFileDamaged + *file);
    return StepOutcome::Failed;
  }
  if (versions.SettingsVersion != versions.DeviceVersion) {
    ui.ShowError(msg::SettingsVersionMismatch);
    return StepOutcome::Failed;
  }
  uint32_t fileSize = ImageSizeOf(content.image);

  scope.StartTransfer(msg::WritingSettings);
  link.Env().pump.ProcessMessages();
  link.ReplyTimeout = kReadBlockTimeoutMs;
  uint32_t deviceSize = ImageSizeOf(ReadSettingsBlock(link, 0));
  CheckDeviceSize(deviceSize);
  std::vector<uint8_t> out = Outgoing(link, content.image, fileSize, deviceSize);
  WriteBlocks(link, progress, out, deviceSize);
  ui.ShowInfo(msg::SettingsWritten);
  return StepOutcome::Done;
}

}  // namespace velboot
