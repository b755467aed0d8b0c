#include "sim/SimLine.h"

namespace velboot::sim {

class SimPort final : public SerialPort {
 public:
  explicit SimPort(SimLine& line) : line_(line) {
    ++line_.openPorts;
    line_.Record(LineEvent::Open);
  }
  ~SimPort() override {
    --line_.openPorts;
    line_.Record(LineEvent::Close);
  }

  uint32_t SetBaudRate(uint32_t rate) override {
    if (!line_.acceptsRate || line_.acceptsRate(rate)) line_.baudRate = rate;
    line_.Record(LineEvent::Baud, line_.baudRate);
    return line_.baudRate;
  }
  void SetByteSize(uint8_t) override {}
  void SetParity(uint8_t) override {}
  void SetStopBits(uint8_t) override {}
  void SetDTR(bool on) override { line_.Record(LineEvent::Dtr, on); }
  void SetRTS(bool on) override {
    line_.rtsHigh = on;
    line_.Record(LineEvent::Rts, on);
  }
  void PurgeInput() override {
    // Only what has already arrived is discarded; a reply still on its way comes later.
    while (!line_.incoming_.empty() && line_.incoming_.front().atMs <= line_.clock_.NowMs())
      line_.incoming_.pop_front();
    line_.Record(LineEvent::PurgeInput);
  }
  void PurgeOutput() override { line_.Record(LineEvent::PurgeOutput); }
  ReadStatus ReadByte(uint8_t& byte, uint32_t timeoutMs) override {
    return line_.Take(byte, timeoutMs) ? ReadStatus::Byte : ReadStatus::Timeout;
  }
  bool Write(const uint8_t* data, size_t size) override {
    line_.Record(LineEvent::Write, static_cast<uint32_t>(size));
    line_.Deliver(data, size);
    return true;
  }

 private:
  SimLine& line_;
};

SimLine::SimLine(VirtualClock& clock, DeviceModel* device, std::set<int> presentPorts)
    : present(std::move(presentPorts)), clock_(clock), device_(device) {}

PortInfo SimLine::Describe(int number) {
  return {"sim:" + std::to_string(number), "simulated device"};
}

std::unique_ptr<SerialPort> SimLine::Open(int number) {
  if (!Exists(number) || unopenable.count(number) != 0) return nullptr;
  return std::make_unique<SimPort>(*this);
}

void SimLine::Deliver(const uint8_t* data, size_t size) {
  writes.emplace_back(data, data + size);
  uint64_t now = clock_.NowMs();
  if (echo)
    for (size_t i = 0; i < size; ++i) incoming_.push_back({now, data[i]});
  if (!scriptedReplies.empty()) {
    for (uint8_t b : scriptedReplies.front()) incoming_.push_back({now, b});
    scriptedReplies.pop_front();
    return;
  }
  if (device_ == nullptr) return;
  for (const Reply& reply : device_->Feed(data, size))
    for (uint8_t b : reply.bytes) incoming_.push_back({now + reply.delayMs, b});
}

bool SimLine::Take(uint8_t& byte, uint32_t timeoutMs) {
  uint64_t now = clock_.NowMs();
  if (incoming_.empty() || incoming_.front().atMs > now + timeoutMs) {
    clock_.SleepMs(timeoutMs);
    return false;
  }
  clock_.AdvanceTo(incoming_.front().atMs);
  byte = incoming_.front().byte;
  incoming_.pop_front();
  return true;
}

}  // namespace velboot::sim
