#pragma once
#include "devlink/Messages.h"

// Every text the bootloader operations show, in one place so it can be translated.
// Each text stays one literal on one line, so it can be found as the user sees it.
// clang-format off

namespace velboot::msg {

// Progress window.
inline constexpr const char* Connecting = "Не могу подключиться к МК...";
inline constexpr const char* CheckingVersion = "Определение версии МК...";
inline constexpr const char* UploadingFirmware = "Загрузка прошивки...";
inline constexpr const char* ReadingSettings = "Чтение настроек...";
inline constexpr const char* WritingSettings = "Запись настроек...";

// Firmware upload; its page-program texts are the device link's, shared with its loaders.
inline constexpr const char* McuTypeMismatch = "Тип МК не совпадает с версией ПО.";

// Settings.
inline constexpr const char* SettingsSaved = "Настройки сохранены в файл ";
inline constexpr const char* SettingsVersionMismatch = "Версия настроек не совпадает с версией устройства!";
inline constexpr const char* SettingsWritten = "Настройки записаны в МК";
inline constexpr const char* SettingsFileDamaged = "Файл настроек повреждён или неполон: ";
inline constexpr const char* BadImageSize = "Устройство сообщило недопустимый размер настроек: ";

// File dialogs.
inline constexpr const char* FirmwareFilter = "Файлы прошивок (*.rom)|*.rom";
inline constexpr const char* SettingsFilter = "Файлы настроек (*.kvst)|*.kvst";

}  // namespace velboot::msg
// clang-format on
