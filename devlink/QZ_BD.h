#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace velboot {

class IniFile;

// A menu entry of the host window. The front end supplies it; items it creates belong to it.
class MenuEntry {
 public:
  virtual ~MenuEntry() = default;
  // Creates an item owned by this one and appends it to this item's entries.
  virtual MenuEntry* AddItem(const std::string& caption) = 0;
  // A text that names no key, such as "(None)", gives no shortcut.
  virtual void SetShortcut(const std::string& text) = 0;
  virtual void SetHelpContext(int32_t context) = 0;
  virtual void SetOnClick(std::function<void()> handler) = 0;
};

// What every device object has, whatever its transport.
class TQZBaseDevice {
 public:
  TQZBaseDevice(MenuEntry* menuParent, MenuEntry* menuParent2);
  virtual ~TQZBaseDevice() = default;
  TQZBaseDevice(const TQZBaseDevice&) = delete;
  TQZBaseDevice& operator=(const TQZBaseDevice&) = delete;

  virtual void LoadSettings(IniFile&) {}
  virtual void SaveSettings(IniFile&) {}
  // Hooks left for derived devices; nothing calls them.
  virtual void HookA() {}
  virtual void HookB() {}
  virtual bool QueryHook() { return true; }
  virtual void HookC() {}
  virtual void HookD() {}
  virtual void HookE() {}
  virtual void StateChanged() {}
  virtual void SwitchOn();
  virtual void SwitchOff();

  void CreateMenuItems();
  // The new item under MenuItem, or nullptr when the device has no menu item of its own.
  MenuEntry* AddMenuItem(const std::string& caption, const std::string& shortcut,
                              std::function<void()> onClick, int32_t helpContext);

  bool SwitchedOn = false;
  bool AuxFlag = false;
  std::string SectionName;
  std::string AuxText;
  MenuEntry* MenuParent = nullptr;
  bool UseMenuParent = false;
  MenuEntry* MenuItem = nullptr;
  MenuEntry* MenuParent2 = nullptr;
  bool UseMenuParent2 = false;
  MenuEntry* MenuItem2 = nullptr;
  std::string Caption;
  int32_t LongParam = 7372800;
  int16_t WordParam = 663;
  uint8_t ByteParam = 3;
};

}  // namespace velboot
