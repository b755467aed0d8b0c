#pragma once
#include "bootops/Workflow.h"

namespace velboot {

// Step 2: choose a firmware image, wait for the bootloader, check the image's MCU type and
// version against it, program it page by page and finish. Device failures are shown to the
// user; only an unreadable file escapes as an Exception (after the clean-up).
StepOutcome UploadFirmware(TQZ_RS& link, UserInteraction& ui);

}  // namespace velboot
