#pragma once
#include <gtest/gtest.h>

#include <memory>

#include "devlink/QZ_RS232.h"
#include "sim/SimLine.h"
#include "tests/support/ScriptedUser.h"

namespace velboot::test {

// A device link on the simulated line, with the device model at COM1 and a virtual clock.
class LinkFixture : public ::testing::Test {
 protected:
  LinkFixture() : line(clock, &device), env{line, clock, pump, user} {}

  TQZ_RS& Link() {
    if (!link) link = std::make_unique<TQZ_RS>(env);
    return *link;
  }
  // The link with its port open at 115200 baud, as a workflow has it.
  TQZ_RS& OpenLink() {
    TQZ_RS& l = Link();
    l.SetActive(true);
    l.SetBaudRate(115200);
    return l;
  }

  VirtualClock clock;
  sim::DeviceModel device;
  sim::SimLine line;
  ScriptedUser user;
  ScriptedPump pump;
  LinkEnvironment env;
  std::unique_ptr<TQZ_RS> link;
};

}  // namespace velboot::test
