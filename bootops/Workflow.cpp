#include "bootops/Workflow.h"

#include "bootops/Bootloader.h"
#include "bootops/SettingsFile.h"
#include "bootops/Messages.h"
#include "devlink/LoaderSteps.h"

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

std::vector<uint8_t> ReadSettingsBlock(TQZ_RS& link, uint16_t index) {
  link.BeginRequest(BootloaderAddress, cmdReadSettingsBlock);
  link.PutWord(index);
  link.Exchange();
  std::vector<uint8_t> block;
  for (size_t i = 0; i < kSettingsBlockSize; ++i) block.push_back(link.GetByte());
  return block;
}

bool WaitForBootloader(TQZ_RS& link, ProgressView& progress, uint32_t pauseMs) {
  return WaitForAnswer(link, progress, BootloaderAddress, [&link, pauseMs] {
    link.SetActive(true);
    link.Pause(pauseMs);
  });
}

}  // namespace velboot
