#include "bootops/FirmwareUpload.h"

#include "bootops/Bootloader.h"
#include "bootops/FirmwareImage.h"
#include "bootops/Messages.h"
#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"

namespace velboot {
namespace {

constexpr uint8_t kStatusLowPower = 0x01;
constexpr uint8_t kStatusEraseFailed = 0x02;

// The failure named by a page-program reply, or nullptr for success.
const char* ProgramFailure(uint8_t status, uint8_t result) {
  if (status & kStatusLowPower) return msg::LowPower1;
  if (status & kStatusEraseFailed) return msg::EraseFailed;
  switch (result) {
    case 1: return msg::AddressError1;
    case 2: return msg::AddressError2;
    case 3: return msg::WriteFailed;
    case 4: return msg::WriteFailed2;
    default: return nullptr;
  }
}

void SendChunks(TQZ_RS& link, const uint8_t* page) {
  for (size_t c = 0; c < kChunksPerPage; ++c) {
    link.ReplyTimeout = kChunkTimeoutMs;
    link.BeginRequest(BootloaderAddress, cmdLoadChunk);
    link.PutByte(static_cast<uint8_t>(c));
    for (size_t i = 0; i < kChunkSize; ++i) link.PutByte(page[c * kChunkSize + i]);
    link.Exchange();
  }
}

// Programs the loaded page; the chunks are not sent again between attempts.
void ProgramPage(TQZ_RS& link, uint32_t address) {
  link.ReplyTimeout = kProgramTimeoutMs;
  for (int attempt = 1;; ++attempt) {
    try {
      link.BeginRequest(BootloaderAddress, cmdProgramPage);
      link.PutLong(address);
      link.Exchange();
      uint8_t status = link.GetByte();
      uint8_t result = link.GetByte();
      if (const char* failure = ProgramFailure(status, result)) throw Exception(failure);
      return;
    } catch (const Exception&) {
      if (attempt >= kProgramAttempts) throw;
      link.Pause(kProgramRetryPauseMs);
    }
  }
}

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
    SendChunks(link, image.data() + p * kPageSize);
    ProgramPage(link, PageAddress(trailer, p));
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
