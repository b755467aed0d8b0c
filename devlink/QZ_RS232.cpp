#include "devlink/QZ_RS232.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "devlink/Clock.h"
#include "devlink/Exception.h"
#include "devlink/MessagePump.h"
#include "devlink/Messages.h"
#include "devlink/Priority.h"
#include "devlink/UserInteraction.h"

namespace velboot {

TQZ_RS* DeviceLink = nullptr;

namespace {

constexpr uint8_t kMaxLineMode = 2;
constexpr uint8_t kEchoLineMode = 2;
constexpr uint8_t kBusyCommand = 255;
constexpr uint16_t kRequestHeaderWord = 1;
constexpr int32_t kHelpContextPortMenu = 10000;
constexpr double kAllowanceBaud = 9600.0;

// RTS high and the priority raised for exactly the write and the echo read, on every path.
class EchoWindow {
 public:
  explicit EchoWindow(TQZ_RS& link) : link_(link) {
    link_.SetRTS();
    BoostPriority();
  }
  ~EchoWindow() {
    link_.ClearRTS();
    RestorePriority();
  }

 private:
  TQZ_RS& link_;
};

}  // namespace

TQZ_RS::TQZ_RS(const LinkEnvironment& env, MenuEntry* menuParent, MenuEntry* menuParent2)
    : TQZ_RS_Base(env, menuParent, menuParent2) {
  BaudRate = kDefaultBaudRate;
  ByteSize = 8;
  Parity = 0;
  StopBits = 2;
  Caption = msg::PortCaption;
  UseMenuParent = true;
  UseMenuParent2 = false;
  CreateMenuItems();
  if (MenuParent != nullptr)
    AddMenuItem(msg::PortMenuCaption, "(None)", [this] { SelectPort(); }, kHelpContextPortMenu);
  ReplyTimeout = kDefaultReplyTimeoutMs;
  ByteTimeout = kDefaultByteTimeoutMs;
  SectionName = "RS232";
  ShortHeader = false;
  LongLength = false;
}

void TQZ_RS::SetLineMode(uint8_t mode) { LineMode = mode <= kMaxLineMode ? mode : 0; }

// Layout: the 16-bit length wins over the short header when both are set, so a reply is read
// as the long layout with its header word.
int32_t TQZ_RS::CommandPosition() const {
  if (LongLength) return 5;
  return ShortHeader ? 2 : 4;
}

int32_t TQZ_RS::MinimumReplyLength() const { return CommandPosition() + 2; }

int32_t TQZ_RS::ReplyLength() const {
  const uint8_t* reply = ReplyArea();
  return LongLength ? reply[0] | reply[1] << 8 : reply[0];
}

bool TQZ_RS::CheckReply() {
  int32_t n = std::min(ReplyLength(), kAreaSize);
  return SumIsZero(ReplyArea(), n);
}

void TQZ_RS::SealFrame() {
  if (!LongLength) {
    TQZBaseInterface::SealFrame();
    return;
  }
  CheckRequestRoom(SendLen, 1);
  if (SendLen < 2) throw Exception(msg::RequestTooLong);
  uint8_t* request = RequestArea();
  uint16_t length = static_cast<uint16_t>(SendLen + 1);
  request[0] = static_cast<uint8_t>(length);
  request[1] = static_cast<uint8_t>(length >> 8);
  request[SendLen] = Checksum(request, SendLen);
}

void TQZ_RS::BeginRequest(uint8_t address, uint8_t command) {
  BeginFrame();
  if (LongLength) PutByte(0);
  PutByte(address);
  if (!ShortHeader) PutWord(kRequestHeaderWord);
  PutByte(command);
}

void TQZ_RS::GetString(std::string& s) {
  s.clear();
  // A reply without a zero byte ends the text at the end of the reply area.
  while (ReadPos < kAreaSize) {
    uint8_t c = GetByte();
    if (c == 0) return;
    s.push_back(static_cast<char>(c));
  }
}

uint32_t TQZ_RS::TransmitAllowanceMs(uint32_t baudRate, int32_t sendLen) {
  if (baudRate == 0) return 0;
  return static_cast<uint32_t>(std::nearbyint(kAllowanceBaud / baudRate * sendLen));
}

void TQZ_RS::PumpIfDue(bool force) {
  uint64_t now = env_.clock.NowMs();
  if (!force && now - lastPumpMs_ < kPumpSliceMs) return;
  lastPumpMs_ = now;
  env_.pump.ProcessMessages();
}

void TQZ_RS::Pause(uint32_t ms) {
  uint64_t end = env_.clock.NowMs() + ms;
  for (uint64_t now = env_.clock.NowMs(); now < end; now = env_.clock.NowMs()) {
    env_.clock.SleepMs(static_cast<uint32_t>(std::min<uint64_t>(end - now, kPumpSliceMs)));
    PumpIfDue(true);
  }
}

ReadStatus TQZ_RS::ReadPortByte(uint8_t& byte, uint32_t timeoutMs) {
  if (Handle) return Handle->ReadByte(byte, timeoutMs);
  // No port: every read fails, and the wait runs out its time without spinning.
  env_.clock.SleepMs(timeoutMs);
  return ReadStatus::Timeout;
}

// Reads one byte into reply position `position`; false once the clock has passed `deadline`
// without a byte. A byte already waiting is taken at once.
bool TQZ_RS::ReceiveByte(int32_t position, uint64_t deadline) {
  uint8_t& dest = ReplyArea()[position];
  for (;;) {
    uint64_t now = env_.clock.NowMs();
    uint32_t slice =
        now > deadline ? 0 : static_cast<uint32_t>(std::min<uint64_t>(deadline - now + 1, kPumpSliceMs));
    bool got = ReadPortByte(dest, slice) == ReadStatus::Byte;
    PumpIfDue(!got);
    if (got) {
      received_ = position + 1;
      return true;
    }
    if (env_.clock.NowMs() > deadline) return false;
  }
}

void TQZ_RS::ReceiveRest(int32_t from, int32_t length) {
  for (int32_t pos = from; pos < length; ++pos) {
    if (!ReceiveByte(pos, env_.clock.NowMs() + ByteTimeout)) throw Exception(msg::InBlockDelay);
  }
}

void TQZ_RS::ReceiveFrame() {
  received_ = 0;
  uint64_t deadline = env_.clock.NowMs() + ReplyTimeout + TransmitAllowanceMs(BaudRate, SendLen);
  // The trace sees what came, complete or not.
  auto report = [this] {
    if (Observer)
      Observer->OnFrame(receivingEcho_ ? TraceDirection::Echo : TraceDirection::Received,
                        ReplyArea(), static_cast<size_t>(received_), env_.clock.NowMs());
  };
  try {
    if (!ReceiveByte(0, deadline)) throw Exception(msg::NoConnection);
    int32_t next = 1;
    if (LongLength) {
      ReceiveRest(1, 2);
      next = 2;
    }
    int32_t length = ReplyLength();
    // A length the reply area cannot hold is as invalid as one below the smallest reply.
    if (length < MinimumReplyLength() || length > kAreaSize) throw Exception(msg::NoConnection);
    ReceiveRest(next, length);
    if (!CheckReply()) throw Exception(std::string(msg::ExchangeError) + "(0)");
  } catch (...) {
    report();
    throw;
  }
  report();
}

void TQZ_RS::TransmitFrame() {
  std::optional<EchoWindow> echoWindow;
  if (LineMode == kEchoLineMode) echoWindow.emplace(*this);
  const uint8_t* request = RequestArea();
  int32_t count = LongLength ? request[0] | request[1] << 8 : (request[0] == 0 ? 256 : request[0]);
  count = std::min(count, kAreaSize);
  ClearInput();
  ClearOutput();
  if (Handle) Handle->Write(request, static_cast<size_t>(count));
  if (Observer) Observer->OnFrame(TraceDirection::Sent, request, static_cast<size_t>(count),
                                  env_.clock.NowMs());
  if (!echoWindow) return;
  // The echo is read only to get it out of the way; whatever becomes of it goes unnoticed.
  receivingEcho_ = true;
  try {
    ReceiveFrame();
  } catch (const Exception&) {
  }
  receivingEcho_ = false;
}

void TQZ_RS::Transact() {
  int32_t k = CommandPosition();
  TransmitFrame();
  ReceiveFrame();
  const uint8_t* reply = ReplyArea();
  int32_t first = LongLength ? 2 : 1;
  if (std::all_of(reply + first, reply + k, [](uint8_t b) { return b == 0; }))
    throw Exception(std::string(msg::ExchangeError) + "(" + std::to_string(k) + ")");
  if (reply[k] == kBusyCommand) throw Exception(msg::DeviceBusy);
}

void TQZ_RS::Attempts(int count) {
  for (int attempt = 1;; ++attempt) {
    try {
      Transact();
      break;
    } catch (const Exception& e) {
      if (Observer) Observer->OnAttemptFailed(attempt, e.what(), env_.clock.NowMs());
      if (attempt >= count) throw;
      Pause(kRetryPauseMs);
    }
  }
  ReadPos = PayloadPosition();
}

void TQZ_RS::Exchange() {
  SealFrame();
  if (LineMode != 0) env_.clock.SleepMs(kExchangePauseMs);
  Attempts(kAttempts);
}

void TQZ_RS::ExchangeOnce() {
  SealFrame();
  if (LineMode != 0) env_.clock.SleepMs(kExchangeOncePauseMs);
  Attempts(1);
}

void TQZ_RS::Request(uint8_t address, uint8_t command) {
  BeginRequest(address, command);
  Exchange();
}

void TQZ_RS::RequestOnce(uint8_t address, uint8_t command) {
  BeginRequest(address, command);
  ExchangeOnce();
}

int32_t TQZ_RS::ReadDeviceAddress() {
  if (!IsOpen()) return -1;
  if (LineMode != 0 && !env_.ui.AskYesNo(msg::OnlyOneDevice)) return -1;
  BeginFrame();
  if (LongLength) PutByte(0);
  PutByte(0);  // address
  if (!ShortHeader) {
    PutByte(0);  // header word 0, unlike a request's 1
    PutByte(0);
  }
  PutByte(0);  // command
  Exchange();
  return ReplyArea()[LongLength ? 2 : 1];
}

}  // namespace velboot
