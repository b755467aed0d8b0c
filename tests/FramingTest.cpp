// The framing protocol on the simulated line: wire bytes, reply judgement, timing and retries.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <vector>

#include "devlink/Exception.h"
#include "devlink/Messages.h"
#include "tests/support/LinkFixture.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;
using sim::ReplyFault;

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const Exception& e) {
    return e.what();
  }
  return "(no failure)";
}

class Framing : public LinkFixture {
 protected:
  // A link with its port open on a line where no device answers.
  TQZ_RS& SilentLink() {
    silentLink = std::make_unique<TQZ_RS>(LinkEnvironment{silent, clock, pump, user});
    silentLink->SetActive(true);
    return *silentLink;
  }
  sim::SimLine silent{clock, nullptr};
  std::unique_ptr<TQZ_RS> silentLink;
};

TEST_F(Framing, IdentifyRequestIsSixBytesWithoutEchoOrRts) {
  OpenLink().Request(244, 1);
  ASSERT_EQ(line.writes.size(), 1u);
  EXPECT_EQ(line.writes[0], (Bytes{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04}));
  EXPECT_TRUE(std::none_of(line.events.begin(), line.events.end(),
                           [](const sim::LineEvent& e) { return e.kind == sim::LineEvent::Rts; }));
  EXPECT_EQ(Link().ReadPos, 5);
  EXPECT_EQ(Link().GetByte(), device.mcuType);
  EXPECT_EQ(Link().GetWord(), device.version);
}

TEST_F(Framing, FullShortFrameIsSentAs256Bytes) {
  OpenLink().BeginRequest(244, 99);
  while (Link().SendLen < 255) Link().PutByte(0x22);
  line.scriptedReplies.push_back(sim::MakeFrame(244, 1, 99, {}));
  Link().Exchange();
  ASSERT_EQ(line.writes.size(), 1u);
  EXPECT_EQ(line.writes[0].size(), 256u);
  EXPECT_EQ(line.writes[0][0], 0);
}

TEST_F(Framing, BadRepliesFailWithTheirMessage) {
  const std::string exchangeError = msg::ExchangeError;
  struct Case {
    ReplyFault fault;
    std::string message;
  } cases[] = {
      {ReplyFault::Silence, msg::NoConnection},
      {ReplyFault::ShortLength, msg::NoConnection},
      {ReplyFault::ZeroLength, msg::NoConnection},
      {ReplyFault::StopAfterThree, msg::InBlockDelay},
      {ReplyFault::DropByte, msg::InBlockDelay},
      {ReplyFault::CorruptByte, "RS232. Ошибка обмена.(0)"},
      {ReplyFault::ZeroHeader, "RS232. Ошибка обмена.(4)"},
      {ReplyFault::ZeroHeaderBusy, "RS232. Ошибка обмена.(4)"},
      {ReplyFault::Busy, msg::DeviceBusy},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.fault));
    sim::DeviceModel model;
    sim::SimLine faulty(clock, &model);
    LinkEnvironment faultyEnv{faulty, clock, pump, user};
    TQZ_RS link(faultyEnv);
    link.SetActive(true);
    for (uint32_t request = 0; request < 3; ++request) model.faults[request] = c.fault;
    link.ReadPos = 77;
    EXPECT_EQ(MessageOf([&] { link.Request(244, 1); }), c.message);
    EXPECT_EQ(faulty.writes.size(), 3u);
    EXPECT_EQ(link.ReadPos, 77);  // a failed exchange leaves the read position alone
  }
  EXPECT_TRUE(exchangeError.starts_with("RS232."));
}

TEST_F(Framing, ThirdAttemptSucceeds) {
  device.faults = {{0, ReplyFault::CorruptByte}, {1, ReplyFault::Busy}};
  OpenLink().Request(244, 1);
  EXPECT_EQ(line.writes.size(), 3u);
  EXPECT_EQ(line.writes[1], line.writes[0]);  // the same sealed frame again
  EXPECT_EQ(Link().ReadPos, 5);
  EXPECT_EQ(Link().GetByte(), device.mcuType);
}

