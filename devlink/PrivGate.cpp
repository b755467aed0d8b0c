#include "devlink/PrivGate.h"

#include "devlink/Messages.h"
#include "devlink/UserInteraction.h"

namespace velboot {
namespace {

// Three upper-case Latin letters, as the service documentation gives them to engineers.
constexpr const char* kAccessPassword = "VLM";

}  // namespace

bool PrivilegedMode = false;

bool AskPassword(UserInteraction& ui, const std::string& prompt, const std::string& password) {
  return ui.AskPassword(prompt) == password;
}

bool RequirePrivilege(UserInteraction& ui) {
  if (PrivilegedMode) return true;
  if (AskPassword(ui, msg::PasswordPrompt, kAccessPassword)) {
    PrivilegedMode = true;
    return true;
  }
  ui.ShowError(msg::WrongPassword);
  return false;
}

}  // namespace velboot
