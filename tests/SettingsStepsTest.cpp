// Steps 1 and 3 against the device model: reading the settings into a file and writing a file
// back, with every refusal.
#include <gtest/gtest.h>

#include "bootops/Bootloader.h"
#include "bootops/Messages.h"
#include "bootops/SettingsFile.h"
#include "bootops/SettingsRead.h"
#include "bootops/SettingsWrite.h"
#include "devlink/Exception.h"
#include "devlink/Messages.h"
#include "tests/support/StepFixture.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;
constexpr DateTime kNow{2024, 3, 5, 9, 7, 59};
constexpr const char* kFileName = "2024_03_05_09_07.kvst";

class SettingsSteps : public StepFixture {
 protected:
  StepOutcome Read() {
    return ReadSettings(Link(), user, versions, {dir.Path().string(), [] { return kNow; }});
  }
  std::string FilePath() const { return dir.File(kFileName); }
  // A settings file as Step 1 writes it from an image of `size` bytes.
  std::string FileFrom(uint32_t size, uint16_t version = 0x0103, uint8_t seed = 9) {
    Bytes image = sim::DeviceModel::MakeSettingsImage(size, seed);
    return WriteFile("saved.kvst", EncodeSettingsFile(version, image, size));
  }
  StepOutcome Write(const std::string& file) {
    user.files.push_back(file);
    return WriteSettings(Link(), user, versions);
  }
  // The data bytes of every block written, in order.
  std::vector<Bytes> WrittenBlocks() const {
    std::vector<Bytes> blocks;
    for (const Bytes& f : device.received)
      if (f[4] == cmdWriteSettingsBlock) blocks.emplace_back(f.begin() + 9, f.end() - 1);
    return blocks;
  }
};

TEST_F(SettingsSteps, ReadSavesTheImageWithoutItsLastFourBytes) {
  device.settings = sim::DeviceModel::MakeSettingsImage(1024, 3);
  EXPECT_EQ(Read(), StepOutcome::Done);
  EXPECT_EQ(CountOf(cmdReadSettingsBlock), 33u);
  for (uint16_t h = 0; h < 33; ++h)
    EXPECT_EQ(device.received[1 + h], sim::MakeFrame(244, 1, 5, {uint8_t(h), uint8_t(h >> 8)}));
  Bytes file = ReadFile(FilePath());
  EXPECT_EQ(file, EncodeSettingsFile(0x0103, device.settings, 1024));
  EXPECT_EQ(file.size(), 1022u);
  EXPECT_EQ(versions.SettingsVersion, 0x0103);
  EXPECT_EQ(user.infos, std::vector<std::string>{msg::SettingsSaved + FilePath()});
  const std::vector<int>& gauge = user.progress->values;
  ASSERT_EQ(gauge.size(), 33u);
  EXPECT_EQ(std::vector<int>(gauge.begin(), gauge.begin() + 4), (std::vector<int>{0, 3, 6, 10}));
  EXPECT_EQ(std::vector<int>(gauge.end() - 3, gauge.end()), (std::vector<int>{97, 100, 103}));
  EXPECT_FALSE(user.progress->cancelVisible);
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, ReadSmallImages) {
  struct Case {
    uint32_t imageSize;
    size_t blocks, fileSize;
    std::vector<int> gauge;
  } cases[] = {
      {20, 1, 18, {0}},
      {4, 1, 2, {0}},
      {32, 2, 30, {0, 100}},  // nothing to divide by: full at once
      {100, 4, 98, {0, 47, 94, 141}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.imageSize);
    device = sim::DeviceModel();
    user = ScriptedUser();
    device.settings = sim::DeviceModel::MakeSettingsImage(c.imageSize);
    EXPECT_EQ(Read(), StepOutcome::Done);
    EXPECT_EQ(CountOf(cmdReadSettingsBlock), c.blocks);
    EXPECT_EQ(ReadFile(FilePath()).size(), c.fileSize);
    EXPECT_EQ(user.progress->values, c.gauge);
  }
}

TEST_F(SettingsSteps, ReadRefusesImpossibleImageSizes) {
  for (uint32_t size : {0u, 3u, 65536u * 32, 0xFFFFFFFFu}) {
    SCOPED_TRACE(size);
    device = sim::DeviceModel();
    device.settings = sim::DeviceModel::MakeSettingsImage(4);
    for (int i = 0; i < 4; ++i) device.settings[i] = static_cast<uint8_t>(size >> (8 * i));
    try {
      Read();
      ADD_FAILURE() << "no refusal";
    } catch (const Exception& e) {
      EXPECT_EQ(e.what(), msg::BadImageSize + std::to_string(size));
    }
    EXPECT_EQ(CountOf(cmdReadSettingsBlock), 1u);
    EXPECT_EQ(FilesInDir(), 0u);
    ExpectCleanedUp();
  }
}

