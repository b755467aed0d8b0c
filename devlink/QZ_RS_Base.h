#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include "devlink/LinkEnvironment.h"
#include "devlink/Port.h"
#include "devlink/QZ_BI.h"

namespace velboot {

// The serial-port layer: which ports exist, opening one exclusively, line settings, control
// lines, queues and the port number kept in the INI file. Knows nothing of frames.
class TQZ_RS_Base : public TQZBaseInterface {
 public:
  static constexpr int32_t kMaxPorts = PortBackend::kMaxPorts;
  static constexpr uint32_t kDefaultBaudRate = 115200;

  TQZ_RS_Base(const LinkEnvironment& env, MenuEntry* menuParent, MenuEntry* menuParent2);
  ~TQZ_RS_Base() override;

  bool PortExists(int32_t number);
  bool ScanPorts();
  int32_t FirstFreePort() const;
  // True for a number of the table whose port the last scan found; never looks outside it.
  bool Present(int32_t number) const;
  void OpenPort(int32_t number);
  virtual void ClosePort();
  void SetActive(bool active);
  bool IsOpen() const { return Handle != nullptr; }

  void SetBaudRate(uint32_t rate);
  void SetByteSize(uint8_t value);
  void SetParity(uint8_t value);
  void SetStopBits(uint8_t value);
  void SetDTR();
  void SetRTS();
  void ClearRTS();
  virtual void ClearInput();
  virtual void ClearOutput();

  void LoadSettings(IniFile& ini) override;
  void SaveSettings(IniFile& ini) override;
  virtual void SelectPort();
  virtual void SelectBaudRate();

  PortInfo DescribePort(int32_t number) { return env_.ports.Describe(number); }
  const LinkEnvironment& Env() const { return env_; }

  int32_t PortCount = 0;
  std::array<bool, kMaxPorts + 1> PortPresent{};  // indexed 1..32
  std::unique_ptr<SerialPort> Handle;              // null while the port is closed
  int32_t PortNumber = 0;
  uint32_t BaudRate = 0;
  uint8_t ByteSize = 0;
  uint8_t Parity = 0;
  uint8_t StopBits = 0;

 protected:
  LinkEnvironment env_;
};

}  // namespace velboot
