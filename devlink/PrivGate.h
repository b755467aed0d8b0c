#pragma once
#include <string>

namespace velboot {

class UserInteraction;

// Lets port-setting changes pass without a password; false at start, set by the main window.
extern bool PrivilegedMode;

// True when the entry equals the password exactly (case-sensitive); an empty entry after Cancel.
bool AskPassword(UserInteraction& ui, const std::string& prompt, const std::string& password);

// True when a guarded operation may go ahead: privileged mode, or the right password now.
bool RequirePrivilege(UserInteraction& ui);

}  // namespace velboot
