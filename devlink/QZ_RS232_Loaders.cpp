// The built-in file loaders of the framing class, for the bootloaders at 240, 241 and 252.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <optional>

#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "devlink/LoaderSteps.h"
#include "devlink/MessagePump.h"
#include "devlink/Messages.h"
#include "devlink/QZ_RS232.h"
#include "devlink/RomTrailer.h"
#include "devlink/UserInteraction.h"

namespace velboot {
namespace {

constexpr uint8_t kByTypeAddress = 240;
constexpr uint8_t kKeepHeadAddress = 241;
constexpr uint8_t kImageAddress = 252;
constexpr uint8_t kEchoLineMode = 2;

constexpr uint32_t kLoaderBaudRate = 115200;
constexpr double kReferenceClock = 7372800.0;  // a clock of this gives the reference rate
constexpr double kReferenceBaud = 4800.0;
constexpr uint16_t kEraseTimeoutMs = 4000;
constexpr uint32_t kAfterEraseMs = 1000;
constexpr uint16_t kByTypeProgramTimeoutMs = 1000;
constexpr uint16_t kProgramTimeoutMs = 800;
constexpr uint32_t kImageReconnectPauseMs = 3000;
constexpr uint32_t kImageSettleMs = 5000;
constexpr int kImageProgramAttempts = 3;
constexpr size_t kKeepHeadPageSize = 1536;
constexpr size_t kKeepHeadChunkSize = 128;
constexpr uint32_t kKeepHeadAddressUnit = 1024;
constexpr size_t kHeadBytes = 6;
constexpr size_t kImagePageSize = 4096;
constexpr size_t kImageChunkSize = 32;
constexpr uint32_t kImageAddressBit = 0x80000000u;
// Far more than any of these MCUs holds; keeps a wrong file from exhausting memory.
constexpr size_t kMaxLoaderFileSize = 64u << 20;

struct McuType {
  uint16_t type;
  size_t pageSize;
  size_t chunkSize;
  size_t largestProgram;
};

constexpr McuType kMcuTypes[] = {
    {663, 256, 128, 126976}, {664, 256, 128, 258048}, {916, 128, 128, 15360},
    {1172, 128, 128, 15360}, {2195, 64, 64, 7168},    {7829, 128, 128, 31744},
};

const McuType* FindMcuType(uint16_t type) {
  for (const McuType& t : kMcuTypes)
    if (t.type == type) return &t;
  return nullptr;
}

std::string NotFoundText(const std::string& fileName) {
  std::string text = msg::FileNotFound;
  return text.replace(text.find("%s"), 2, fileName);
}

// One loader run from its progress window on: on every way out the window goes, then the saved
// rate and reply timeout come back, then the loader's own last step runs.
class LoaderRun {
 public:
  LoaderRun(TQZ_RS& link, uint32_t savedRate, uint16_t savedTimeout, std::function<void()> last = {})
      : link_(link), savedRate_(savedRate), savedTimeout_(savedTimeout), last_(std::move(last)) {}
  ~LoaderRun() {
    progress_.reset();
    link_.SetBaudRate(savedRate_);
    link_.ReplyTimeout = savedTimeout_;
    if (last_) last_();
  }
  ProgressView& Open(const char* prompt) {
    progress_ = link_.Env().ui.OpenProgress();
    progress_->SetCancelVisible(true);
    progress_->SetLabel(prompt);
    progress_->SetGaugeVisible(false);
    return *progress_;
  }

