// The POSIX back end against a pseudo-terminal pair, in real time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "devlink/Clock.h"
#include "devlink/QZ_RS232.h"
#include "devlink/posix/PosixPort.h"
#include "tests/support/ScriptedUser.h"

namespace velboot::test {
namespace {

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

class Pty : public ::testing::Test {
 protected:
  void SetUp() override {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    slave = ::ptsname(master);
  }
  void TearDown() override {
    if (master >= 0) ::close(master);
  }
  void Send(const std::string& bytes) {
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    std::this_thread::sleep_for(Ms(30));  // through the tty layer
  }
  int master = -1;
  std::string slave;
};

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

TEST_F(Pty, SecondOpenIsRefused) {
  auto first = OpenPosixPort(slave);
  ASSERT_NE(first, nullptr);
  std::string error;
  EXPECT_EQ(OpenPosixPort(slave, &error), nullptr);
  EXPECT_NE(error.find(slave), std::string::npos);
  first.reset();
  EXPECT_NE(OpenPosixPort(slave), nullptr);
}

TEST_F(Pty, AnyBaudRateIsAppliedAndReadBack) {
  auto port = OpenPosixPort(slave);
  ASSERT_NE(port, nullptr);
  for (uint32_t rate : {115200u, 250000u, 9600u, 921600u}) EXPECT_EQ(port->SetBaudRate(rate), rate);
}

TEST_F(Pty, ReadReturnsAtOnceWithDataAndAfterAboutAMillisecondWithout) {
  auto port = OpenPosixPort(slave);
  ASSERT_NE(port, nullptr);
  uint8_t byte = 0;
  auto start = SteadyClock::now();
  EXPECT_EQ(port->ReadByte(byte, 1), ReadStatus::Timeout);
  EXPECT_LT(SteadyClock::now() - start, Ms(200));  // about 1 ms, with room for a loaded machine

  Send("AB");
  EXPECT_EQ(port->ReadByte(byte, 1000), ReadStatus::Byte);
  EXPECT_EQ(byte, 'A');
  EXPECT_EQ(port->ReadByte(byte, 1000), ReadStatus::Byte);
  EXPECT_EQ(byte, 'B');

  ASSERT_TRUE(port->Write(reinterpret_cast<const uint8_t*>("xyz"), 3));
  char echo[3];
  EXPECT_EQ(::read(master, echo, 3), 3);
  EXPECT_EQ(std::string(echo, 3), "xyz");
}

TEST_F(Pty, PurgeDiscardsPendingInput) {
  auto port = OpenPosixPort(slave);
  ASSERT_NE(port, nullptr);
  Send("old");
  uint8_t byte = 0;
  ASSERT_EQ(port->ReadByte(byte, 1000), ReadStatus::Byte);  // some of it buffered inside
  Send("more");
  port->PurgeInput();
  EXPECT_EQ(port->ReadByte(byte, 20), ReadStatus::Timeout);
}

TEST_F(Pty, VanishedOtherEndFailsWithoutSpinning) {
  auto port = OpenPosixPort(slave);
  ASSERT_NE(port, nullptr);
  ::close(master);
  master = -1;
  uint8_t byte = 0;
  double cpuBefore = CpuSeconds();
  auto start = SteadyClock::now();
  int failed = 0;
  for (int i = 0; i < 100; ++i) failed += port->ReadByte(byte, 2) == ReadStatus::Failed;
  auto wall = SteadyClock::now() - start;
  EXPECT_EQ(failed, 100);
  EXPECT_GE(wall, Ms(200));
  EXPECT_LT(wall, Ms(2000));
  EXPECT_LT(CpuSeconds() - cpuBefore, 0.1);
  EXPECT_FALSE(port->LastError().empty());
}

TEST_F(Pty, PortThatCannotBeOpenedStaysClosedWithoutAMessage) {
  auto holder = OpenPosixPort(slave);
  ASSERT_NE(holder, nullptr);
  PosixPortBackend ports({{slave, ""}, {"/dev/velboot-no-such-port", ""}});
  RealClock clock;
  ScriptedPump pump;
  ScriptedUser user;
  TQZ_RS link({ports, clock, pump, user});
  EXPECT_EQ(link.PortCount, 1);
  link.SetActive(true);
  EXPECT_FALSE(link.IsOpen());
  holder.reset();
  link.SetActive(true);
  EXPECT_TRUE(link.IsOpen());
  EXPECT_TRUE(user.errors.empty());
}

TEST(PortTable, ListOfPathsGivesComNumbersInOrder) {
  auto table = PortTableFromList("/dev/a::/dev/b:");
  ASSERT_EQ(table.size(), 2u);
  EXPECT_EQ(table[0].path, "/dev/a");
  EXPECT_EQ(table[1].path, "/dev/b");
  std::string many;
  for (int i = 0; i < 40; ++i) many += "/dev/p" + std::to_string(i) + ":";
  EXPECT_EQ(PortTableFromList(many).size(), 32u);
}

}  // namespace
}  // namespace velboot::test
