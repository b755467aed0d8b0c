#include "bootops/Workflow.h"

#include <algorithm>
#include <cmath>

#include "bootops/Bootloader.h"
#include "bootops/Messages.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"

namespace velboot {

StepScope::StepScope(TQZ_RS& link, UserInteraction& ui) : link_(link) {
  link_.SetActive(true);
  link_.SetBaudRate(kLineBaudRate);
  progress_ = ui.OpenProgress();
  progress_->SetCancelVisible(true);
  progress_->SetLabel(msg::Connecting);
  progress_->SetGaugeVisible(false);
}

StepScope::~StepScope() {
  progress_.reset();
  link_.SetActive(false);
}

void StepScope::StartTransfer(const char* label) {
  progress_->SetLabel(label);
  progress_->SetProgress(0);
  progress_->SetGaugeVisible(true);
}

bool WaitForBootloader(TQZ_RS& link, ProgressView& progress, uint32_t pauseMs) {
  for (;;) {
    link.ReplyTimeout = kIdentifyTimeoutMs;
    try {
      link.Request(BootloaderAddress, cmdIdentify);
      return true;
    } catch (const Exception&) {
      // Not there yet: the device may still be booting or the cable being plugged in.
    }
    link.Env().pump.ProcessMessages();
    if (progress.Cancelled()) return false;
    link.SetActive(true);
    link.Pause(pauseMs);
  }
}

int GaugePercent(double done, double total) {
  if (total <= 0) return 100;
  // Far beyond 100 the value only needs to stay beyond it, and within an int.
  return static_cast<int>(std::nearbyint(std::clamp(done * 100.0 / total, -1e6, 1e6)));
}

}  // namespace velboot
