#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "devlink/Clock.h"
#include "devlink/Port.h"
#include "sim/DeviceModel.h"

namespace velboot::sim {

// Something that happened on the simulated line, with its virtual time.
struct LineEvent {
  enum Kind { Open, Close, Baud, Dtr, Rts, PurgeInput, PurgeOutput, Write };
  Kind kind;
  uint64_t timeMs;
  uint32_t value = 0;  // rate, line level, or bytes written
};

// A port back end whose ports lead to an in-process device model, on a virtual clock: a reply
// becomes readable when its delay has passed, and a read that waits moves the clock.
class SimLine final : public PortBackend {
 public:
  SimLine(VirtualClock& clock, DeviceModel* device, std::set<int> present = {1});

  bool Exists(int number) override { return present.count(number) != 0; }
  PortInfo Describe(int number) override;
  std::unique_ptr<SerialPort> Open(int number) override;

  // Line settings.
  std::set<int> present;
  std::set<int> unopenable;                    // present, but the open fails
  bool echo = false;                           // the line returns every request (RS-485)
  std::function<bool(uint32_t)> acceptsRate;   // the driver refuses rates for which it is false
  // Byte sequences the line delivers after a write instead of asking the device.
  std::deque<std::vector<uint8_t>> scriptedReplies;

  // Record.
  std::vector<LineEvent> events;
  std::vector<std::vector<uint8_t>> writes;
  int openPorts = 0;
  bool rtsHigh = false;
  uint32_t baudRate = 0;

 private:
  friend class SimPort;
  void Deliver(const uint8_t* data, size_t size);
  bool Take(uint8_t& byte, uint32_t timeoutMs);
  void Record(LineEvent::Kind kind, uint32_t value = 0) {
    events.push_back({kind, clock_.NowMs(), value});
  }

  struct Incoming {
    uint64_t atMs;
    uint8_t byte;
  };
  VirtualClock& clock_;
  DeviceModel* device_;
  std::deque<Incoming> incoming_;
};

}  // namespace velboot::sim
