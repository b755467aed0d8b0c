#pragma once
#include <cstdint>
#include <string>

#include "devlink/QZ_RS_Base.h"
#include "devlink/Trace.h"

namespace velboot {

// The framing protocol: how a staged request is sealed and sent, how one reply frame is read
// under the reply and byte timeouts and judged, and how an exchange is retried.
class TQZ_RS : public TQZ_RS_Base {
 public:
  static constexpr int kAttempts = 3;
  static constexpr uint32_t kRetryPauseMs = 50;
  static constexpr uint32_t kExchangePauseMs = 2;      // line modes 1 and 2, before sending
  static constexpr uint32_t kExchangeOncePauseMs = 20;  // likewise for a single attempt
  static constexpr uint16_t kDefaultReplyTimeoutMs = 1000;
  static constexpr uint16_t kDefaultByteTimeoutMs = 200;
  // The longest interval between two pumps while the link waits.
  static constexpr uint32_t kPumpSliceMs = 10;

  TQZ_RS(const LinkEnvironment& env, MenuEntry* menuParent = nullptr,
         MenuEntry* menuParent2 = nullptr);

  void SetLineMode(uint8_t mode);

  bool CheckReply() override;
  void SealFrame() override;
  void PutChar(uint8_t value) override { PutByte(value); }
  uint8_t GetChar() override { return GetByte(); }
  void GetString(std::string& s) override;
  void BeginRequest(uint8_t address, uint8_t command) override;
  void Exchange() override;
  void ExchangeOnce() override;
  void Request(uint8_t address, uint8_t command) override;
  int32_t ReadDeviceAddress() override;
  void LoadProgramByType(const std::string& fileName, bool check, double clock,
                         uint16_t expectedType) override;
  void LoadProgramKeepHead(const std::string& fileName) override;
  void LoadFirmwareImage(const std::string& fileName) override;

  virtual void ReceiveFrame();
  virtual void TransmitFrame();
  virtual void Transact();
  virtual void RequestOnce(uint8_t address, uint8_t command);

  // Milliseconds the request takes on the line, added to the first-byte deadline.
  static uint32_t TransmitAllowanceMs(uint32_t baudRate, int32_t sendLen);
  // Sleeps while keeping the front end responsive.
  void Pause(uint32_t ms);

  uint8_t LineMode = 0;
  bool ShortHeader = false;
  bool LongLength = false;
  uint16_t ByteTimeout = kDefaultByteTimeoutMs;
  uint16_t ReplyTimeout = kDefaultReplyTimeoutMs;
  LinkObserver* Observer = nullptr;

 private:
  int32_t CommandPosition() const;
  int32_t PayloadPosition() const { return CommandPosition() + 1; }
  int32_t ReplyLength() const;
  int32_t MinimumReplyLength() const;
  bool ReceiveByte(int32_t position, uint64_t deadline);
  ReadStatus ReadPortByte(uint8_t& byte, uint32_t timeoutMs);
  void PumpIfDue(bool force);
  void ReceiveRest(int32_t from, int32_t length);
  void Attempts(int count);

  bool receivingEcho_ = false;
  int32_t received_ = 0;
  uint64_t lastPumpMs_ = 0;
};

// The application's one device-link object, created by the main window.
extern TQZ_RS* DeviceLink;

}  // namespace velboot
