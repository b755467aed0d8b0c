#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace velboot {

enum class TraceDirection { Sent, Received, Echo };

// Told of every frame on the line and of each failed attempt; the link costs nothing without one.
class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  virtual void OnFrame(TraceDirection direction, const uint8_t* data, size_t size,
                       uint64_t timeMs) = 0;
  virtual void OnAttemptFailed(int attempt, const std::string& message, uint64_t timeMs) = 0;
};

}  // namespace velboot