TEST_F(Framing, NoDeviceFailsAfterThreeWaitsAndTwoPauses) {
  TQZ_RS& link = SilentLink();
  link.ReplyTimeout = 100;
  uint64_t start = clock.NowMs();
  EXPECT_EQ(MessageOf([&] { link.Request(244, 1); }), msg::NoConnection);
  // Each wait ends at the first millisecond past its deadline of 100 ms; 50 ms between waits.
  EXPECT_EQ(clock.NowMs() - start, 3 * 101 + 2 * 50u);
  std::vector<uint64_t> writes;
  for (const sim::LineEvent& e : silent.events)
    if (e.kind == sim::LineEvent::Write) writes.push_back(e.timeMs - start);
  EXPECT_EQ(writes, (std::vector<uint64_t>{0, 151, 302}));
}

TEST_F(Framing, ClosedPortWaitsOutEachDeadline) {
  Link().ReplyTimeout = 100;
  uint64_t start = clock.NowMs();
  EXPECT_EQ(MessageOf([&] { Link().Request(244, 1); }), msg::NoConnection);
  EXPECT_EQ(clock.NowMs() - start, 3 * 101 + 2 * 50u);
  EXPECT_TRUE(line.writes.empty());
}

TEST_F(Framing, InBlockDelayIsMeasuredFromTheLastByte) {
  device.faults[0] = ReplyFault::StopAfterThree;
  device.replyDelayMs = 30;
  OpenLink();
  uint64_t start = clock.NowMs();
  EXPECT_EQ(MessageOf([&] { Link().RequestOnce(244, 1); }), msg::InBlockDelay);
  EXPECT_EQ(clock.NowMs() - start, 30 + 201u);
}

TEST_F(Framing, PumpRunsWhileWaiting) {
  device.replyDelayMs = 95;
  OpenLink().Request(244, 1);
  EXPECT_GE(pump.count, 9);
}

TEST_F(Framing, TransmitAllowanceRoundsHalfToEven) {
  struct Case {
    uint32_t baud;
    int32_t sendLen;
    uint32_t ms;
  } cases[] = {{115200, 38, 3}, {9600, 38, 38}, {19200, 5, 2}, {19200, 7, 4}, {115200, 5, 0}, {0, 9, 0}};
  for (const Case& c : cases)
    EXPECT_EQ(TQZ_RS::TransmitAllowanceMs(c.baud, c.sendLen), c.ms) << c.baud << " " << c.sendLen;
}

TEST_F(Framing, AllowanceExtendsTheFirstByteDeadline) {
  TQZ_RS& link = SilentLink();
  link.SetBaudRate(9600);
  link.ReplyTimeout = 100;
  link.BeginRequest(244, 10);
  for (int i = 0; i < 33; ++i) link.PutByte(0);  // SendLen 38
  uint64_t start = clock.NowMs();
  EXPECT_THROW(link.ExchangeOnce(), Exception);
  EXPECT_EQ(clock.NowMs() - start, 100 + 38 + 1u);
}

TEST_F(Framing, LineModeAboveTwoMeansRs232) {
  struct Case {
    uint8_t in, out;
  } cases[] = {{0, 0}, {1, 1}, {2, 2}, {3, 0}, {255, 0}};
  for (const Case& c : cases) {
    Link().SetLineMode(c.in);
    EXPECT_EQ(Link().LineMode, c.out) << int(c.in);
  }
}

TEST_F(Framing, PauseBeforeSendingInLineModesOneAndTwo) {
  OpenLink().SetLineMode(1);
  uint64_t start = clock.NowMs();
  Link().Request(244, 1);
  EXPECT_EQ(line.events.back().kind, sim::LineEvent::Write);
  EXPECT_EQ(line.events.back().timeMs - start, 2u);
  start = clock.NowMs();
  Link().RequestOnce(244, 1);
  EXPECT_EQ(line.events.back().timeMs - start, 20u);
}

