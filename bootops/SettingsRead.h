#pragma once
#include <functional>
#include <string>

#include "bootops/SettingsFile.h"
#include "bootops/Workflow.h"

namespace velboot {

struct SettingsReadOptions {
  // Where the file goes; empty for the current folder, and then the message names the bare file.
  std::string folder;
  std::function<DateTime()> now = CurrentLocalTime;
};

// Step 1: wait for the bootloader, read the settings image block by block and save it as a new
// settings file named after the date and time. A failure after connecting escapes as an
// Exception once the port is closed, and then no file exists. `written` receives the path.
StepOutcome ReadSettings(TQZ_RS& link, UserInteraction& ui, StepVersions& versions,
                         const SettingsReadOptions& options = {}, std::string* written = nullptr);

}  // namespace velboot
