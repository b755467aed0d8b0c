#pragma once
// Every text the device link shows or throws, in one place so it can be translated.
// Each text stays one literal on one line, so it can be found as the user sees it.
// clang-format off

namespace velboot::msg {

// Exchange (framing protocol).
inline constexpr const char* NoConnection =
    "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";
inline constexpr const char* InBlockDelay = "RS232. Ошибка задержки приема внутри блока.";
inline constexpr const char* ExchangeError = "RS232. Ошибка обмена.";
inline constexpr const char* DeviceBusy =
    "Устройство занято. Возможно, оно находится в режиме местного управления.";
inline constexpr const char* OnlyOneDevice = "ТОЛЬКО ОДНО устройство, подключенное к СОМ-порту, должно быть включено. Это действительно так?";

// Port.
inline constexpr const char* NoFreePort = "Нет свободного COM-порта!";
inline constexpr const char* CannotSetBaudRate =
    "RS232. Не могу установить нужную скорость обмена.";
inline constexpr const char* PortCaption = "RS232";
inline constexpr const char* PortMenuCaption = "Номер СОМ-порта";

// Privileged-mode gate.
inline constexpr const char* PasswordPrompt =
    "Данная команда будет выполняться только после ввода пароля!";
inline constexpr const char* WrongPassword = "Неверный пароль!";

// Exchange buffer misuse: a caller staged or read past an area. Never a device fault.
inline constexpr const char* RequestTooLong = "RS232. Запрос не помещается в буфер обмена.";
inline constexpr const char* ReplyOverrun = "RS232. Чтение за пределами ответа устройства.";

// Uploads: page-program replies and the end, shared by every loader.
inline constexpr const char* LowPower1 = "Низкое питание устройства(1).";
inline constexpr const char* EraseFailed = "Ошибка стирания памяти программ.";
inline constexpr const char* AddressError1 = "Ошибка адресации (1).";
inline constexpr const char* AddressError2 = "Ошибка адресации (2).";
inline constexpr const char* WriteFailed = "Сбой при записи.";
inline constexpr const char* WriteFailed2 = "Сбой при записи(2).";
inline constexpr const char* UploadDone = "Загрузка окончена.";
inline constexpr const char* LowPower2 = "Низкое питание устройства(2).";

// Built-in loaders.
inline constexpr const char* FileNotFound = "Не могу найти файл %s.";
inline constexpr const char* ProgramTooLong = "Что-то длинновата программка-то.";
inline constexpr const char* WrongMcu = "В устройстве неверный микроконтроллер.";
inline constexpr const char* WrongFirmwareVersion = "Неверная версия прошивки.";
inline constexpr const char* SwitchOnOnlyDevice = "Включите ТОЛЬКО нужное устройство...";
inline constexpr const char* SwitchOnDevice = "Включите устройство...";
inline constexpr const char* DetectingMcuType = "Определение типа микроконтроллера...";
inline constexpr const char* ErasingDevice = "Очистка устройства...";
inline constexpr const char* LoadingProgram = "Загрузка программы...";
inline constexpr const char* CheckingFirmwareVersion = "Определение версии прошивки...";

// Files (followed by the path and the system's reason).
inline constexpr const char* CannotWriteFile = "Не могу записать файл ";
inline constexpr const char* CannotReadFile = "Не могу прочитать файл ";
inline constexpr const char* FileTooLarge = "Слишком большой файл ";

}  // namespace velboot::msg
// clang-format on
