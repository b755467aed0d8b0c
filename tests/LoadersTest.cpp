// The built-in loaders for the bootloaders at 240, 241 and 252, against the device model.
#include <gtest/gtest.h>

#include "devlink/Messages.h"
#include "tests/support/StepFixture.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Pattern(size_t size) {
  Bytes bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 5 + (i >> 8));
  return bytes;
}

class Loaders : public StepFixture {
 protected:
  std::vector<uint32_t> RatesSet() const {
    std::vector<uint32_t> rates;
    for (const auto& e : line.events)
      if (e.kind == sim::LineEvent::Baud) rates.push_back(e.value);
    return rates;
  }
  std::vector<uint32_t> Programmed(uint8_t bootloader) {
    std::vector<uint32_t> addresses;
    for (const auto& [address, page] : device.loaderMemory[bootloader]) addresses.push_back(address);
    return addresses;
  }
  void Reset() {
    device = sim::DeviceModel();
    user = ScriptedUser();
    line.events.clear();
  }
};

TEST_F(Loaders, ByTypeRateFollowsTheClockAndComesBack) {
  struct Case {
    double clock;
    uint32_t rate;
  } cases[] = {{7372800, 4800}, {14745600, 9600}, {3840, 2}, {5376, 4}};  // 2.5 and 3.5 round to even
  std::string file = WriteFile("p.bin", Pattern(512));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.clock);
    Reset();
    Link().LoadProgramByType(file, false, c.clock, 0);
    ASSERT_GE(RatesSet().size(), 2u);
    EXPECT_EQ(RatesSet()[1], c.rate);  // after the open at the stored rate
    EXPECT_EQ(Link().BaudRate, 115200u);
    EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
  }
}

TEST_F(Loaders, ByTypeRefusedRateIsUndone) {
  line.acceptsRate = [](uint32_t rate) { return rate != 4800; };
  Link().LoadProgramByType(WriteFile("p.bin", Pattern(512)), false, 7372800, 0);
  EXPECT_EQ(user.errors, std::vector<std::string>{msg::CannotSetBaudRate});
  EXPECT_EQ(Link().BaudRate, 115200u);
  EXPECT_TRUE(device.received.empty());
  EXPECT_TRUE(Link().IsOpen());  // this loader leaves the port open
}

TEST_F(Loaders, ByTypeChecksTypeAndSize) {
  struct Case {
    uint16_t deviceType;
    bool check;
    uint16_t expected;
    size_t fileSize;
    const char* error;  // nullptr: uploaded
  } cases[] = {
      {663, true, 663, 512, nullptr},         {663, true, 664, 512, msg::WrongMcu},
      {663, false, 664, 512, nullptr},        {1000, false, 1000, 512, msg::WrongMcu},
      {1000, true, 1000, 512, msg::WrongMcu}, {2195, false, 0, 7168, nullptr},
      {2195, false, 0, 7169, msg::ProgramTooLong},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.deviceType << " " << c.fileSize);
    Reset();
    device.byTypeMcu = c.deviceType;
    Link().LoadProgramByType(WriteFile("p.bin", Pattern(c.fileSize)), c.check, 7372800, c.expected);
    if (c.error) {
      EXPECT_EQ(user.errors, std::vector<std::string>{c.error});
      EXPECT_EQ(device.eraseCount, 0);
      EXPECT_TRUE(device.loaderMemory[240].empty());
    } else {
      EXPECT_TRUE(user.errors.empty());
      EXPECT_EQ(device.eraseCount, 1);
    }
  }
  Reset();
  device.byTypeMcu = 2195;
  Link().LoadProgramByType(WriteFile("p.bin", Pattern(7168)), false, 7372800, 0);
  EXPECT_EQ(Programmed(240).size(), 112u);
}

TEST_F(Loaders, ByTypeShortFileErasesAndFinishes) {
  uint64_t start = clock.NowMs();
  Link().LoadProgramByType(WriteFile("p.bin", Pattern(200)), true, 7372800, 663);
  std::vector<uint8_t> commands;
  for (const Bytes& f : device.received) commands.push_back(f[4]);
  EXPECT_EQ(commands, (std::vector<uint8_t>{1, 2, 6}));
  EXPECT_EQ(device.received[1], sim::MakeFrame(240, 1, 2, {}));
  EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
  EXPECT_GE(clock.NowMs() - start, 1000u);  // the pause after erasing
  EXPECT_EQ(user.progress->labels,
            (std::vector<std::string>{msg::SwitchOnDevice, msg::DetectingMcuType, msg::ErasingDevice,
                                      msg::LoadingProgram}));
}

TEST_F(Loaders, ByTypePageAddressesAreWordAndByte) {
  Bytes file = Pattern(257 * 256);
  Link().LoadProgramByType(WriteFile("p.bin", file), false, 7372800, 0);
  std::vector<uint32_t> addresses = Programmed(240);
  ASSERT_EQ(addresses.size(), 257u);
  EXPECT_EQ(addresses.front(), 0u);
  EXPECT_EQ(addresses.back(), 65536u);
  EXPECT_EQ(device.loaderMemory[240][65536], Bytes(file.end() - 256, file.end()));
  Bytes last;
  for (const Bytes& f : device.received)
    if (f[4] == 20) last = f;
  EXPECT_EQ(last, sim::MakeFrame(240, 1, 20, {0, 0, 1}));
}

