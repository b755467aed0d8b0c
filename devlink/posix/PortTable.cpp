#include <libserialport.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "devlink/posix/PosixPort.h"

namespace velboot {
namespace {

constexpr const char* kPortsVariable = "VELBOOT_PORTS";

// Sort key: kind of device, then its number, then the path.
std::tuple<int, long, std::string> OrderOf(const std::string& path) {
  static const char* const kinds[] = {"/dev/ttyS", "/dev/ttyUSB", "/dev/ttyACM"};
  int kind = 3;
  std::string rest = path;
  for (int i = 0; i < 3; ++i) {
    std::string prefix = kinds[i];
    if (path.compare(0, prefix.size(), prefix) == 0 && path.size() > prefix.size() &&
        std::all_of(path.begin() + prefix.size(), path.end(), ::isdigit)) {
      kind = i;
      rest = path.substr(prefix.size());
      break;
    }
  }
  long number = kind < 3 ? std::strtol(rest.c_str(), nullptr, 10) : 0;
  return {kind, number, path};
}

std::string DescriptionOf(sp_port* port) {
  std::string text;
  if (const char* d = sp_get_port_description(port)) text = d;
  int vid = 0, pid = 0;
  if (sp_get_port_transport(port) == SP_TRANSPORT_USB &&
      sp_get_port_usb_vid_pid(port, &vid, &pid) == SP_OK) {
    char ids[16];
    std::snprintf(ids, sizeof ids, " [%04x:%04x]", vid, pid);
    text += ids;
  }
  return text;
}

std::string DescriptionOfPath(const std::string& path) {
  sp_port* port = nullptr;
  if (sp_get_port_by_name(path.c_str(), &port) != SP_OK) return {};
  std::string text = DescriptionOf(port);
  sp_free_port(port);
  return text;
}

}  // namespace

std::vector<PortInfo> PortTableFromList(const std::string& list) {
  std::vector<PortInfo> table;
  size_t start = 0;
  while (start <= list.size() && table.size() < PortBackend::kMaxPorts) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) table.push_back({list.substr(start, end - start), {}});
    start = end + 1;
  }
  return table;
}

std::vector<PortInfo> ListSystemPorts() {
  std::vector<PortInfo> table;
  sp_port** ports = nullptr;
  if (sp_list_ports(&ports) != SP_OK) return table;
  for (sp_port** p = ports; *p != nullptr; ++p) table.push_back({sp_get_port_name(*p), DescriptionOf(*p)});
  sp_free_port_list(ports);
  std::sort(table.begin(), table.end(),
            [](const PortInfo& a, const PortInfo& b) { return OrderOf(a.path) < OrderOf(b.path); });
  if (table.size() > PortBackend::kMaxPorts) table.resize(PortBackend::kMaxPorts);
  return table;
}

std::vector<PortInfo> CurrentPortTable() {
  const char* list = std::getenv(kPortsVariable);
  if (list == nullptr) return ListSystemPorts();
  std::vector<PortInfo> table = PortTableFromList(list);
  for (PortInfo& info : table) info.description = DescriptionOfPath(info.path);
  return table;
}

PosixPortBackend::PosixPortBackend() : fixed_(false), table_(CurrentPortTable()) {}

PosixPortBackend::PosixPortBackend(std::vector<PortInfo> table)
    : fixed_(true), table_(std::move(table)) {}

void PosixPortBackend::Refresh() {
  if (!fixed_) table_ = CurrentPortTable();
}

bool PosixPortBackend::Exists(int number) {
  if (number < 1 || number > static_cast<int>(table_.size())) return false;
  struct stat st {};
  return ::stat(table_[number - 1].path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

PortInfo PosixPortBackend::Describe(int number) {
  if (number < 1 || number > static_cast<int>(table_.size())) return {};
  return table_[number - 1];
}

std::unique_ptr<SerialPort> PosixPortBackend::Open(int number) {
  if (number < 1 || number > static_cast<int>(table_.size())) return nullptr;
  return OpenPosixPort(table_[number - 1].path);
}

}  // namespace velboot
