#pragma once
#include "bootops/Workflow.h"

namespace velboot {

// Step 3: wait for the bootloader, choose a settings file, refuse it unless it is whole and
// its version word equals the device's, write it into the device block by block and commit.
// A failure after the file was accepted escapes as an Exception once the port is closed.
StepOutcome WriteSettings(TQZ_RS& link, UserInteraction& ui, StepVersions& versions);

}  // namespace velboot
