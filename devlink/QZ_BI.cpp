#include "devlink/QZ_BI.h"

#include <bit>
#include <cstring>

#include "devlink/Exception.h"
#include "devlink/Messages.h"

namespace velboot {

static_assert(std::endian::native == std::endian::little, "wire values are copied as stored");

void TQZBaseInterface::CheckRequestRoom(int32_t position, int32_t size) const {
  if (position < 0 || size < 0 || position + size > kAreaSize) throw Exception(msg::RequestTooLong);
}

void TQZBaseInterface::CheckReplyRoom(int32_t position, int32_t size) const {
  if (position < 0 || size < 0 || position + size > kAreaSize) throw Exception(msg::ReplyOverrun);
}

uint8_t TQZBaseInterface::Checksum(const uint8_t* bytes, int32_t count) {
  unsigned sum = 0;
  for (int32_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>((256 - sum % 256) % 256);
}

bool TQZBaseInterface::SumIsZero(const uint8_t* bytes, int32_t count) {
  unsigned sum = 0;
  for (int32_t i = 0; i < count; ++i) sum += bytes[i];
  return sum % 256 == 0;
}

bool TQZBaseInterface::CheckReply() {
  const uint8_t* reply = ReplyArea();
  return SumIsZero(reply, reply[0]);
}

void TQZBaseInterface::BeginFrame() { SendLen = 1; }

void TQZBaseInterface::SealFrame() {
  if (SendLen >= kShortFrameMax) throw Exception(msg::RequestTooLong);
  CheckRequestRoom(SendLen, 1);
  uint8_t* request = RequestArea();
  request[0] = static_cast<uint8_t>((SendLen + 1) % 256);
  request[SendLen] = Checksum(request, SendLen);
}

void TQZBaseInterface::PutByte(uint8_t value) {
  CheckRequestRoom(SendLen, 1);
  RequestArea()[SendLen++] = value;
}

void TQZBaseInterface::PutWord(uint16_t value) {
  PutByte(static_cast<uint8_t>(value));
  PutByte(static_cast<uint8_t>(value >> 8));
}

void TQZBaseInterface::PutLong(uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) PutByte(static_cast<uint8_t>(value >> shift));
}

void TQZBaseInterface::PutSingle(float value) { PutLong(std::bit_cast<uint32_t>(value)); }

void TQZBaseInterface::ReadReply(void* out, int32_t size) {
  CheckReplyRoom(ReadPos, size);
  std::memcpy(out, ReplyArea() + ReadPos, static_cast<size_t>(size));
  ReadPos += size;
}

uint8_t TQZBaseInterface::GetByte() {
  uint8_t v;
  ReadReply(&v, 1);
  return v;
}

uint16_t TQZBaseInterface::GetWord() {
  uint16_t v;
  ReadReply(&v, 2);
  return v;
}

uint32_t TQZBaseInterface::GetLong() {
  uint32_t v;
  ReadReply(&v, 4);
  return v;
}

float TQZBaseInterface::GetSingle() {
  float v;
  ReadReply(&v, 4);
  return v;
}

double TQZBaseInterface::GetDouble() {
  double v;
  ReadReply(&v, 8);
  return v;
}

}  // namespace velboot
