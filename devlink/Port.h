#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace velboot {

enum class ReadStatus { Byte, Timeout, Failed };

// How a port is shown to a person next to "COMn".
struct PortInfo {
  std::string path;
  std::string description;
};

// An open serial port. Every setting call is best effort, as the protocol never checks them;
// only the baud rate is read back.
class SerialPort {
 public:
  virtual ~SerialPort() = default;
  // Applies the rate and returns the rate the driver reports in effect, 0 when it cannot tell.
  virtual uint32_t SetBaudRate(uint32_t rate) = 0;
  virtual void SetByteSize(uint8_t bits) = 0;
  // Parity code: 0 none, 1 odd, 2 even, 3 mark, 4 space.
  virtual void SetParity(uint8_t code) = 0;
  // Stop-bit code: 0 one, 1 one and a half, 2 two.
  virtual void SetStopBits(uint8_t code) = 0;
  virtual void SetDTR(bool on) = 0;
  virtual void SetRTS(bool on) = 0;
  virtual void PurgeInput() = 0;
  virtual void PurgeOutput() = 0;
  // Returns at once when a byte is waiting, else waits up to timeoutMs for one. Timeout and
  // Failed (line gone, I/O error) come back only after the wait is spent, so a caller that polls
  // a dead line never spins.
  virtual ReadStatus ReadByte(uint8_t& byte, uint32_t timeoutMs) = 0;
  virtual bool Write(const uint8_t* data, size_t size) = 0;
  // The system's text for the last Failed read or failed write, for traces and hints.
  virtual std::string LastError() const { return {}; }
};

// The ports of the machine as COM numbers 1..32.
class PortBackend {
 public:
  static constexpr int kMaxPorts = 32;
  virtual ~PortBackend() = default;
  // Refreshes the list of ports before a scan.
  virtual void Refresh() {}
  virtual bool Exists(int number) = 0;
  virtual PortInfo Describe(int number) = 0;
  // Opens the port exclusively, or returns nullptr when it cannot be opened.
  virtual std::unique_ptr<SerialPort> Open(int number) = 0;
};

}  // namespace velboot
