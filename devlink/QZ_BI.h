#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "devlink/QZ_BD.h"

namespace velboot {

// The exchange buffer: a request area where a frame is staged and a reply area where a frame is
// received, with the operations that fill the one and read the other.
class TQZBaseInterface : public TQZBaseDevice {
 public:
  static constexpr int32_t kBufferSize = 4096;
  static constexpr int32_t kAreaSize = 2048;
  // With an 8-bit length field a frame is at most 256 bytes, the checksum at position 255.
  static constexpr int32_t kShortFrameMax = 256;

  using TQZBaseDevice::TQZBaseDevice;

  virtual bool CheckReply();
  virtual void BeginFrame();
  virtual void SealFrame();
  virtual void PutChar(uint8_t value) = 0;
  virtual void PutByte(uint8_t value);
  virtual void PutWord(uint16_t value);
  virtual void PutLong(uint32_t value);
  virtual void PutSingle(float value);
  virtual uint8_t GetChar() = 0;
  virtual uint8_t GetByte();
  virtual uint16_t GetWord();
  virtual uint32_t GetLong();
  virtual float GetSingle();
  virtual double GetDouble();
  virtual void GetString(std::string& s) { s.clear(); }
  virtual void BeginRequest(uint8_t /*address*/, uint8_t /*command*/) {}
  virtual void Exchange() = 0;
  virtual void ExchangeOnce() = 0;
  virtual void Request(uint8_t /*address*/, uint8_t /*command*/) {}
  virtual int32_t ReadDeviceAddress() { return 0; }
  // Built-in loaders for other bootloaders; the transport supplies them.
  virtual void LoadProgramByType(const std::string& fileName, bool check, double clock,
                                 uint16_t expectedType) = 0;
  virtual void LoadProgramKeepHead(const std::string& fileName) = 0;
  virtual void LoadFirmwareImage(const std::string& fileName) = 0;

  uint8_t* RequestArea() { return Buffer.data(); }
  uint8_t* ReplyArea() { return Buffer.data() + kAreaSize; }
  const uint8_t* RequestArea() const { return Buffer.data(); }
  const uint8_t* ReplyArea() const { return Buffer.data() + kAreaSize; }

  std::array<uint8_t, kBufferSize> Buffer{};
  int32_t SendLen = 0;
  int32_t ReadPos = 0;

 protected:
  // Refuse a caller that would leave its area, instead of touching memory outside Buffer.
  void CheckRequestRoom(int32_t position, int32_t size) const;
  void CheckReplyRoom(int32_t position, int32_t size) const;
  // Copies size reply bytes from ReadPos (least significant first) and advances ReadPos.
  void ReadReply(void* out, int32_t size);
  static uint8_t Checksum(const uint8_t* bytes, int32_t count);
  static bool SumIsZero(const uint8_t* bytes, int32_t count);
};

}  // namespace velboot
