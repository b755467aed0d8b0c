// velboot-cli: the loader's Steps for scripts, service laptops and production lines.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <iostream>

#include "bootops/FirmwareUpload.h"
#include "bootops/SettingsRead.h"
#include "bootops/SettingsWrite.h"
#include "cli/Terminal.h"
#include "cli/TraceFile.h"
#include "devlink/Exception.h"
#include "devlink/IniFile.h"
#include "devlink/posix/PosixPort.h"

namespace velboot::cli {
namespace {

enum ExitCode { kDone = 0, kFailed = 1, kUsage = 2, kGaveUp = 3, kCancelled = 130 };

struct Options {
  int port = 0;
  std::string device;
  std::string trace;
  uint32_t waitSeconds = 0;
  bool quiet = false;
  std::string file;       // the image or settings file of the command
  std::string outputDir;  // read-settings
  double clock = 0;       // load-by-type
  std::optional<uint16_t> expectType;
};

// The built-in loaders report through the user; their outcome is what the user was shown.
StepOutcome OutcomeShown(const TerminalUser& user) {
  if (user.ErrorShown()) return StepOutcome::Failed;
  return user.WasCancelled() ? StepOutcome::Cancelled : StepOutcome::Done;
}

using Step = std::function<StepOutcome(TQZ_RS&, TerminalUser&)>;

// The window's INI file lives next to the executables; the CLI reads the port from it.
std::string WindowIniPath() {
  std::error_code ec;
  std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return (exe.parent_path() / "velboot.ini").string();
}

bool Readable(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY);
  if (fd < 0) return false;
  ::close(fd);
  return std::filesystem::is_regular_file(path);
}

// Picks the port as the options say; false (with a message) when it is not there.
bool ChoosePort(TQZ_RS& link, const Options& o) {
  if (!o.device.empty()) {
    if (link.Present(1)) return true;
    std::cerr << o.device << ": no such serial device\n";
    return false;
  }
  if (o.port != 0) {
    if (link.Present(o.port)) {
      link.PortNumber = o.port;
      return true;
    }
    std::cerr << "COM" << o.port << " is not present; see 'velboot-cli ports'\n";
    return false;
  }
  try {
    IniFile ini(WindowIniPath());
    link.LoadSettings(ini);  // the stored port, or the lowest present one
    link.SetActive(false);
  } catch (const Exception&) {
    // No readable INI file: the lowest present port, as chosen already.
  }
  return true;
}

int ExitCodeOf(StepOutcome outcome, const TerminalUser& user) {
  switch (outcome) {
    case StepOutcome::Done: return kDone;
    case StepOutcome::Failed: return kFailed;
    case StepOutcome::Cancelled: return user.GaveUp() ? kGaveUp : kCancelled;
  }
  return kFailed;
}

int RunStep(const Options& o, const Step& step) {
  if (!o.file.empty() && !Readable(o.file)) {
    std::cerr << o.file << ": cannot be read\n";
    return kUsage;
  }
  RealClock clock;
  TerminalUser user(clock, o.quiet, o.file);
  TerminalPump pump(user, clock);
  std::unique_ptr<PosixPortBackend> ports =
      o.device.empty() ? std::make_unique<PosixPortBackend>()
                       : std::make_unique<PosixPortBackend>(std::vector<PortInfo>{{o.device, ""}});
  TQZ_RS link({*ports, clock, pump, user});
  if (link.PortNumber == 0) return kFailed;  // no port at all: already said
  if (!ChoosePort(link, o)) return kUsage;
  link.SetLineMode(0);
  std::unique_ptr<TraceFile> trace;
  if (!o.trace.empty()) {
    trace = std::make_unique<TraceFile>(o.trace, clock.NowMs());
    if (!trace->IsOpen()) {
      std::cerr << o.trace << ": cannot be written\n";
      return kUsage;
    }
    link.Observer = trace.get();
  }
  PortInfo info = link.DescribePort(link.PortNumber);
  user.SetConnectTarget("COM" + std::to_string(link.PortNumber) + " " + info.path, o.waitSeconds);
  CatchInterrupt();
  try {
    return ExitCodeOf(step(link, user), user);
  } catch (const Exception& e) {
    std::cerr << e.what() << std::endl;
    return kFailed;
  }
}

int ListPorts() {
  std::vector<PortInfo> table = CurrentPortTable();
  PosixPortBackend ports(table);
  if (table.empty()) std::cout << "No serial ports found. Set VELBOOT_PORTS to a list of device paths.\n";
  for (size_t i = 0; i < table.size(); ++i) {
    int n = static_cast<int>(i) + 1;
    std::cout << "COM" << n << "\t" << table[i].path << "\t"
              << (ports.Exists(n) ? "present" : "absent") << "\t" << table[i].description << "\n";
  }
  return kDone;
}

void AddPortOptions(CLI::App& app, Options& o) {
  auto* port = app.add_option("-p,--port", o.port, "COM number N from the port table")->check(CLI::Range(1, 32));
  app.add_option("-d,--device", o.device, "serial device path")->excludes(port);
  app.add_option("--trace", o.trace, "write every frame to FILE, hex with time stamps");
  app.add_option("--wait", o.waitSeconds, "give up connecting after SECONDS (default: until Ctrl-C)");
  app.add_flag("-q,--quiet", o.quiet, "no progress output");
}

}  // namespace
}  // namespace velboot::cli

