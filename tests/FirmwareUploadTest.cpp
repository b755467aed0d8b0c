// Step 2 against the device model: pages, chunks, checks, retries and the clean-up.
#include <gtest/gtest.h>

#include "bootops/Bootloader.h"
#include "bootops/FirmwareUpload.h"
#include "bootops/Messages.h"
#include "devlink/Exception.h"
#include "devlink/Messages.h"
#include "tests/support/StepFixture.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;

class Upload : public StepFixture {
 protected:
  StepOutcome Run(const Bytes& image) {
    user.files.push_back(WriteFile("fw.rom", image));
    return UploadFirmware(Link(), user);
  }
  Bytes Page(const Bytes& image, size_t p) {
    return Bytes(image.begin() + p * 2048, image.begin() + (p + 1) * 2048);
  }
};

TEST_F(Upload, SendsIdentifyChunksPageProgramAndFinish) {
  Bytes image = RomImage(2048);
  EXPECT_EQ(Run(image), StepOutcome::Done);
  ASSERT_EQ(device.received.size(), 1 + 64 + 1 + 1u);
  EXPECT_EQ(device.received[0], (Bytes{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04}));
  for (int c = 0; c < 64; ++c) {
    const Bytes& frame = device.received[1 + c];
    ASSERT_EQ(frame.size(), 39u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 6), (Bytes{39, 0xF4, 0x01, 0x00, 10, uint8_t(c)}));
    EXPECT_EQ(Bytes(frame.begin() + 6, frame.end() - 1),
              Bytes(image.begin() + c * 32, image.begin() + c * 32 + 32));
  }
  EXPECT_EQ(device.received[65], sim::MakeFrame(244, 1, 20, {0x00, 0x40, 0x00, 0x08}));
  EXPECT_EQ(device.received[66], sim::MakeFrame(244, 1, 6, {}));
  ASSERT_EQ(device.memory.count(0x08004000), 1u);
  EXPECT_EQ(Bytes(device.memory[0x08004000].begin(), device.memory[0x08004000].end()), image);
  EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
  EXPECT_EQ(user.log.back(), "progress: close");  // the message came while the window was up
  ExpectCleanedUp();
  EXPECT_EQ(Link().ReplyTimeout, 800);
}

TEST_F(Upload, OnlyWholePagesAreSent) {
  struct Case {
    size_t size;
    size_t pages;
  } cases[] = {{2048 * 3, 3}, {2048 * 3 + 7, 3}, {2048 * 2 + 2047, 2}, {7, 0}, {2047, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    device = sim::DeviceModel();
    user = ScriptedUser();
    Bytes image = RomImage(c.size);
    EXPECT_EQ(Run(image), StepOutcome::Done);
    EXPECT_EQ(CountOf(cmdProgramPage), c.pages);
    EXPECT_EQ(CountOf(cmdLoadChunk), 64 * c.pages);
    EXPECT_EQ(device.finishCount, 1);
    EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
    for (size_t p = 0; p < c.pages; ++p)
      EXPECT_EQ(Bytes(device.memory[0x08004000 + p * 2048].begin(), device.memory[0x08004000 + p * 2048].end()),
                Page(image, p));
    if (c.pages == 0) {
      EXPECT_EQ(user.progress->values, std::vector<int>{0});
    }
  }
}

TEST_F(Upload, GaugeRoundsHalfToEven) {
  EXPECT_EQ(Run(RomImage(8 * 2048)), StepOutcome::Done);
  EXPECT_EQ(user.progress->values, (std::vector<int>{0, 12, 25, 38, 50, 62, 75, 88, 100}));
  EXPECT_EQ(user.progress->labels,
            (std::vector<std::string>{msg::Connecting, "", msg::CheckingVersion, msg::UploadingFirmware}));
  EXPECT_FALSE(user.progress->cancelVisible);
}

TEST_F(Upload, PageProgramStatusAndResult) {
  struct Case {
    uint8_t status, result;
    const char* failure;  // nullptr: success
  } cases[] = {
      {0x01, 0, msg::LowPower1},   {0x02, 0, msg::EraseFailed},   {0x03, 1, msg::LowPower1},
      {0x00, 1, msg::AddressError1}, {0x00, 2, msg::AddressError2}, {0x00, 3, msg::WriteFailed},
      {0x00, 4, msg::WriteFailed2},  {0x00, 0, nullptr},            {0x00, 5, nullptr},
      {0x00, 255, nullptr},          {0xFC, 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.status) << "/" << int(c.result));
    device = sim::DeviceModel();
    user = ScriptedUser();
    for (int attempt = 1; attempt <= 3; ++attempt)
      device.pageOutcomes[{0x08004000, attempt}] = {c.status, c.result};
    StepOutcome outcome = Run(RomImage(2 * 2048));
    if (c.failure) {
      EXPECT_EQ(outcome, StepOutcome::Failed);
      EXPECT_EQ(user.errors, std::vector<std::string>{c.failure});
      EXPECT_EQ(CountOf(cmdProgramPage), 3u);
      EXPECT_EQ(CountOf(cmdLoadChunk), 64u);  // the second page is never started
      EXPECT_EQ(device.finishCount, 0);
    } else {
      EXPECT_EQ(outcome, StepOutcome::Done);
      EXPECT_TRUE(user.errors.empty());
      EXPECT_EQ(CountOf(cmdProgramPage), 2u);
    }
    ExpectCleanedUp();
  }
}

