// termios2 comes from the kernel's headers, which cannot be mixed with <termios.h>; this file
// therefore talks to the tty driver through ioctl alone.
#include <asm/termbits.h>
#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "devlink/posix/PosixPort.h"

namespace velboot {
namespace {

constexpr size_t kReadChunk = 512;
// A write that the line has not taken by then is given up; the reply wait reports it.
constexpr int kWriteTimeoutMs = 2000;

class PosixSerialPort final : public SerialPort {
 public:
  explicit PosixSerialPort(int fd) : fd_(fd) {}
  ~PosixSerialPort() override {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }

  uint32_t SetBaudRate(uint32_t rate) override {
    termios2 tio{};
    if (!Get(tio)) return 0;
    tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    tio.c_ispeed = rate;
    tio.c_ospeed = rate;
    Set(tio);
    return Get(tio) ? tio.c_ospeed : 0;
  }

  void SetByteSize(uint8_t bits) override {
    static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
    if (bits < 5 || bits > 8) return;
    Change([&](termios2& tio) {
      tio.c_cflag = (tio.c_cflag & ~CSIZE) | sizes[bits - 5];
    });
  }

  void SetParity(uint8_t code) override {
    Change([&](termios2& tio) {
      tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
      switch (code) {
        case 1: tio.c_cflag |= PARENB | PARODD; break;
        case 2: tio.c_cflag |= PARENB; break;
        case 3: tio.c_cflag |= PARENB | PARODD | CMSPAR; break;
        case 4: tio.c_cflag |= PARENB | CMSPAR; break;
        default: break;
      }
    });
  }

  void SetStopBits(uint8_t code) override {
    Change([&](termios2& tio) {
      if (code == 0)
        tio.c_cflag &= ~CSTOPB;
      else
        tio.c_cflag |= CSTOPB;  // one and a half exists only with 5 data bits; two otherwise
    });
  }

  void SetDTR(bool on) override { ModemLine(TIOCM_DTR, on); }
  void SetRTS(bool on) override { ModemLine(TIOCM_RTS, on); }

  void PurgeInput() override {
    ::ioctl(fd_, TCFLSH, TCIFLUSH);
    begin_ = end_ = 0;
  }
  void PurgeOutput() override { ::ioctl(fd_, TCFLSH, TCOFLUSH); }

  ReadStatus ReadByte(uint8_t& byte, uint32_t timeoutMs) override {
    if (begin_ == end_) {
      ReadStatus status = Fill(timeoutMs);
      if (status != ReadStatus::Byte) return status;
    }
    byte = buffer_[begin_++];
    return ReadStatus::Byte;
  }

  bool Write(const uint8_t* data, size_t size) override {
    auto deadline = Clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (size > 0) {
      ssize_t n = ::write(fd_, data, size);
      if (n > 0) {
        data += n;
        size -= static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) return Fail(errno);
      int left = RemainingMs(deadline);
      if (left <= 0) return Fail(ETIMEDOUT);
      pollfd p{fd_, POLLOUT, 0};
      ::poll(&p, 1, left);
    }
    return true;
  }

  std::string LastError() const override { return error_; }

 private:
  using Clock = std::chrono::steady_clock;

  static int RemainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(left.count());
  }

  bool Get(termios2& tio) { return ::ioctl(fd_, TCGETS2, &tio) == 0; }
  void Set(const termios2& tio) { ::ioctl(fd_, TCSETS2, &tio); }
  template <typename F>
  void Change(F change) {
    termios2 tio{};
    if (!Get(tio)) return;
    change(tio);
    Set(tio);
  }

  void ModemLine(int line, bool on) { ::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line); }

  bool Fail(int error) {
    error_ = std::strerror(error);
    return false;
  }

  // Waits for input and takes all that is there. A hang-up or an error spends the wait before
  // it reports, so that a caller polling a vanished line does not spin.
  ReadStatus Fill(uint32_t timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      int ready = ::poll(&p, 1, std::max(RemainingMs(deadline), 0));
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0) return ReadStatus::Timeout;
      if (ready > 0 && (p.revents & POLLIN)) {
        ssize_t n = ::read(fd_, buffer_, kReadChunk);
        if (n > 0) {
          begin_ = 0;
          end_ = static_cast<size_t>(n);
          return ReadStatus::Byte;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        Fail(n == 0 ? EPIPE : errno);
      } else {
        Fail(ready < 0 ? errno : EPIPE);
      }
      std::this_thread::sleep_until(deadline);
      return ReadStatus::Failed;
    }
  }

  int fd_;
  uint8_t buffer_[kReadChunk];
  size_t begin_ = 0;
  size_t end_ = 0;
  std::string error_;
};

void MakeRaw(termios2& tio) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | CRTSCTS);
  tio.c_cflag |= CS8 | CREAD | CLOCAL;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
}

void RequestLowLatency(int fd) {
  serial_struct serial{};
  if (::ioctl(fd, TIOCGSERIAL, &serial) != 0) return;
  serial.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &serial);
}

}  // namespace

std::unique_ptr<SerialPort> OpenPosixPort(const std::string& path, std::string* error) {
  auto fail = [&](int code) -> std::unique_ptr<SerialPort> {
    if (error) *error = path + ": " + std::strerror(code);
    return nullptr;
  };
  int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return fail(errno);
  // The lock keeps out other programs that lock, root included; TIOCEXCL the rest.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int code = errno == EWOULDBLOCK ? EBUSY : errno;
    ::close(fd);
    return fail(code);
  }
  termios2 tio{};
  if (::ioctl(fd, TCGETS2, &tio) != 0) {
    int code = errno;
    ::close(fd);
    return fail(code);
  }
  ::ioctl(fd, TIOCEXCL);
  MakeRaw(tio);
  ::ioctl(fd, TCSETS2, &tio);
  RequestLowLatency(fd);
  return std::make_unique<PosixSerialPort>(fd);
}

}  // namespace velboot
