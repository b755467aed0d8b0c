#include "bootops/SettingsRead.h"

#include "bootops/Bootloader.h"
#include "bootops/Messages.h"
#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"

namespace velboot {
namespace {

// A size below its own four bytes, or more blocks than a 16-bit index can reach, is refused
// before anything is kept.
void CheckImageSize(uint32_t imageSize) {
  if (imageSize < kImageSizeField || imageSize / kSettingsBlockSize >= kMaxSettingsBlocks)
    throw Exception(msg::BadImageSize + std::to_string(imageSize));
}

// Reads blocks 0 to ImageSize div 32 into `image` and returns ImageSize.
uint32_t ReadImage(TQZ_RS& link, ProgressView& progress, std::vector<uint8_t>& image) {
  link.ReplyTimeout = kReadBlockTimeoutMs;
  image = ReadSettingsBlock(link, 0);
  uint32_t imageSize = ImageSizeOf(image);
  CheckImageSize(imageSize);
  uint32_t lastBlock = imageSize / kSettingsBlockSize;
  double divisor = imageSize / static_cast<double>(kSettingsBlockSize) - 1;
  for (uint32_t h = 1; h <= lastBlock; ++h) {
    std::vector<uint8_t> block = ReadSettingsBlock(link, static_cast<uint16_t>(h));
    image.insert(image.end(), block.begin(), block.end());
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