int main(int argc, char** argv) {
  using namespace velboot;
  using namespace velboot::cli;
  ::signal(SIGPIPE, SIG_IGN);
  CLI::App app{"velboot-cli: read settings, upload firmware and write settings over a serial line.\n"
               "Ports: COM numbers are positions in the port table ('velboot-cli ports');\n"
               "VELBOOT_PORTS=path:path:... sets the table."};
  app.require_subcommand(1);
  app.fallthrough();
  Options o;
  AddPortOptions(app, o);
  StepVersions versions;

  auto* ports = app.add_subcommand("ports", "list the port table");
  auto* read = app.add_subcommand("read-settings", "Step 1: save the device's settings to a new .kvst file");
  read->add_option("-o,--output-dir", o.outputDir, "folder for the file (default: the current folder)")
      ->check(CLI::ExistingDirectory);
  auto* upload = app.add_subcommand("upload", "Step 2: upload a firmware image (.rom)");
  upload->add_option("FILE", o.file, "firmware image")->required();
  auto* write = app.add_subcommand("write-settings", "Step 3: write a saved .kvst file into the device");
  write->add_option("FILE", o.file, "settings file")->required();
  auto* byType = app.add_subcommand("load-by-type", "program through the bootloader at 240 (MCU type table)");
  byType->add_option("FILE", o.file, "program image")->required();
  byType->add_option("--clock", o.clock, "the device's clock in Hz; the line rate follows it")->required();
  byType->add_option("--expect-type", o.expectType, "refuse a device whose MCU type differs");
  auto* keepHead = app.add_subcommand("load-keep-head", "program through the bootloader at 241 (keeps the head)");
  keepHead->add_option("FILE", o.file, "program image")->required();
  auto* image = app.add_subcommand("load-image", "program a firmware image through the bootloader at 252");
  image->add_option("FILE", o.file, "firmware image (.rom)")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    int code = app.exit(e);
    return code == 0 ? 0 : kUsage;
  }
  if (ports->parsed()) return ListPorts();
  if (upload->parsed())
    return RunStep(o, [](TQZ_RS& link, TerminalUser& user) { return UploadFirmware(link, user); });
  if (write->parsed())
    return RunStep(o, [&](TQZ_RS& link, TerminalUser& user) { return WriteSettings(link, user, versions); });
  if (byType->parsed())
    return RunStep(o, [&](TQZ_RS& link, TerminalUser& user) {
      link.LoadProgramByType(o.file, o.expectType.has_value(), o.clock, o.expectType.value_or(0));
      return OutcomeShown(user);
    });
  if (keepHead->parsed())
    return RunStep(o, [&](TQZ_RS& link, TerminalUser& user) {
      link.SetActive(true);  // this loader uses the port as it finds it
      link.LoadProgramKeepHead(o.file);
      return OutcomeShown(user);
    });
  if (image->parsed())
    return RunStep(o, [&](TQZ_RS& link, TerminalUser& user) {
      link.LoadFirmwareImage(o.file);
      return OutcomeShown(user);
    });
  std::string folder = std::filesystem::absolute(o.outputDir.empty() ? "." : o.outputDir).lexically_normal().string();
  if (read->parsed())
    return RunStep(o, [&](TQZ_RS& link, TerminalUser& user) {
      return ReadSettings(link, user, versions, {folder, CurrentLocalTime});
    });
  return kUsage;
}
