#pragma once
#include <memory>
#include <string>
#include <vector>

#include "devlink/Port.h"

namespace velboot {

// Opens a serial device exclusively in raw 8-bit mode; nullptr when it cannot be opened or is
// not a terminal. The reason is left in `error` when given.
std::unique_ptr<SerialPort> OpenPosixPort(const std::string& path, std::string* error = nullptr);

// The port table: COM n is entry n - 1.
class PosixPortBackend final : public PortBackend {
 public:
  // The table of VELBOOT_PORTS when it is set, else the ports the system lists.
  PosixPortBackend();
  // A fixed table, for a device path given on the command line.
  explicit PosixPortBackend(std::vector<PortInfo> table);

  void Refresh() override;
  bool Exists(int number) override;
  PortInfo Describe(int number) override;
  std::unique_ptr<SerialPort> Open(int number) override;
  const std::vector<PortInfo>& Table() const { return table_; }

 private:
  bool fixed_;
  std::vector<PortInfo> table_;
};

// Device paths separated by ':', at most 32; empty entries are skipped.
std::vector<PortInfo> PortTableFromList(const std::string& list);
// The system's serial ports in a stable order: by kind (ttyS, ttyUSB, ttyACM, others), then number.
std::vector<PortInfo> ListSystemPorts();
// The table in force: VELBOOT_PORTS when set, else ListSystemPorts().
std::vector<PortInfo> CurrentPortTable();

}  // namespace velboot
