#include "sim/PtyLine.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace velboot::sim {
namespace {

constexpr int64_t kNsPerMs = 1000000;
constexpr int64_t kNsPerSecond = 1000000000;
constexpr int kBitsPerByte = 11;  // start, 8 data, 2 stop
// A frame whose bytes stop coming for this long is forgotten, as a device's receiver does.
constexpr int64_t kFrameGapNs = 100 * kNsPerMs;
constexpr int64_t kIdlePollNs = 50 * kNsPerMs;
constexpr int64_t kSpinNs = 500 * 1000;

int64_t NowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec * kNsPerSecond + ts.tv_nsec;
}

std::string Hex(const uint8_t* data, size_t size) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (size_t i = 0; i < size; ++i) {
    text.push_back(digits[data[i] >> 4]);
    text.push_back(digits[data[i] & 15]);
  }
  return text;
}

}  // namespace

PtyLine::PtyLine(DeviceModel& device, uint32_t baudRate) : device_(device), baudRate_(baudRate) {
  master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
  const char* name = ::ptsname(master_);
  if (name == nullptr) return;
  slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave_ < 0) return;
  termios tio{};
  ::tcgetattr(slave_, &tio);
  ::cfmakeraw(&tio);
  ::tcsetattr(slave_, TCSANOW, &tio);
  path_ = name;
}

PtyLine::~PtyLine() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

int64_t PtyLine::LineTimeNs(size_t bytes) const {
  if (baudRate_ == 0) return 0;
  return static_cast<int64_t>(bytes) * kBitsPerByte * kNsPerSecond / baudRate_;
}

void PtyLine::ReadRequests(int64_t now) {
  uint8_t buffer[4096];
  for (;;) {
    ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) return;
    if (device_.PartialBytes() > 0 && now - lastByteNs_ > kFrameGapNs) device_.ResetInput();
    if (device_.PartialBytes() == 0) frameStartNs_ = now;
    lastByteNs_ = now;
    size_t requestBytes = device_.PartialBytes() + static_cast<size_t>(n);
    for (Reply& reply : device_.Feed(buffer, static_cast<size_t>(n))) {
      // The request must have crossed the line, then the device thinks, then the reply crosses.
      int64_t start = std::max(frameStartNs_ + LineTimeNs(requestBytes) + reply.delayMs * kNsPerMs,
                               lineFreeNs_);
      int64_t release = start + LineTimeNs(reply.bytes.size());
      lineFreeNs_ = release;
      pending_.push_back({release, std::move(reply.bytes)});
    }
  }
}

void PtyLine::WriteDue(int64_t now) {
  while (!pending_.empty() && pending_.front().releaseNs <= now) {
    std::vector<uint8_t>& bytes = pending_.front().bytes;
    ssize_t n = ::write(master_, bytes.data(), bytes.size());
    if (n < 0) return;  // the line is full; try again on the next round
    bytes.erase(bytes.begin(), bytes.begin() + n);
    if (bytes.empty()) pending_.pop_front();
  }
}

void PtyLine::Run(volatile const int& stop, bool exitAfterFinish) {
  // Replies are timed to the microsecond; the default slack of 50 us would add up per exchange.
  ::prctl(PR_SET_TIMERSLACK, 1UL);
  sigset_t unblocked;
  ::sigemptyset(&unblocked);
  while (!stop) {
    if (exitAfterFinish && device_.finishCount > 0 && pending_.empty()) return;
    int64_t now = NowNs();
    if (!pending_.empty() && pending_.front().releaseNs - now < kSpinNs) {
      // Waking from sleep takes longer than this; the last stretch is timed by the clock.
      while (NowNs() < pending_.front().releaseNs) {
      }
      now = NowNs();
    }
    int64_t wait = pending_.empty() ? kIdlePollNs
                                    : std::max<int64_t>(pending_.front().releaseNs - now - kSpinNs, 0);
    timespec timeout{wait / kNsPerSecond, wait % kNsPerSecond};
    pollfd p{master_, POLLIN, 0};
    int ready = ::ppoll(&p, 1, &timeout, &unblocked);
    now = NowNs();
    if (ready > 0 && (p.revents & POLLIN)) ReadRequests(now);
    WriteDue(now);
  }
}

std::string DumpState(const DeviceModel& device) {
  std::string text;
  text += "finish-count " + std::to_string(device.finishCount) + "\n";
  for (const Commit& c : device.commits)
    text += "commit " + std::to_string(c.first) + " " + std::to_string(c.second) + "\n";
  text += "settings " + Hex(device.settings.data(), device.settings.size()) + "\n";
  for (const auto& [address, page] : device.memory) {
    char head[32];
    std::snprintf(head, sizeof head, "page %08x ", address);
    text += head + Hex(page.data(), page.size()) + "\n";
  }
  for (const auto& [bootloader, pages] : device.loaderMemory) {
    for (const auto& [address, page] : pages) {
      char head[48];
      std::snprintf(head, sizeof head, "loader-page %u %08x ", bootloader, address);
      text += head + Hex(page.data(), page.size()) + "\n";
    }
  }
  text += "erase-count " + std::to_string(device.eraseCount) + "\n";
  for (const auto& frame : device.received) text += "frame " + Hex(frame.data(), frame.size()) + "\n";
  return text;
}

}  // namespace velboot::sim
