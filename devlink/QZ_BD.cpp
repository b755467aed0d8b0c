#include "devlink/QZ_BD.h"

namespace velboot {

TQZBaseDevice::TQZBaseDevice(MenuEntry* menuParent, MenuEntry* menuParent2)
    : MenuParent(menuParent), MenuParent2(menuParent2) {}

void TQZBaseDevice::SwitchOn() {
  SwitchedOn = true;
  StateChanged();
}

void TQZBaseDevice::SwitchOff() {
  SwitchedOn = false;
  StateChanged();
}

void TQZBaseDevice::CreateMenuItems() {
  if (MenuParent != nullptr && UseMenuParent) MenuItem = MenuParent->AddItem(Caption);
  if (MenuParent2 != nullptr && UseMenuParent2) MenuItem2 = MenuParent2->AddItem(Caption);
}

MenuEntry* TQZBaseDevice::AddMenuItem(const std::string& caption, const std::string& shortcut,
                                           std::function<void()> onClick, int32_t helpContext) {
  if (MenuItem == nullptr) return nullptr;
  MenuEntry* item = MenuItem->AddItem(caption);
  item->SetHelpContext(helpContext);
  item->SetShortcut(shortcut);
  if (onClick) item->SetOnClick(std::move(onClick));
  return item;
}

}  // namespace velboot
