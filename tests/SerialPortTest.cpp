// The serial-port layer on the simulated line: presence, opening, settings and the INI file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "devlink/IniFile.h"
#include "devlink/Messages.h"
#include "devlink/PrivGate.h"
#include "tests/support/LinkFixture.h"
#include "tests/support/TempDir.h"

namespace velboot::test {
namespace {

class SerialPortLayer : public LinkFixture {
 protected:
  std::unique_ptr<TQZ_RS> LinkWithPorts(std::set<int> ports) {
    line.present = std::move(ports);
    return std::make_unique<TQZ_RS>(env);
  }
  IniFile Ini(const std::string& content) {
    std::string path = dir.File("velboot.ini");
    std::ofstream(path, std::ios::binary) << content;
    return IniFile(path);
  }
  TempDir dir;
};

TEST_F(SerialPortLayer, DefaultsAfterConstruction) {
  auto link = LinkWithPorts({3, 4, 9});
  EXPECT_EQ(link->PortCount, 3);
  EXPECT_EQ(link->PortNumber, 3);
  EXPECT_EQ(link->BaudRate, 115200u);
  EXPECT_EQ(link->ByteSize, 8);
  EXPECT_EQ(link->Parity, 0);
  EXPECT_EQ(link->StopBits, 2);
  EXPECT_FALSE(link->IsOpen());
  EXPECT_TRUE(user.errors.empty());
}

TEST_F(SerialPortLayer, NoPortAtAll) {
  auto link = LinkWithPorts({});
  EXPECT_EQ(user.errors, std::vector<std::string>{msg::NoFreePort});
  EXPECT_EQ(link->PortNumber, 0);
  link->SetActive(true);  // quietly does nothing
  EXPECT_FALSE(link->IsOpen());
  EXPECT_EQ(user.errors.size(), 1u);

  IniFile empty = Ini(" \r\n");
  link->LoadSettings(empty);  // OpenPort(0): nothing more
  EXPECT_EQ(user.errors.size(), 1u);
  IniFile stored = Ini("[RS232]\r\nPort=2\r\n");
  link->LoadSettings(stored);
  EXPECT_EQ(user.errors.size(), 2u);
  EXPECT_EQ(link->PortNumber, 0);
}

TEST_F(SerialPortLayer, LoadSettingsOpensTheStoredPortOrFallsBack) {
  struct Case {
    const char* ini;
    int32_t port;
    bool open;
  } cases[] = {
      {" \r\n", 1, true},                          // no section: lowest present port
      {"[RS232]\r\nOther=4\r\n", 1, true},         // no key
      {"[RS232]\r\nPort=4\r\n", 4, true},
      {"[rs232]\r\nport = 4\r\n", 4, true},        // names match without regard to case
      {"[RS232]\r\nPort=2\r\n", 1, true},          // stored port absent
      {"[RS232]\r\nPort=77\r\n", 1, true},         // beyond the table: absent
      {"[RS232]\r\nPort=abc\r\n", 1, true},        // not a number: the current port
      {"[RS232]\r\nPort=0\r\n", 1, false},         // 0 opens nothing
      {"[RS232]\r\nPort=-3\r\n", 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    auto link = LinkWithPorts({1, 4});
    IniFile ini = Ini(c.ini);
    link->LoadSettings(ini);
    EXPECT_EQ(link->PortNumber, c.port);
    EXPECT_EQ(link->IsOpen(), c.open);
  }
  EXPECT_TRUE(user.errors.empty());
}

TEST_F(SerialPortLayer, SaveSettingsKeepsOtherLines) {
  auto link = LinkWithPorts({1, 4});
  IniFile ini = Ini(" \r\n[MainWindow]\r\nState=0\r\n");
  link->LoadSettings(ini);
  link->PortNumber = 4;
  link->SaveSettings(ini);
  std::ifstream in(dir.File("velboot.ini"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text, " \r\n[MainWindow]\r\nState=0\r\n[RS232]\r\nPort=4\r\n");
}

TEST_F(SerialPortLayer, OpenPortWithNoNumberChangesNothing) {
  auto link = LinkWithPorts({1, 2});
  link->OpenPort(2);
  ASSERT_TRUE(link->IsOpen());
  size_t events = line.events.size();
  link->OpenPort(0);
  link->OpenPort(-3);
  EXPECT_TRUE(link->IsOpen());
  EXPECT_EQ(link->PortNumber, 2);
  EXPECT_EQ(line.events.size(), events);
}

TEST_F(SerialPortLayer, ReopeningRaisesDtrAndPurgesAgain) {
  auto link = LinkWithPorts({1});
  link->OpenPort(1);
  line.events.clear();
  link->OpenPort(1);
  std::vector<sim::LineEvent::Kind> kinds;
  for (const auto& e : line.events) kinds.push_back(e.kind);
  using K = sim::LineEvent::Kind;
  EXPECT_EQ(kinds, (std::vector<K>{K::Close, K::Open, K::Baud, K::Dtr, K::PurgeInput}));
  EXPECT_EQ(line.openPorts, 1);
}

TEST_F(SerialPortLayer, UnopenablePortStaysClosedQuietly) {
  line.unopenable = {1};
  Link().SetActive(true);
  EXPECT_FALSE(Link().IsOpen());
  EXPECT_TRUE(user.errors.empty());
}

TEST_F(SerialPortLayer, BaudRateIsStoredOnAClosedPortAndReadBackOnAnOpenOne) {
  Link().SetBaudRate(57600);
  EXPECT_EQ(Link().BaudRate, 57600u);
  Link().SetActive(true);
  EXPECT_EQ(line.baudRate, 57600u);

  line.acceptsRate = [](uint32_t rate) { return rate <= 460800; };
  Link().SetBaudRate(921600);
  EXPECT_EQ(Link().BaudRate, 57600u);  // the driver kept the old rate
}

TEST_F(SerialPortLayer, ScanClosesTheOpenPortAndFindsItPresent) {
  OpenLink();
  EXPECT_TRUE(Link().ScanPorts());
  EXPECT_FALSE(Link().IsOpen());
  EXPECT_TRUE(Link().PortPresent[1]);
  Link().ClosePort();  // closing a closed port is harmless
}

class PortDialog : public SerialPortLayer {
 protected:
  void SetUp() override { PrivilegedMode = true; }
  void TearDown() override { PrivilegedMode = false; }
};

TEST_F(PortDialog, ListsPresentPortsAndTakesTheChoice) {
  auto link = LinkWithPorts({2, 5, 7});
  link->OpenPort(5);
  user.portAnswer = 7;
  link->SelectPort();
  ASSERT_EQ(user.portLists.size(), 1u);
  std::vector<int> listed;
  for (const PortChoice& c : user.portLists[0]) listed.push_back(c.number);
  EXPECT_EQ(listed, (std::vector<int>{2, 5, 7}));
  EXPECT_EQ(user.portPreselected[0], 5);
  EXPECT_EQ(link->PortNumber, 7);
  EXPECT_TRUE(link->IsOpen());
}

TEST_F(PortDialog, CancelOrNoSelectionKeepsTheNumberButReopens) {
  for (std::optional<int> answer : {std::optional<int>{}, std::optional<int>{0}}) {
    auto link = LinkWithPorts({2, 5});
    link->PortNumber = 5;
    user.portAnswer = answer;
    link->SelectPort();
    EXPECT_EQ(link->PortNumber, 5);
    EXPECT_TRUE(link->IsOpen());
  }
}

TEST_F(PortDialog, RefusedRateIsUndoneWithAMessage) {
  OpenLink();
  line.acceptsRate = [](uint32_t rate) { return rate <= 460800; };
  user.rateAnswer = 921600;
  Link().SelectBaudRate();
  EXPECT_EQ(Link().BaudRate, 115200u);
  EXPECT_EQ(user.errors, std::vector<std::string>{msg::CannotSetBaudRate});
}

TEST_F(SerialPortLayer, PasswordGate) {
  struct Case {
    const char* entry;
    bool passes;
  } cases[] = {{"vlm", false}, {"", false}, {"VLMX", false}, {"VLM", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    PrivilegedMode = false;
    user.errors.clear();
    user.passwordEntry = c.entry;
    EXPECT_EQ(RequirePrivilege(user), c.passes);
    EXPECT_EQ(PrivilegedMode, c.passes);
    EXPECT_EQ(user.errors.empty(), c.passes);
    if (!c.passes) {
      EXPECT_EQ(user.errors[0], msg::WrongPassword);
    }
  }
  int asked = user.passwordAsked;
  user.portAnswer = 1;
  Link().SelectPort();  // privileged now: no second password
  EXPECT_EQ(user.passwordAsked, asked);
  PrivilegedMode = false;
  user.passwordEntry = "";
  Link().SelectPort();
  EXPECT_EQ(user.portLists.size(), 1u);  // the dialog was not shown after the wrong entry
}

}  // namespace
}  // namespace velboot::test
