// The exchange buffer: staging, sealing, checking and reading frames.
#include <gtest/gtest.h>

#include <vector>

#include "devlink/Exception.h"
#include "devlink/Messages.h"
#include "tests/support/LinkFixture.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Staged(const TQZ_RS& link, int32_t count) {
  return Bytes(link.RequestArea(), link.RequestArea() + count);
}

class ExchangeBuffer : public LinkFixture {};

TEST_F(ExchangeBuffer, PutAppendsLeastSignificantFirst) {
  struct Case {
    const char* name;
    void (*put)(TQZ_RS&);
    Bytes bytes;
  } cases[] = {
      {"PutByte", [](TQZ_RS& l) { l.PutByte(0xAB); }, {0xAB}},
      {"PutWord", [](TQZ_RS& l) { l.PutWord(0x1234); }, {0x34, 0x12}},
      {"PutLong", [](TQZ_RS& l) { l.PutLong(0x12345678); }, {0x78, 0x56, 0x34, 0x12}},
      {"PutSingle", [](TQZ_RS& l) { l.PutSingle(1.0f); }, {0x00, 0x00, 0x80, 0x3F}},
      {"PutChar", [](TQZ_RS& l) { l.PutChar('A'); }, {0x41}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Link().BeginFrame();
    c.put(Link());
    EXPECT_EQ(Link().SendLen, 1 + static_cast<int32_t>(c.bytes.size()));
    EXPECT_EQ(Bytes(Link().RequestArea() + 1, Link().RequestArea() + Link().SendLen), c.bytes);
  }
}

TEST_F(ExchangeBuffer, SealWritesLengthAndChecksum) {
  Link().BeginFrame();
  Link().SealFrame();
  EXPECT_EQ(Staged(Link(), 2), (Bytes{0x02, 0xFE}));
  EXPECT_EQ(Link().SendLen, 1);

  Link().BeginFrame();
  for (uint8_t b : {0xF4, 0x01, 0x00, 0x01}) Link().PutByte(b);
  Link().SealFrame();
  Link().SealFrame();  // sealing twice gives the same frame
  EXPECT_EQ(Staged(Link(), 6), (Bytes{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04}));
  EXPECT_EQ(Link().SendLen, 5);
}

TEST_F(ExchangeBuffer, LongestShortFrameHasLengthByteZero) {
  Link().BeginFrame();
  while (Link().SendLen < 255) Link().PutByte(0x11);
  Link().SealFrame();
  EXPECT_EQ(Link().RequestArea()[0], 0);
  unsigned sum = 0;
  for (int i = 0; i < 256; ++i) sum += Link().RequestArea()[i];
  EXPECT_EQ(sum % 256, 0u);

  Link().PutByte(0x11);  // 257 bytes cannot be told by an 8-bit length
  EXPECT_THROW(Link().SealFrame(), Exception);
}

TEST_F(ExchangeBuffer, LongLengthSealsSixteenBitLength) {
  Link().LongLength = true;
  Link().BeginRequest(244, 1);
  for (int i = 0; i < 300; ++i) Link().PutByte(0x01);
  Link().SealFrame();
  EXPECT_EQ(Link().RequestArea()[0] | Link().RequestArea()[1] << 8, Link().SendLen + 1);
  EXPECT_EQ(Link().SendLen, 306);
}

TEST_F(ExchangeBuffer, StagingPastTheRequestAreaIsRefused) {
  Link().LongLength = true;
  Link().BeginFrame();
  for (int i = 1; i < TQZ_RS::kAreaSize; ++i) Link().PutByte(0);
  try {
    Link().PutByte(0);
    FAIL() << "staged past the request area";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), msg::RequestTooLong);
  }
  EXPECT_EQ(Link().SendLen, TQZ_RS::kAreaSize);
  EXPECT_THROW(Link().PutLong(1), Exception);
  EXPECT_THROW(Link().SealFrame(), Exception);  // no room for the checksum
}

TEST_F(ExchangeBuffer, CheckReplyAcceptsSealedFrameOnly) {
  Bytes good{0x06, 0xF4, 0x01, 0x00, 0x01, 0x04};
  std::copy(good.begin(), good.end(), Link().ReplyArea());
  EXPECT_TRUE(Link().CheckReply());
  EXPECT_TRUE(Link().TQZBaseInterface::CheckReply());
  Link().ReplyArea()[5] = 0x05;
  EXPECT_FALSE(Link().CheckReply());
  EXPECT_FALSE(Link().TQZBaseInterface::CheckReply());
}