TEST_F(Loaders, KeepHeadSkipsTheSecondPageAndSendsTheDeviceHead) {
  Bytes file = Pattern(4608);
  std::string path = WriteFile("p.bin", file);
  OpenLink();
  Link().LoadProgramKeepHead(path);
  EXPECT_EQ(Programmed(241), (std::vector<uint32_t>{0, 2048}));
  Bytes first = device.loaderMemory[241][0];
  EXPECT_EQ(Bytes(first.begin(), first.begin() + 6), Bytes(device.head.begin(), device.head.end()));
  EXPECT_EQ(Bytes(first.begin() + 6, first.end()), Bytes(file.begin() + 6, file.begin() + 1536));
  EXPECT_EQ(device.loaderMemory[241][2048], Bytes(file.begin() + 3072, file.end()));
  EXPECT_EQ(user.progress->values, (std::vector<int>{33, 100}));
  EXPECT_EQ(ReadFile(path), file);  // the file itself is untouched
  EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
}

TEST_F(Loaders, FirmwareImagePagesGoAboveBit31) {
  Bytes image = RomImage(3 * 4096, 0);
  Link().LoadFirmwareImage(WriteFile("fw.rom", image));
  EXPECT_EQ(Programmed(252), (std::vector<uint32_t>{0x80000000, 0x80001000, 0x80002000}));
  EXPECT_EQ(device.loaderMemory[252][0x80002000], Bytes(image.begin() + 8192, image.end()));
  EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
  EXPECT_FALSE(user.progress->cancelVisible);
  EXPECT_TRUE(Link().IsOpen());  // reopened after the pause
}

TEST_F(Loaders, FirmwareImageStatusAndResult) {
  struct Case {
    uint8_t status, result;
    const char* error;
  } cases[] = {{0, 4, msg::LowPower2},    {1, 0, msg::LowPower1}, {2, 4, msg::EraseFailed},
               {0, 3, msg::WriteFailed},   {0, 1, msg::AddressError1}, {0, 9, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.status) << "/" << int(c.result));
    Reset();
    for (int attempt = 1; attempt <= 3; ++attempt) device.pageOutcomes[{0x80000000, attempt}] = {c.status, c.result};
    Link().LoadFirmwareImage(WriteFile("fw.rom", RomImage(4096, 0)));
    if (c.error) {
      EXPECT_EQ(user.errors, std::vector<std::string>{c.error});
      EXPECT_EQ(device.finishCount, 0);
    } else {
      EXPECT_EQ(user.infos, std::vector<std::string>{msg::UploadDone});
    }
  }
}

TEST_F(Loaders, FirmwareImageVersionMismatchOrShortFileWritesNothing) {
  for (const Bytes& image : {RomImage(4096, 0, 0x2A, 0x0203), Bytes{0x2A, 0x03, 0x01}}) {
    Reset();
    Link().LoadFirmwareImage(WriteFile("fw.rom", image));
    EXPECT_EQ(user.errors, std::vector<std::string>{msg::WrongFirmwareVersion});
    EXPECT_TRUE(device.loaderMemory[252].empty());
  }
}

TEST_F(Loaders, CancelWhileConnectingRestoresRateAndTimeoutSilently) {
  std::string file = WriteFile("p.bin", RomImage(4096, 0));
  std::function<void()> runs[] = {
      [&] { Link().LoadProgramByType(file, false, 7372800, 0); },
      [&] { Link().LoadProgramKeepHead(file); },
      [&] { Link().LoadFirmwareImage(file); },
  };
  for (auto& run : runs) {
    Reset();
    device.silentFirst = 1000000;
    OpenLink().SetBaudRate(57600);
    Link().ReplyTimeout = 1234;
    pump.count = 0;
    pump.onPump = [&](int n) {
      if (n == 30) user.progress->PressCancel();
    };
    run();
    EXPECT_TRUE(user.errors.empty());
    EXPECT_TRUE(user.infos.empty());
    EXPECT_FALSE(user.progress->open);
    EXPECT_EQ(Link().BaudRate, 57600u);
    EXPECT_EQ(Link().ReplyTimeout, 1234);
  }
}

TEST_F(Loaders, MissingOrEmptyFileName) {
  std::string missing = dir.File("none.bin");
  OpenLink();
  Link().LoadProgramKeepHead(missing);
  Link().LoadFirmwareImage(missing);
  Link().LoadProgramByType(missing, false, 7372800, 0);
  std::string text = "Не могу найти файл " + missing + ".";
  EXPECT_EQ(user.errors, (std::vector<std::string>{text, text, text}));
  EXPECT_EQ(Link().BaudRate, 115200u);
  user.errors.clear();
  Link().LoadProgramKeepHead("");
  Link().LoadFirmwareImage("");
  Link().LoadProgramByType("", false, 7372800, 0);
  EXPECT_TRUE(user.errors.empty());
  EXPECT_TRUE(device.received.empty());
  EXPECT_EQ(Link().BaudRate, 115200u);
}

}  // namespace
}  // namespace velboot::test
