#pragma once
#include <cstdint>

namespace velboot {

// Monotonic milliseconds and a sleep. Deadlines are computed once against NowMs().
class Clock {
 public:
  virtual ~Clock() = default;
  virtual uint64_t NowMs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

class RealClock final : public Clock {
 public:
  uint64_t NowMs() override;
  void SleepMs(uint32_t ms) override;
};

// Time that moves only when the code sleeps or a simulated read waits: exact and instant.
class VirtualClock final : public Clock {
 public:
  explicit VirtualClock(uint64_t start = 1000) : now_(start) {}
  uint64_t NowMs() override { return now_; }
  void SleepMs(uint32_t ms) override { now_ += ms; }
  void AdvanceTo(uint64_t t) {
    if (t > now_) now_ = t;
  }

 private:
  uint64_t now_;
};

}  // namespace velboot
