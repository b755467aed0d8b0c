#include "bootops/FirmwareUpload.h"

#include "bootops/Bootloader.h"
#include "bootops/FirmwareImage.h"
#include "bootops/Messages.h"
#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"

namespace velboot {
namespace {

bool TrailerMatches(TQZ_RS& link, const std::vector<uint8_t>& image) {
  uint8_t type = link.GetByte();
  uint16_t version = link.GetWord();
  std::optional<RomTrailer> trailer = ReadRomTrailer(image);
  return trailer && trailer->McuType == type && trailer->Version == version;
}

// Sends every whole page; false when the user cancelled before a page.
bool SendPages(TQZ_RS& link, ProgressView& progress, const std::vector<uint8_t>& image) {
  RomTrailer trailer = *ReadRomTrailer(image);
  size_t pages = PageCount(image.size());
  for (size_t p = 0; p < pages; ++p) {
    if (progress.Cancelled()) return false;
    SendChunks(link, BootloaderAddress, image.data() + p * kPageSize, kPageSize, kChunkSize);
    link.ReplyTimeout = kProgramTimeoutMs;
    ProgramCheckedPage(link, BootloaderAddress, PageAddress(trailer, p), kProgramAttempts, msg::WriteFailed2);
    progress.SetProgress(GaugePercent(static_cast<double>(p + 1), static_cast<double>(pages)));
  }
  return true;
}

void FinishUpload(TQZ_RS& link) {
  try {
    link.Request(BootloaderAddress, cmdFinishUpload);
  } catch (const Exception&) {
    // The image is in; a lost acknowledgement of the finish changes nothing for the user.
  }
}

}  // namespace

StepOutcome UploadFirmware(TQZ_RS& link, UserInteraction& ui) {
  std::optional<std::string> file = ui.ChooseFile(FileKind::Firmware);
  if (!file) return StepOutcome::Cancelled;
  StepScope scope(link, ui);
  ProgressView& progress = scope.Progress();
  if (!WaitForBootloader(link, progress, kUploadConnectPauseMs)) return StepOutcome::Cancelled;

  progress.SetLabel("");
  link.Env().pump.ProcessMessages();
  std::vector<uint8_t> image = ReadWholeFile(*file, kMaxFirmwareFileSize);
  progress.SetLabel(msg::CheckingVersion);
  // A file too short for a trailer cannot have been made for this MCU.
  if (!TrailerMatches(link, image)) {
    ui.ShowError(msg::McuTypeMismatch);
    return StepOutcome::Failed;
  }

  scope.StartTransfer(msg::UploadingFirmware);
  progress.SetCancelVisible(false);
  try {
    if (!SendPages(link, progress, image)) return StepOutcome::Cancelled;
  } catch (const Exception& e) {
    ui.ShowError(e.what());
    return StepOutcome::Failed;
  }
  FinishUpload(link);
  ui.ShowInfo(msg::UploadDone);
  return StepOutcome::Done;
}

}  // namespace velboot
