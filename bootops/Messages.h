#pragma once
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

// Firmware upload.
inline constexpr const char* McuTypeMismatch = "Тип МК не совпадает с версией ПО.";
inline constexpr const char* LowPower1 = "Низкое питание устройства(1).";
inline constexpr const char* EraseFailed = "Ошибка стирания памяти программ.";
inline constexpr const char* AddressError1 = "Ошибка адресации (1).";
inline constexpr const char* AddressError2 = "Ошибка адресации (2).";
inline constexpr const char* WriteFailed = "Сбой при записи.";
inline constexpr const char* WriteFailed2 = "Сбой при записи(2).";
inline constexpr const char* UploadDone = "Загрузка окончена.";

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