TEST_F(ExchangeBuffer, GetReadsLeastSignificantFirst) {
  Bytes reply{0x2A, 0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F};
  std::copy(reply.begin(), reply.end(), Link().ReplyArea() + 5);
  Link().ReadPos = 5;
  EXPECT_EQ(Link().GetByte(), 0x2A);
  EXPECT_EQ(Link().GetWord(), 0x1234);
  EXPECT_EQ(Link().GetLong(), 0x12345678u);
  EXPECT_EQ(Link().ReadPos, 12);
  EXPECT_EQ(Link().GetSingle(), 1.0f);
}

TEST_F(ExchangeBuffer, ReadingPastTheReplyAreaIsRefused) {
  Link().ReadPos = TQZ_RS::kAreaSize - 2;
  EXPECT_NO_THROW(Link().GetWord());
  EXPECT_THROW(Link().GetByte(), Exception);
  Link().ReadPos = TQZ_RS::kAreaSize - 7;
  EXPECT_THROW(Link().GetDouble(), Exception);
  EXPECT_EQ(Link().ReadPos, TQZ_RS::kAreaSize - 7);
}

TEST_F(ExchangeBuffer, GetStringStopsAtZeroOrAtTheEndOfTheArea) {
  Bytes payload{0x41, 0x42, 0x00, 0x43};
  std::copy(payload.begin(), payload.end(), Link().ReplyArea() + 5);
  Link().ReadPos = 5;
  std::string s = "old";
  Link().GetString(s);
  EXPECT_EQ(s, "AB");
  EXPECT_EQ(Link().GetByte(), 0x43);

  std::fill(Link().ReplyArea(), Link().ReplyArea() + TQZ_RS::kAreaSize, 'x');
  Link().ReadPos = TQZ_RS::kAreaSize - 3;
  Link().GetString(s);
  EXPECT_EQ(s, "xxx");
  EXPECT_EQ(Link().ReadPos, TQZ_RS::kAreaSize);
}

class CountingDevice : public TQZ_RS {
 public:
  using TQZ_RS::TQZ_RS;
  void StateChanged() override { ++changes; }
  int changes = 0;
};

TEST_F(ExchangeBuffer, SwitchingCallsStateChangedEachTime) {
  CountingDevice device(env);
  device.SwitchOn();
  EXPECT_TRUE(device.SwitchedOn);
  device.SwitchOff();
  EXPECT_FALSE(device.SwitchedOn);
  EXPECT_EQ(device.changes, 2);
}

TEST_F(ExchangeBuffer, NoMenuWithoutParents) {
  EXPECT_EQ(Link().AddMenuItem("x", "(None)", nullptr, 0), nullptr);
  EXPECT_EQ(Link().MenuItem, nullptr);
  EXPECT_EQ(Link().SectionName, "RS232");
  EXPECT_EQ(Link().Caption, "RS232");
}

// A menu of the host window that writes down what the device puts into it.
class FakeMenu : public MenuEntry {
 public:
  explicit FakeMenu(std::string caption) : caption(std::move(caption)) {}
  MenuEntry* AddItem(const std::string& text) override {
    items.push_back(std::make_unique<FakeMenu>(text));
    return items.back().get();
  }
  void SetShortcut(const std::string& text) override { shortcut = text; }
  void SetHelpContext(int32_t context) override { help = context; }
  void SetOnClick(std::function<void()> handler) override { onClick = std::move(handler); }

  std::string caption, shortcut;
  int32_t help = 0;
  std::function<void()> onClick;
  std::vector<std::unique_ptr<FakeMenu>> items;
};

TEST_F(ExchangeBuffer, WithAParentMenuThePortEntryOpensThePortDialog) {
  FakeMenu parent("Settings");
  FakeMenu second("Other");
  TQZ_RS device(env, &parent, &second);
  ASSERT_EQ(parent.items.size(), 1u);
  EXPECT_TRUE(second.items.empty());  // only the first parent gets an item
  FakeMenu& own = *parent.items[0];
  EXPECT_EQ(own.caption, "RS232");
  ASSERT_EQ(own.items.size(), 1u);
  FakeMenu& port = *own.items[0];
  EXPECT_EQ(port.caption, "Номер СОМ-порта");
  EXPECT_EQ(port.shortcut, "(None)");
  EXPECT_EQ(port.help, 10000);
  ASSERT_TRUE(port.onClick);
  user.passwordEntry = "";
  port.onClick();  // not privileged: the password is asked first
  EXPECT_EQ(user.passwordAsked, 1);
}

}  // namespace
}  // namespace velboot::test
