#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/DeviceModel.h"

namespace velboot::sim {

// Runs the device model on the master side of a pseudo-terminal, in real time. With a baud
// rate set, a reply is not released before the request and the reply would have crossed a real
// line (11 bits per byte).
class PtyLine {
 public:
  PtyLine(DeviceModel& device, uint32_t baudRate);
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  // The device path the loader opens; empty when no pseudo-terminal could be made.
  const std::string& Path() const { return path_; }
  // Serves the line until `stop` becomes true or, with exitAfterFinish, the upload has finished
  // and its reply is out.
  void Run(volatile const int& stop, bool exitAfterFinish);

 private:
  struct Pending {
    int64_t releaseNs;
    std::vector<uint8_t> bytes;
  };
  void ReadRequests(int64_t now);
  void WriteDue(int64_t now);
  int64_t LineTimeNs(size_t bytes) const;

  DeviceModel& device_;
  uint32_t baudRate_;
  int master_ = -1;
  int slave_ = -1;  // kept open so the line survives the loader closing its end
  std::string path_;
  std::deque<Pending> pending_;
  int64_t frameStartNs_ = 0;
  int64_t lastByteNs_ = 0;
  int64_t lineFreeNs_ = 0;
};

// The device's state as text: finish count, commits, settings, programmed pages, frames.
std::string DumpState(const DeviceModel& device);

}  // namespace velboot::sim