 private:
  TQZ_RS& link_;
  uint32_t savedRate_;
  uint16_t savedTimeout_;
  std::function<void()> last_;
  std::unique_ptr<ProgressView> progress_;
};

struct PagePlan {
  uint8_t address;
  size_t pageSize;
  size_t chunkSize;
  bool skipSecondPage;
  std::function<void(size_t page)> program;  // programs page n, counted from 1
};

// Sends the whole pages; false when the user cancelled before a page. Throws the first failure.
bool SendPages(TQZ_RS& link, ProgressView& progress, const std::vector<uint8_t>& image, const PagePlan& plan) {
  size_t pages = image.size() / plan.pageSize;
  for (size_t n = 1; n <= pages; ++n) {
    if (progress.Cancelled()) return false;
    if (plan.skipSecondPage && n == 2) continue;
    SendChunks(link, plan.address, image.data() + (n - 1) * plan.pageSize, plan.pageSize, plan.chunkSize);
    plan.program(n);
    progress.SetProgress(GaugePercent(static_cast<double>(n), static_cast<double>(pages)));
  }
  return true;
}

// The page address as a 16-bit word and the byte above it.
void ProgramWordByte(TQZ_RS& link, uint8_t address, uint32_t pageAddress, uint16_t timeoutMs) {
  link.ReplyTimeout = timeoutMs;
  link.BeginRequest(address, cmdProgramPage);
  link.PutWord(static_cast<uint16_t>(pageAddress));
  link.PutByte(static_cast<uint8_t>(pageAddress / 65536));
  link.Exchange();
}

// Sends the pages and reports a failure; false when the run is over.
bool SendPagesReported(TQZ_RS& link, ProgressView& progress, const std::vector<uint8_t>& image,
                       const PagePlan& plan) {
  try {
    return SendPages(link, progress, image, plan);
  } catch (const Exception& e) {
    link.Env().ui.ShowError(e.what());
    return false;
  }
}

// Empty: nothing to do, silently. Missing: said.
bool FileGiven(TQZ_RS& link, const std::string& fileName) {
  if (fileName.empty()) return false;
  std::error_code ec;
  if (std::filesystem::exists(fileName, ec)) return true;
  link.Env().ui.ShowError(NotFoundText(fileName));
  return false;
}

const char* Prompt(const TQZ_RS& link) {
  return link.LineMode == kEchoLineMode ? msg::SwitchOnOnlyDevice : msg::SwitchOnDevice;
}

// round(clock x 4800 / 7372800), or nothing when that is no rate at all.
std::optional<uint32_t> RateForClock(double clock) {
  double rate = std::nearbyint(clock * kReferenceBaud / kReferenceClock);
  if (!(rate >= 1 && rate <= 4294967295.0)) return std::nullopt;
  return static_cast<uint32_t>(rate);
}

}  // namespace

void TQZ_RS::LoadProgramByType(const std::string& fileName, bool check, double clock, uint16_t expectedType) {
  SetActive(true);
  uint32_t savedRate = BaudRate;
  uint16_t savedTimeout = ReplyTimeout;
  std::optional<uint32_t> rate = RateForClock(clock);
  if (rate) SetBaudRate(*rate);
  if (!rate || BaudRate != *rate) {
    SetBaudRate(savedRate);
    env_.ui.ShowError(msg::CannotSetBaudRate);
    return;
  }
  if (!FileGiven(*this, fileName)) {
    SetBaudRate(savedRate);
    return;
  }
  LoaderRun run(*this, savedRate, savedTimeout);
  std::vector<uint8_t> image = ReadWholeFile(fileName, kMaxLoaderFileSize);
  ProgressView& progress = run.Open(Prompt(*this));
  if (!WaitForAnswer(*this, progress, kByTypeAddress, {})) return;

  progress.SetLabel(msg::DetectingMcuType);
  GetByte();
  uint16_t type = GetWord();
  const McuType* mcu = FindMcuType(type);
  if ((check && type != expectedType) || mcu == nullptr) return env_.ui.ShowError(msg::WrongMcu);
  if (image.size() > mcu->largestProgram) return env_.ui.ShowError(msg::ProgramTooLong);
  progress.SetLabel(msg::ErasingDevice);
  ReplyTimeout = kEraseTimeoutMs;
  try {
    Request(kByTypeAddress, cmdEraseDevice);
  } catch (const Exception& e) {
    return env_.ui.ShowError(e.what());
  }
  Pause(kAfterEraseMs);

  progress.SetLabel(msg::LoadingProgram);
  progress.SetGaugeVisible(true);
  PagePlan plan{kByTypeAddress, mcu->pageSize, mcu->chunkSize, false, [this, mcu](size_t n) {
                  ProgramWordByte(*this, kByTypeAddress, static_cast<uint32_t>((n - 1) * mcu->pageSize),
                                  kByTypeProgramTimeoutMs);
                }};
  if (!SendPagesReported(*this, progress, image, plan)) return;
  ReplyTimeout = kAnswerTimeoutMs;
  try {
    Request(kByTypeAddress, cmdFinishUpload);
  } catch (const Exception& e) {
    return env_.ui.ShowError(e.what());
  }
  env_.ui.ShowInfo(msg::UploadDone);
}

void TQZ_RS::LoadProgramKeepHead(const std::string& fileName) {
  if (!FileGiven(*this, fileName)) return;
  LoaderRun run(*this, BaudRate, ReplyTimeout);
  SetBaudRate(kLoaderBaudRate);
  std::vector<uint8_t> image = ReadWholeFile(fileName, kMaxLoaderFileSize);
  ProgressView& progress = run.Open(Prompt(*this));
  if (!WaitForAnswer(*this, progress, kKeepHeadAddress, {})) return;

  progress.SetLabel(msg::DetectingMcuType);
  GetWord();
  for (int i = 0; i < 4; ++i) GetByte();
  // The device's own head goes in place of the file's; the file on disk stays as it is.
  for (size_t i = 0; i < kHeadBytes; ++i) {
    uint8_t b = GetByte();
    if (i < image.size()) image[i] = b;
  }

  progress.SetLabel(msg::LoadingProgram);
  progress.SetGaugeVisible(true);
  PagePlan plan{kKeepHeadAddress, kKeepHeadPageSize, kKeepHeadChunkSize, true, [this](size_t n) {
                  ProgramWordByte(*this, kKeepHeadAddress, static_cast<uint32_t>((n - 1) * kKeepHeadAddressUnit),
                                  kProgramTimeoutMs);
                }};
  if (!SendPagesReported(*this, progress, image, plan)) return;
  ReplyTimeout = kAnswerTimeoutMs;
  try {
    Request(kKeepHeadAddress, cmdFinishUpload);
  } catch (const Exception&) {
    // This bootloader may restart before it acknowledges the finish.
  }
  env_.ui.ShowInfo(msg::UploadDone);
}

void TQZ_RS::LoadFirmwareImage(const std::string& fileName) {
  if (!FileGiven(*this, fileName)) return;
  // The device restarts into the new firmware; the port is reopened once it had time to.
  LoaderRun run(*this, BaudRate, ReplyTimeout, [this] {
    Pause(kImageSettleMs);
    SetActive(true);
  });
  SetBaudRate(kLoaderBaudRate);
  SetActive(true);
  ProgressView& progress = run.Open(msg::SwitchOnOnlyDevice);
  if (!WaitForAnswer(*this, progress, kImageAddress, [this] {
        SetActive(true);
        Pause(kImageReconnectPauseMs);
      }))
    return;

  progress.SetLabel("");
  env_.pump.ProcessMessages();
  std::vector<uint8_t> image = ReadWholeFile(fileName, kMaxLoaderFileSize);
  std::optional<RomTrailer> trailer = ReadRomTrailer(image);
  progress.SetLabel(msg::CheckingFirmwareVersion);
  uint8_t type = GetByte();
  uint16_t version = GetWord();
  if (!trailer || trailer->McuType != type || trailer->Version != version)
    return env_.ui.ShowError(msg::WrongFirmwareVersion);

  progress.SetLabel(msg::LoadingProgram);
  progress.SetGaugeVisible(true);
  progress.SetProgress(0);
  progress.SetCancelVisible(false);
  uint32_t base = trailer->BaseAddress + kImageAddressBit;
  PagePlan plan{kImageAddress, kImagePageSize, kImageChunkSize, false, [this, base](size_t n) {
                  ReplyTimeout = kProgramTimeoutMs;
                  ProgramCheckedPage(*this, kImageAddress, static_cast<uint32_t>(base + (n - 1) * kImagePageSize),
                                     kImageProgramAttempts, msg::LowPower2);
                }};
  if (!SendPagesReported(*this, progress, image, plan)) return;
  ReplyTimeout = kAnswerTimeoutMs;
  try {
    Request(kImageAddress, cmdFinishUpload);
  } catch (const Exception&) {
    // The image is in; a lost acknowledgement of the finish changes nothing for the user.
  }
  env_.ui.ShowInfo(msg::UploadDone);
}

}  // namespace velboot
