#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "devlink/LoaderSteps.h"
#include "devlink/QZ_RS232.h"
#include "devlink/UserInteraction.h"

namespace velboot {

// How a Step ended. A failure the Step reported itself is Failed; one it lets through arrives
// as an Exception instead.
enum class StepOutcome { Done, Cancelled, Failed };

// The version words the Steps leave behind, as the main window keeps them.
struct StepVersions {
  uint16_t SettingsVersion = 0;
  uint16_t DeviceVersion = 0;
};

// The open port and the progress window of one running Step: the port is opened at 115200 baud
// and the window shows the connecting phase; on every way out the window goes, then the port
// is closed.
class StepScope {
 public:
  StepScope(TQZ_RS& link, UserInteraction& ui);
  ~StepScope();
  StepScope(const StepScope&) = delete;
  StepScope& operator=(const StepScope&) = delete;

  ProgressView& Progress() { return *progress_; }
  // Leaves the connecting phase: gauge at 0 and shown, with the phase text.
  void StartTransfer(const char* label);

 private:
  TQZ_RS& link_;
  std::unique_ptr<ProgressView> progress_;
};

// One 32-byte block of the device's settings image.
std::vector<uint8_t> ReadSettingsBlock(TQZ_RS& link, uint16_t index);

// Asks the bootloader to identify itself until it answers, re-opening the port and pausing
// between attempts; false when the user pressed Cancel. On true the identify reply is ready
// to read.
bool WaitForBootloader(TQZ_RS& link, ProgressView& progress, uint32_t pauseMs);

}  // namespace velboot