TEST_F(SettingsSteps, ReadFailureAfterBlockFiveLeavesNoFile) {
  // Request 0 is identify, 1 block 0, 2..6 blocks 1..5; block 6 fails three times.
  device.faults = {{7, sim::ReplyFault::Silence}, {8, sim::ReplyFault::Silence}, {9, sim::ReplyFault::Silence}};
  try {
    Read();
    ADD_FAILURE() << "no failure";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), msg::NoConnection);
  }
  EXPECT_EQ(FilesInDir(), 0u);
  EXPECT_TRUE(user.infos.empty());
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, ReadCancelledWhileConnecting) {
  device.silentFirst = 1000;
  pump.onPump = [&](int n) {
    if (n == 5) user.progress->PressCancel();
  };
  EXPECT_EQ(Read(), StepOutcome::Cancelled);
  EXPECT_EQ(user.progress->labels, std::vector<std::string>{msg::Connecting});
  EXPECT_TRUE(user.log.back() == "progress: close");
  EXPECT_EQ(FilesInDir(), 0u);
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, ReadConnectCycleIsThreeAttemptsThenThreeSeconds) {
  device.silentFirst = 3;
  uint64_t start = clock.NowMs();
  EXPECT_EQ(Read(), StepOutcome::Done);
  EXPECT_EQ(line.events.size() > 0, true);
  uint64_t fourth = 0;
  int writes = 0;
  for (const auto& e : line.events)
    if (e.kind == sim::LineEvent::Write && ++writes == 4) fourth = e.timeMs - start;
  EXPECT_EQ(fourth, 3 * 101 + 2 * 50 + 3000u);
}

TEST_F(SettingsSteps, SecondReadInTheSameMinuteReplacesTheFirst) {
  EXPECT_EQ(Read(), StepOutcome::Done);
  device.settings = sim::DeviceModel::MakeSettingsImage(64, 5);
  EXPECT_EQ(Read(), StepOutcome::Done);
  EXPECT_EQ(FilesInDir(), 1u);
  EXPECT_EQ(ReadFile(FilePath()).size(), 62u);
}