// RS-485 with echo: RTS up before the write, down once the echo is read.
TEST_F(Framing, EchoModeRaisesRtsAroundWriteAndEcho) {
  line.echo = true;
  device.replyDelayMs = 40;
  OpenLink().SetLineMode(2);
  int before = getpriority(PRIO_PROCESS, 0);
  Link().Request(244, 1);
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), before);
  std::vector<sim::LineEvent::Kind> kinds;
  uint64_t rtsDown = 0, write = 0;
  for (const sim::LineEvent& e : line.events) {
    if (e.kind == sim::LineEvent::Rts || e.kind == sim::LineEvent::Write) kinds.push_back(e.kind);
    if (e.kind == sim::LineEvent::Rts && e.value == 0) rtsDown = e.timeMs;
    if (e.kind == sim::LineEvent::Write) write = e.timeMs;
  }
  EXPECT_EQ(kinds, (std::vector<sim::LineEvent::Kind>{sim::LineEvent::Rts, sim::LineEvent::Write,
                                                       sim::LineEvent::Rts}));
  EXPECT_EQ(rtsDown, write);  // the echo was there at once
  EXPECT_EQ(Link().GetByte(), device.mcuType);
  EXPECT_FALSE(line.rtsHigh);
}

TEST_F(Framing, MissingEchoIsWaitedOutAndSwallowed) {
  device.replyDelayMs = 150;  // after the echo wait of 101 ms has given up
  OpenLink().SetLineMode(2);
  Link().ReplyTimeout = 100;
  int before = getpriority(PRIO_PROCESS, 0);
  Link().Request(244, 1);
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), before);
  uint64_t write = 0, rtsDown = 0;
  for (const sim::LineEvent& e : line.events) {
    if (e.kind == sim::LineEvent::Write) write = e.timeMs;
    if (e.kind == sim::LineEvent::Rts && e.value == 0) rtsDown = e.timeMs;
  }
  EXPECT_EQ(rtsDown - write, 101u);
  EXPECT_EQ(Link().GetByte(), device.mcuType);
}

TEST_F(Framing, EchoModeRestoresLinesWhenTheExchangeFails) {
  TQZ_RS& link = SilentLink();
  link.SetLineMode(2);
  link.ReplyTimeout = 10;
  int before = getpriority(PRIO_PROCESS, 0);
  EXPECT_THROW(link.Request(244, 1), Exception);
  EXPECT_FALSE(silent.rtsHigh);
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), before);
}

