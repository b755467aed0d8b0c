#include "bootops/SettingsRead.h"

#include "bootops/Bootloader.h"
#include "bootops/Messages.h"
#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"

namespace velboot {
namespace {

void RequestBlock(TQZ_RS& link, uint16_t index) {
  link.BeginRequest(BootloaderAddress, cmdReadSettingsBlock);
  link.PutWord(index);
  link.Exchange();
}

void AppendBytes(TQZ_RS& link, std::vector<uint8_t>& image, size_t count) {
  for (size_t i = 0; i < count; ++i) image.push_back(link.GetByte());
}

// A size below its own four bytes, or more blocks than a 16-bit index can reach, is refused
// before anything is kept.
void CheckImageSize(uint32_t imageSize) {
  if (imageSize < kImageSizeField || imageSize / kSettingsBlockSize >= kMaxSettingsBlocks)
    throw Exception(msg::BadImageSize + std::to_string(imageSize));
}

// Reads blocks 0 to ImageSize div 32 into `image` and returns ImageSize.
uint32_t ReadImage(TQZ_RS& link, ProgressView& progress, std::vector<uint8_t>& image) {
  link.ReplyTimeout = kReadBlockTimeoutMs;
  RequestBlock(link, 0);
  uint32_t imageSize = link.GetLong();
  CheckImageSize(imageSize);
  for (int shift = 0; shift < 32; shift += 8) image.push_back(static_cast<uint8_t>(imageSize >> shift));
  AppendBytes(link, image, kSettingsBlockSize - kImageSizeField);
  uint32_t lastBlock = imageSize / kSettingsBlockSize;
  double divisor = imageSize / static_cast<double>(kSettingsBlockSize) - 1;
  for (uint32_t h = 1; h <= lastBlock; ++h) {
    RequestBlock(link, static_cast<uint16_t>(h));
    AppendBytes(link, image, kSettingsBlockSize);
    progress.SetProgress(GaugePercent(h, divisor));
  }
  return imageSize;
}

std::string PathIn(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

StepOutcome ReadSettings(TQZ_RS& link, UserInteraction& ui, StepVersions& versions,
                         const SettingsReadOptions& options, std::string* written) {
  StepScope scope(link, ui);
  ProgressView& progress = scope.Progress();
  link.Env().pump.ProcessMessages();
  if (!WaitForBootloader(link, progress, kSettingsConnectPauseMs)) return StepOutcome::Cancelled;
  link.GetByte();  // MCU type: a settings file does not record it
  versions.SettingsVersion = link.GetWord();

  scope.StartTransfer(msg::ReadingSettings);
  link.Env().pump.ProcessMessages();
  progress.SetCancelVisible(false);
  std::vector<uint8_t> image;
  uint32_t imageSize = ReadImage(link, progress, image);
  std::string path = PathIn(options.folder, SettingsFileName(options.now()));
  WriteFileAtomically(path, EncodeSettingsFile(versions.SettingsVersion, image, imageSize));
  if (written) *written = path;
  ui.ShowInfo(msg::SettingsSaved + path);
  return StepOutcome::Done;
}

}  // namespace velboot