TEST_F(SettingsSteps, WriteTheWorkedExample) {
  device.settings = sim::DeviceModel::MakeSettingsImage(1024, 1);
  Bytes image = sim::DeviceModel::MakeSettingsImage(1024, 9);
  EXPECT_EQ(Write(FileFrom(1024)), StepOutcome::Done);
  std::vector<Bytes> blocks = WrittenBlocks();
  ASSERT_EQ(blocks.size(), 32u);
  EXPECT_EQ(blocks[0], Bytes(image.begin(), image.begin() + 32));
  Bytes last(image.begin() + 992, image.begin() + 1020);
  last.insert(last.end(), 4, image[1019]);
  EXPECT_EQ(blocks[31], last);
  for (uint16_t k = 0; k < 32; ++k) {
    const Bytes& frame = device.received[2 + k];
    EXPECT_EQ(Bytes(frame.begin() + 5, frame.begin() + 9), (Bytes{uint8_t(k), uint8_t(k >> 8), 32, 0}));
  }
  const std::vector<int>& gauge = user.progress->values;
  ASSERT_EQ(gauge.size(), 33u);
  EXPECT_EQ(std::vector<int>(gauge.begin(), gauge.begin() + 4), (std::vector<int>{0, 0, 3, 6}));
  EXPECT_EQ(gauge.back(), 97);
  ASSERT_EQ(device.commits.size(), 1u);
  EXPECT_EQ(device.commits[0].first, 0);
  EXPECT_EQ(device.commits[0].second, 1020);
  EXPECT_EQ(device.received.back(), sim::MakeFrame(244, 1, 7, {0, 0, 0xFC, 0x03}));
  EXPECT_EQ(Bytes(device.settings.begin(), device.settings.begin() + 1020),
            Bytes(image.begin(), image.begin() + 1020));
  EXPECT_EQ(user.infos, std::vector<std::string>{msg::SettingsWritten});
  EXPECT_TRUE(user.progress->cancelVisible);
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, WriteFollowsTheDeviceImageSize) {
  struct Case {
    const char* name;
    uint32_t fileSize, deviceSize;
    size_t blocks;
    uint16_t commit;
    std::vector<int> gauge;
  } cases[] = {
      {"full last block", 100, 100, 3, 96, {0, 0, 33, 67}},
      {"file larger than device", 1024, 100, 3, 96, {0, 0, 33, 67}},
      {"device with nothing to write", 1024, 4, 0, 0, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device = sim::DeviceModel();
    user = ScriptedUser();
    device.settings = sim::DeviceModel::MakeSettingsImage(c.deviceSize, 1);
    Bytes image = sim::DeviceModel::MakeSettingsImage(c.fileSize, 9);
    EXPECT_EQ(Write(FileFrom(c.fileSize)), StepOutcome::Done);
    std::vector<Bytes> blocks = WrittenBlocks();
    ASSERT_EQ(blocks.size(), c.blocks);
    if (!blocks.empty()) {
      Bytes expected(image.begin(), image.begin() + 32);
      for (int i = 0; i < 4; ++i) expected[i] = static_cast<uint8_t>(c.deviceSize >> (8 * i));
      EXPECT_EQ(blocks[0], expected);  // the device's own size, never the file's
      EXPECT_EQ(blocks.back(), Bytes(image.begin() + 64, image.begin() + 96));
    }
    ASSERT_EQ(device.commits.size(), 1u);
    EXPECT_EQ(device.commits[0].second, c.commit);
    EXPECT_EQ(user.progress->values, c.gauge);
  }
}

TEST_F(SettingsSteps, WriteOfAnOlderSmallerFileKeepsTheDeviceValuesBeyondIt) {
  device.settings = sim::DeviceModel::MakeSettingsImage(1024, 1);
  Bytes before = device.settings;
  Bytes image = sim::DeviceModel::MakeSettingsImage(100, 9);
  EXPECT_EQ(Write(FileFrom(100)), StepOutcome::Done);
  Bytes expected = before;
  std::copy(image.begin() + 4, image.begin() + 96, expected.begin() + 4);
  EXPECT_EQ(device.settings, expected);
  EXPECT_EQ(WrittenBlocks().size(), 32u);
  EXPECT_EQ(device.commits[0].second, 1020);
}

TEST_F(SettingsSteps, WriteRefusesBeforeSendingAnythingButIdentify) {
  Bytes whole = EncodeSettingsFile(0x0103, sim::DeviceModel::MakeSettingsImage(100), 100);
  struct Case {
    const char* name;
    Bytes file;
    std::string error;
  } cases[] = {
      {"version", EncodeSettingsFile(0x0203, sim::DeviceModel::MakeSettingsImage(100), 100),
       msg::SettingsVersionMismatch},
      {"two bytes", Bytes{0x03, 0x01}, msg::SettingsFileDamaged},
      {"five bytes", Bytes(whole.begin(), whole.begin() + 5), msg::SettingsFileDamaged},
      {"cut short", Bytes(whole.begin(), whole.end() - 1), msg::SettingsFileDamaged},
      {"empty", Bytes{}, msg::SettingsFileDamaged},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device = sim::DeviceModel();
    user = ScriptedUser();
    std::string path = WriteFile("bad.kvst", c.file);
    EXPECT_EQ(Write(path), StepOutcome::Failed);
    std::string expected = c.error == msg::SettingsFileDamaged ? c.error + path : c.error;
    EXPECT_EQ(user.errors, std::vector<std::string>{expected});
    EXPECT_EQ(Commands(), Bytes{cmdIdentify});
    ExpectCleanedUp();
  }
}

TEST_F(SettingsSteps, WriteRefusesADeviceWithAnImpossibleSize) {
  device.settings = sim::DeviceModel::MakeSettingsImage(4);
  device.settings[0] = 3;
  EXPECT_THROW(Write(FileFrom(100)), Exception);
  EXPECT_EQ(CountOf(cmdWriteSettingsBlock), 0u);
  EXPECT_TRUE(device.commits.empty());
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, WriteCancelledFileChoiceIsSilent) {
  EXPECT_EQ(WriteSettings(Link(), user, versions), StepOutcome::Cancelled);
  EXPECT_TRUE(user.errors.empty());
  EXPECT_EQ(Commands(), Bytes{cmdIdentify});
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, WriteFailureAtABlockSendsNoCommit) {
  // 0 identify, 1 block 0 read, 2..4 blocks 0..2 written; block 3 fails three times.
  device.faults = {{5, sim::ReplyFault::Busy}, {6, sim::ReplyFault::Busy}, {7, sim::ReplyFault::Busy}};
  try {
    Write(FileFrom(1024));
    ADD_FAILURE() << "no failure";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), msg::DeviceBusy);
  }
  EXPECT_EQ(CountOf(cmdWriteSettingsBlock), 6u);
  EXPECT_TRUE(device.commits.empty());
  ExpectCleanedUp();
}

TEST_F(SettingsSteps, ReadThenWriteBackGivesTheSameSettings) {
  device.settings = sim::DeviceModel::MakeSettingsImage(700, 4);
  Bytes original = device.settings;
  EXPECT_EQ(Read(), StepOutcome::Done);

  sim::DeviceModel other;
  other.settings = sim::DeviceModel::MakeSettingsImage(700, 8);
  device = other;
  EXPECT_EQ(Write(FilePath()), StepOutcome::Done);
  Bytes expected(original.begin(), original.end() - 4);
  expected.insert(expected.end(), other.settings.end() - 4, other.settings.end());
  EXPECT_EQ(device.settings, expected);
}

}  // namespace
}  // namespace velboot::test
