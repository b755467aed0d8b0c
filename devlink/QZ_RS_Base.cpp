#include "devlink/QZ_RS_Base.h"

#include <vector>

#include "devlink/IniFile.h"
#include "devlink/Messages.h"
#include "devlink/PrivGate.h"
#include "devlink/UserInteraction.h"

namespace velboot {
namespace {

constexpr const char* kPortKey = "Port";
constexpr uint8_t kDefaultByteSize = 8;
constexpr uint8_t kNoParity = 0;
constexpr uint8_t kTwoStopBits = 2;

}  // namespace

TQZ_RS_Base::TQZ_RS_Base(const LinkEnvironment& env, MenuEntry* menuParent, MenuEntry* menuParent2)
    : TQZBaseInterface(menuParent, menuParent2), env_(env) {
  if (!ScanPorts()) {
    env_.ui.ShowError(msg::NoFreePort);
    return;
  }
  PortNumber = FirstFreePort();
  BaudRate = kDefaultBaudRate;
  ByteSize = kDefaultByteSize;
  Parity = kNoParity;
  StopBits = kTwoStopBits;
  SectionName = "RS232Base";
}

TQZ_RS_Base::~TQZ_RS_Base() { Handle.reset(); }

bool TQZ_RS_Base::PortExists(int32_t number) { return env_.ports.Exists(number); }

bool TQZ_RS_Base::ScanPorts() {
  Handle.reset();
  env_.ports.Refresh();
  PortCount = 0;
  for (int32_t n = 1; n <= kMaxPorts; ++n) {
    PortPresent[n] = PortExists(n);
    if (PortPresent[n]) ++PortCount;
  }
  return PortCount > 0;
}

int32_t TQZ_RS_Base::FirstFreePort() const {
  for (int32_t n = 1; n <= kMaxPorts; ++n)
    if (PortPresent[n]) return n;
  return 0;
}

bool TQZ_RS_Base::Present(int32_t number) const {
  return number >= 1 && number <= kMaxPorts && PortPresent[number];
}

void TQZ_RS_Base::OpenPort(int32_t number) {
  if (number <= 0) return;
  PortNumber = Present(number) ? number : FirstFreePort();
  if (PortNumber == 0) {
    env_.ui.ShowError(msg::NoFreePort);
    return;
  }
  ClosePort();
  Handle = env_.ports.Open(PortNumber);
  if (!Handle) return;
  SetBaudRate(BaudRate);
  SetByteSize(ByteSize);
  SetParity(Parity);
  SetStopBits(StopBits);
  SetDTR();
  Handle->PurgeInput();
}

void TQZ_RS_Base::ClosePort() { Handle.reset(); }

void TQZ_RS_Base::SetActive(bool active) {
  if (active)
    OpenPort(PortNumber);
  else
    ClosePort();
}

void TQZ_RS_Base::SetBaudRate(uint32_t rate) {
  BaudRate = rate;
  if (!Handle) return;
  uint32_t effective = Handle->SetBaudRate(rate);
  if (effective != 0) BaudRate = effective;
}

void TQZ_RS_Base::SetByteSize(uint8_t value) {
  ByteSize = value;
  if (Handle) Handle->SetByteSize(value);
}

void TQZ_RS_Base::SetParity(uint8_t value) {
  Parity = value;
  if (Handle) Handle->SetParity(value);
}

void TQZ_RS_Base::SetStopBits(uint8_t value) {
  StopBits = value;
  if (Handle) Handle->SetStopBits(value);
}

void TQZ_RS_Base::SetDTR() {
  if (Handle) Handle->SetDTR(true);
}

void TQZ_RS_Base::SetRTS() {
  if (Handle) Handle->SetRTS(true);
}

void TQZ_RS_Base::ClearRTS() {
  if (Handle) Handle->SetRTS(false);
}

void TQZ_RS_Base::ClearInput() {
  if (Handle) Handle->PurgeInput();
}

void TQZ_RS_Base::ClearOutput() {
  if (Handle) Handle->PurgeOutput();
}

void TQZ_RS_Base::LoadSettings(IniFile& ini) {
  TQZBaseInterface::LoadSettings(ini);
  OpenPort(ini.ReadInteger(SectionName, kPortKey, PortNumber));
}

void TQZ_RS_Base::SaveSettings(IniFile& ini) {
  TQZBaseInterface::SaveSettings(ini);
  ini.WriteInteger(SectionName, kPortKey, PortNumber);
}

void TQZ_RS_Base::SelectPort() {
  if (!RequirePrivilege(env_.ui)) return;
  ClosePort();
  if (!ScanPorts()) {
    env_.ui.ShowError(msg::NoFreePort);
    return;
  }
  std::vector<PortChoice> choices;
  for (int32_t n = 1; n <= kMaxPorts; ++n)
    if (PortPresent[n]) choices.push_back({n, DescribePort(n)});
  std::optional<int> chosen = env_.ui.ChoosePort(choices, PortNumber);
  // OK with nothing selected keeps the number, as Cancel does.
  if (chosen && Present(*chosen)) PortNumber = *chosen;
  SetActive(false);
  OpenPort(PortNumber);
}

void TQZ_RS_Base::SelectBaudRate() {
  if (!RequirePrivilege(env_.ui)) return;
  std::optional<uint32_t> rate = env_.ui.ChooseBaudRate(BaudRate);
  if (!rate) return;
  uint32_t old = BaudRate;
  SetBaudRate(*rate);
  if (BaudRate != *rate) {
    SetBaudRate(old);
    env_.ui.ShowError(msg::CannotSetBaudRate);
  }
}

}  // namespace velboot