struct LayoutCase {
  const char* name;
  bool shortHeader, longLength;
  Bytes request;  // of BeginRequest(244, 1) sealed
  Bytes reply;    // smallest valid reply
  int32_t readPos;
  std::string zeroHeaderMessage;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class Layouts : public Framing, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(Layouts, RequestReplyAndZeroHeader) {
  const LayoutCase& c = GetParam();
  OpenLink();
  Link().ShortHeader = c.shortHeader;
  Link().LongLength = c.longLength;
  line.scriptedReplies.push_back(c.reply);
  Link().Request(244, 1);
  EXPECT_EQ(line.writes.back(), c.request);
  EXPECT_EQ(Link().ReadPos, c.readPos);

  Bytes zero = c.reply;
  int first = c.longLength ? 2 : 1;
  std::fill(zero.begin() + first, zero.begin() + c.readPos - 1, 0);
  unsigned sum = 0;
  for (size_t i = 0; i + 1 < zero.size(); ++i) sum += zero[i];
  zero.back() = static_cast<uint8_t>((256 - sum % 256) % 256);
  for (int i = 0; i < 3; ++i) line.scriptedReplies.push_back(zero);
  EXPECT_EQ(MessageOf([&] { Link().Request(244, 1); }), c.zeroHeaderMessage);
}

INSTANTIATE_TEST_SUITE_P(
    All, Layouts,
    ::testing::Values(
        LayoutCase{"Normal", false, false, {0x06, 0xF4, 0x01, 0x00, 0x01, 0x04},
                   {0x06, 0x10, 0x01, 0x00, 0x01, 0xE8}, 5, "RS232. Ошибка обмена.(4)"},
        LayoutCase{"ShortHeader", true, false, {0x04, 0xF4, 0x01, 0x07},
                   {0x04, 0x10, 0x01, 0xEB}, 3, "RS232. Ошибка обмена.(2)"},
        LayoutCase{"LongLength", false, true, {0x07, 0x00, 0xF4, 0x01, 0x00, 0x01, 0x03},
                   {0x07, 0x00, 0x10, 0x01, 0x00, 0x01, 0xE7}, 6, "RS232. Ошибка обмена.(5)"},
        LayoutCase{"Both", true, true, {0x05, 0x00, 0xF4, 0x01, 0x06},
                   {0x07, 0x00, 0x10, 0x01, 0x00, 0x01, 0xE7}, 6, "RS232. Ошибка обмена.(5)"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Framing, OversizedLongLengthReplyIsRefused) {
  OpenLink().LongLength = true;
  for (int i = 0; i < 3; ++i) line.scriptedReplies.push_back({0x01, 0x09, 0x10});  // 2305 bytes
  EXPECT_EQ(MessageOf([&] { Link().Request(244, 1); }), msg::NoConnection);
}

TEST_F(Framing, ReadDeviceAddress) {
  EXPECT_EQ(Link().ReadDeviceAddress(), -1);  // port closed: nothing sent
  EXPECT_TRUE(line.writes.empty());

  OpenLink().SetLineMode(1);
  user.answerYes = false;
  EXPECT_EQ(Link().ReadDeviceAddress(), -1);
  EXPECT_EQ(user.questions, std::vector<std::string>{msg::OnlyOneDevice});
  EXPECT_TRUE(line.writes.empty());

  Link().SetLineMode(0);
  line.scriptedReplies.push_back(sim::MakeFrame(0x37, 1, 0, {}));
  EXPECT_EQ(Link().ReadDeviceAddress(), 0x37);
  EXPECT_EQ(line.writes.back(), (Bytes{0x06, 0x00, 0x00, 0x00, 0x00, 0xFA}));
  EXPECT_EQ(user.questions.size(), 1u);
}

class Recorder : public LinkObserver {
 public:
  void OnFrame(TraceDirection d, const uint8_t* data, size_t size, uint64_t) override {
    frames.push_back({d, Bytes(data, data + size)});
  }
  void OnAttemptFailed(int attempt, const std::string& message, uint64_t) override {
    failures.push_back(std::to_string(attempt) + " " + message);
  }
  std::vector<std::pair<TraceDirection, Bytes>> frames;
  std::vector<std::string> failures;
};

TEST_F(Framing, TraceSeesFramesAndFailedAttempts) {
  Recorder trace;
  Link().Observer = &trace;
  device.faults[0] = ReplyFault::StopAfterThree;
  OpenLink().Request(244, 1);
  ASSERT_EQ(trace.frames.size(), 4u);
  EXPECT_EQ(trace.frames[0].first, TraceDirection::Sent);
  EXPECT_EQ(trace.frames[1].first, TraceDirection::Received);
  EXPECT_EQ(trace.frames[1].second.size(), 3u);
  EXPECT_EQ(trace.frames[3].second, sim::MakeFrame(244, 1, 1, {device.mcuType, 0x03, 0x01}));
  EXPECT_EQ(trace.failures, std::vector<std::string>{std::string("1 ") + msg::InBlockDelay});
}

}  // namespace
}  // namespace velboot::test