TEST_F(Upload, ThirdPageProgramAttemptSucceedsWithoutResendingChunks) {
  device.pageOutcomes[{0x08004000, 1}] = {0x01, 0};
  device.pageOutcomes[{0x08004000, 2}] = {0x00, 3};
  EXPECT_EQ(Run(RomImage(2048)), StepOutcome::Done);
  EXPECT_EQ(CountOf(cmdLoadChunk), 64u);
  EXPECT_EQ(CountOf(cmdProgramPage), 3u);
  EXPECT_TRUE(user.errors.empty());
  std::vector<uint64_t> programWrites;
  for (size_t i = 0, frame = 0; i < line.events.size(); ++i)
    if (line.events[i].kind == sim::LineEvent::Write && device.received[frame++][4] == cmdProgramPage)
      programWrites.push_back(line.events[i].timeMs);
  ASSERT_EQ(programWrites.size(), 3u);
  EXPECT_EQ(programWrites[1] - programWrites[0], 50u);
  EXPECT_EQ(programWrites[2] - programWrites[1], 50u);
}

TEST_F(Upload, ExchangeFailureOfAPageProgramIsRetriedToo) {
  device.faults[65] = sim::ReplyFault::CorruptByte;  // all three attempts of the link
  device.faults[66] = sim::ReplyFault::CorruptByte;
  device.faults[67] = sim::ReplyFault::CorruptByte;
  EXPECT_EQ(Run(RomImage(2048)), StepOutcome::Done);
  EXPECT_EQ(CountOf(cmdProgramPage), 4u);
}

TEST_F(Upload, ChunkFailureIsShownAndStopsThePage) {
  device.faults = {{5, sim::ReplyFault::Busy}, {6, sim::ReplyFault::Busy}, {7, sim::ReplyFault::Busy}};
  EXPECT_EQ(Run(RomImage(2048)), StepOutcome::Failed);
  EXPECT_EQ(user.errors, std::vector<std::string>{msg::DeviceBusy});
  EXPECT_EQ(CountOf(cmdProgramPage), 0u);
  EXPECT_EQ(device.finishCount, 0);
  ExpectCleanedUp();
}

TEST_F(Upload, PageAddressesWrapAround) {
  EXPECT_EQ(Run(RomImage(3 * 2048, 0xFFFFF000)), StepOutcome::Done);
  std::vector<uint32_t> addresses;
  for (auto& [address, page] : device.memory) addresses.push_back(address);
  EXPECT_EQ(addresses, (std::vector<uint32_t>{0x00000000, 0xFFFFF000, 0xFFFFF800}));
}

TEST_F(Upload, MismatchWritesNothing) {
  struct Case {
    const char* name;
    Bytes image;
  } cases[] = {
      {"type", RomImage(2048, 0, 0x2B)},
      {"version high byte", RomImage(2048, 0, 0x2A, 0x0203)},
      {"shorter than a trailer", Bytes{0x2A, 0x03, 0x01, 0, 0, 0}},
      {"empty", Bytes{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device = sim::DeviceModel();
    user = ScriptedUser();
    EXPECT_EQ(Run(c.image), StepOutcome::Failed);
    EXPECT_EQ(user.errors, std::vector<std::string>{msg::McuTypeMismatch});
    EXPECT_EQ(Commands(), Bytes{cmdIdentify});
    ExpectCleanedUp();
  }
}

TEST_F(Upload, CancelledFileChoiceTouchesNothing) {
  EXPECT_EQ(UploadFirmware(Link(), user), StepOutcome::Cancelled);
  EXPECT_TRUE(line.events.empty());
  EXPECT_EQ(user.progress->opened, 0);
}

TEST_F(Upload, CancelWhileConnectingEndsSilently) {
  device.silentFirst = 1000;
  pump.onPump = [&](int n) {
    if (n == 40) user.progress->PressCancel();
  };
  EXPECT_EQ(Run(RomImage(2048)), StepOutcome::Cancelled);
  EXPECT_TRUE(user.errors.empty());
  EXPECT_TRUE(user.infos.empty());
  EXPECT_EQ(CountOf(cmdLoadChunk), 0u);
  EXPECT_GT(line.events.size(), 0u);
  ExpectCleanedUp();
}

TEST_F(Upload, ConnectLoopReopensAndPausesBetweenAttempts) {
  device.silentFirst = 3;  // one whole failed Request
  uint64_t start = clock.NowMs();
  EXPECT_EQ(Run(RomImage(0)), StepOutcome::Failed);
  // Three waits of 101 ms, two retry pauses, then the 300 ms pause before asking again.
  std::vector<uint64_t> identify;
  for (const auto& e : line.events)
    if (e.kind == sim::LineEvent::Write) identify.push_back(e.timeMs - start);
  ASSERT_GE(identify.size(), 4u);
  EXPECT_EQ(identify[3], 3 * 101 + 2 * 50 + 300u);
}

TEST_F(Upload, CancelDuringTheAnsweringExchangeStopsBeforeTheFirstPage) {
  pump.onPump = [&](int n) {
    if (n == 1) user.progress->PressCancel();
  };
  EXPECT_EQ(Run(RomImage(2048)), StepOutcome::Cancelled);
  EXPECT_EQ(Commands(), Bytes{cmdIdentify});
  EXPECT_TRUE(user.infos.empty());
  ExpectCleanedUp();
}

TEST_F(Upload, UnreadableFileEscapesAfterTheCleanUp) {
  user.files.push_back(dir.File("missing.rom"));
  EXPECT_THROW(UploadFirmware(Link(), user), Exception);
  ExpectCleanedUp();
}

}  // namespace
}  // namespace velboot::test
