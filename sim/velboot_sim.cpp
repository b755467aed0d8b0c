// velboot-sim: the resident bootloader on a pseudo-terminal, for the demo, tests and training.
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "devlink/AtomicFile.h"
#include "devlink/Exception.h"
#include "sim/DeviceModel.h"
#include "sim/PtyLine.h"

namespace {

volatile int stopRequested = 0;

void OnSignal(int) { stopRequested = 1; }

void CatchStopSignals() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  sigset_t blocked;
  ::sigemptyset(&blocked);
  ::sigaddset(&blocked, SIGINT);
  ::sigaddset(&blocked, SIGTERM);
  ::sigprocmask(SIG_BLOCK, &blocked, nullptr);  // delivered only while the line waits
}

uint32_t Number(const std::string& text) {
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || value > 0xFFFFFFFFull) throw CLI::ValidationError(text + " is not a number");
  return static_cast<uint32_t>(value);
}

// ADDRESS:ATTEMPT:STATUS:RESULT
void AddPageOutcome(velboot::sim::DeviceModel& device, const std::string& spec) {
  std::vector<uint32_t> parts;
  size_t start = 0;
  for (size_t colon; (colon = spec.find(':', start)) != std::string::npos; start = colon + 1)
    parts.push_back(Number(spec.substr(start, colon - start)));
  parts.push_back(Number(spec.substr(start)));
  if (parts.size() != 4) throw CLI::ValidationError("--page-result takes ADDRESS:ATTEMPT:STATUS:RESULT");
  device.pageOutcomes[{parts[0], static_cast<int>(parts[1])}] = {static_cast<uint8_t>(parts[2]),
                                                                 static_cast<uint8_t>(parts[3])};
}

struct Options {
  std::string mcuType = "0x2A", version = "0x0103", settingsFile, link, dump;
  uint16_t byTypeMcu = 663;
  uint32_t settingsSize = 1024, settingsSeed = 0, silentFirst = 0, busyFirst = 0;
  uint32_t replyDelay = 0, programDelay = 0, baud = 0, seed = 1;
  double dropRate = 0, corruptRate = 0;
  std::vector<std::string> pageResults;
  bool exitAfterFinish = false;
  std::string makeFirmware;
  uint32_t pages = 16, baseAddress = 0x08004000;
};


void Configure(velboot::sim::DeviceModel& device, const Options& o) {
  device.mcuType = static_cast<uint8_t>(Number(o.mcuType));
  device.version = static_cast<uint16_t>(Number(o.version));
  device.byTypeMcu = o.byTypeMcu;
  device.settings = o.settingsFile.empty()
                        ? velboot::sim::DeviceModel::MakeSettingsImage(o.settingsSize,
                                                                       static_cast<uint8_t>(o.settingsSeed))
                        : velboot::ReadWholeFile(o.settingsFile, 1u << 22);
  for (const std::string& spec : o.pageResults) AddPageOutcome(device, spec);
  device.silentFirst = o.silentFirst;
  device.busyFirst = o.busyFirst;
  device.replyDelayMs = o.replyDelay;
  device.programDelayMs = o.programDelay;
  device.SetRandomFaults(o.dropRate, o.corruptRate, o.seed);
}

void AddOptions(CLI::App& app, Options& o) {
  app.add_option("--mcu-type", o.mcuType, "MCU type byte the device reports")->capture_default_str();
  app.add_option("--version", o.version, "firmware version word the device reports")->capture_default_str();
  app.add_option("--by-type-mcu", o.byTypeMcu, "MCU type word the bootloader at 240 reports")->capture_default_str();
  app.add_option("--settings-size", o.settingsSize, "size of the generated settings image")->capture_default_str();
  app.add_option("--settings-seed", o.settingsSeed, "varies the generated settings image");
  app.add_option("--settings-file", o.settingsFile, "settings image to serve, first 4 bytes its size");
  app.add_option("--page-result", o.pageResults,
                 "ADDRESS:ATTEMPT:STATUS:RESULT reply to a page program (repeatable)");
  app.add_option("--silent-first", o.silentFirst, "ignore the first N requests");
  app.add_option("--busy-first", o.busyFirst, "answer the first N requests as busy");
  app.add_option("--reply-delay", o.replyDelay, "milliseconds before every reply");
  app.add_option("--program-delay", o.programDelay, "extra milliseconds to program a page");
  app.add_option("--drop-rate", o.dropRate, "share of replies dropped (0..1)");
  app.add_option("--corrupt-rate", o.corruptRate, "share of replies with one byte changed (0..1)");
  app.add_option("--seed", o.seed, "seed of the random faults");
  app.add_option("--baud", o.baud, "emulate a line of this rate (11 bits per byte)");
  app.add_option("--link", o.link, "make a symbolic link to the device path");
  app.add_option("--dump", o.dump, "write the device's state here on exit");
  app.add_flag("--exit-after-finish", o.exitAfterFinish, "exit once an upload has finished");
  app.add_option("--make-firmware", o.makeFirmware, "write a firmware image this device accepts, and exit");
  app.add_option("--pages", o.pages, "pages of that image")->capture_default_str();
  app.add_option("--base-address", o.baseAddress, "program address of its first page")->capture_default_str();
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"velboot-sim: a simulated device with the resident bootloader, on a pseudo-terminal"};
  Options options;
  AddOptions(app, options);
  CLI11_PARSE(app, argc, argv);

  velboot::sim::DeviceModel device;
  try {
    Configure(device, options);
  } catch (const std::exception& e) {
    std::cerr << "velboot-sim: " << e.what() << "\n";
    return 2;
  }
  if (!options.makeFirmware.empty()) {
    velboot::WriteFileAtomically(options.makeFirmware, velboot::sim::DeviceModel::MakeFirmwareImage(
        size_t{options.pages} * velboot::sim::DeviceModel::kPageSize + 7, device.mcuType, device.version,
        options.baseAddress));
    return 0;
  }
  CatchStopSignals();
  velboot::sim::PtyLine line(device, options.baud);
  if (line.Path().empty()) {
    std::perror("velboot-sim: cannot make a pseudo-terminal");
    return 1;
  }
  if (!options.link.empty()) {
    ::unlink(options.link.c_str());
    if (::symlink(line.Path().c_str(), options.link.c_str()) != 0) {
      std::perror(("velboot-sim: " + options.link).c_str());
      return 1;
    }
  }
  std::cout << line.Path() << std::endl;
  line.Run(stopRequested, options.exitAfterFinish);
  if (!options.link.empty()) ::unlink(options.link.c_str());
  if (!options.dump.empty()) {
    std::string text = velboot::sim::DumpState(device);
    velboot::WriteFileAtomically(options.dump, std::vector<uint8_t>(text.begin(), text.end()));
  }
  return 0;
}
