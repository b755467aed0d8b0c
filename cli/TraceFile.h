#pragma once
#include <cstdio>
#include <string>

#include "devlink/Trace.h"

namespace velboot::cli {

// Every frame as hex with a millisecond time stamp and its direction: "> " sent, "< " received,
// "= " echo, "! " a failed attempt.
class TraceFile final : public LinkObserver {
 public:
  TraceFile(const std::string& path, uint64_t startMs);
  ~TraceFile() override;
  bool IsOpen() const { return file_ != nullptr; }
  void OnFrame(TraceDirection direction, const uint8_t* data, size_t size, uint64_t timeMs) override;
  void OnAttemptFailed(int attempt, const std::string& message, uint64_t timeMs) override;

 private:
  void Stamp(uint64_t timeMs, char mark);
  std::FILE* file_;
  uint64_t startMs_;
};

}  // namespace velboot::cli
