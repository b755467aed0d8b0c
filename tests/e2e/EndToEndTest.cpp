// velboot-cli against velboot-sim on a pseudo-terminal, through the real POSIX back end, in real
// time. Each case is bounded to a few seconds.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "bootops/Messages.h"
#include "bootops/SettingsFile.h"
#include "devlink/Messages.h"
#include <sstream>
#include "sim/DeviceModel.h"
#include "tests/support/Process.h"
#include "tests/support/StepFixture.h"
#include "tests/support/TempDir.h"

namespace velboot::test {
namespace {

using Bytes = std::vector<uint8_t>;
const std::string kBin = VELBOOT_BIN_DIR;
constexpr int kStepTimeoutMs = 20000;

Bytes FromHex(const std::string& hex) {
  Bytes bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// The simulator's state file: settings, programmed pages by address, commits, frames.
struct SimState {
  Bytes settings;
  std::map<uint32_t, Bytes> pages;
  std::vector<std::string> commits;
  std::vector<Bytes> frames;
  int finishCount = -1;
  std::map<std::pair<int, uint32_t>, Bytes> loaderPages;  // (bootloader, page address)
  int eraseCount = -1;
};

SimState ParseDump(const std::string& text) {
  SimState state;
  std::istringstream in(text);
  for (std::string key; in >> key;) {
    if (key == "finish-count") {
      in >> state.finishCount;
    } else if (key == "commit") {
      std::string a, b;
      in >> a >> b;
      state.commits.push_back(a + " " + b);
    } else if (key == "settings") {
      std::string hex;
      in >> hex;
      state.settings = FromHex(hex);
    } else if (key == "page") {
      std::string address, hex;
      in >> address >> hex;
      state.pages[static_cast<uint32_t>(std::stoul(address, nullptr, 16))] = FromHex(hex);
    } else if (key == "loader-page") {
      int bootloader = 0;
      std::string address, hex;
      in >> bootloader >> address >> hex;
      state.loaderPages[{bootloader, static_cast<uint32_t>(std::stoul(address, nullptr, 16))}] = FromHex(hex);
    } else if (key == "erase-count") {
      in >> state.eraseCount;
    } else if (key == "frame") {
      std::string hex;
      in >> hex;
      state.frames.push_back(FromHex(hex));
    }
  }
  return state;
}

class Simulator {
 public:
  Simulator(const TempDir& dir, const std::string& name, std::vector<std::string> args)
      : dump_(dir.File(name + ".dump")) {
    args.insert(args.begin(), kBin + "/velboot-sim");
    args.push_back("--dump");
    args.push_back(dump_);
    process_ = std::make_unique<Process>(args, std::vector<std::string>{}, dir.File(name));
    path_ = process_->FirstLine(5000);
  }
  const std::string& Path() const { return path_; }
  void Kill() { process_->Signal(SIGKILL); }
  SimState Stop() {
    process_->Signal(SIGTERM);
    EXPECT_EQ(process_->Wait(5000), 0);
    return ParseDump(ReadText(dump_));
  }

 private:
  std::string dump_;
  std::unique_ptr<Process> process_;
  std::string path_;
};

struct CliResult {
  int status;
  std::string out, err;
};

class EndToEnd : public ::testing::Test {
 protected:
  std::unique_ptr<Process> StartCli(const Simulator& sim, std::vector<std::string> args) {
    args.insert(args.begin(), kBin + "/velboot-cli");
    return std::make_unique<Process>(args, std::vector<std::string>{"VELBOOT_PORTS=" + sim.Path()},
                                     dir.File("cli" + std::to_string(++runs_)));
  }
  CliResult RunCli(const Simulator& sim, std::vector<std::string> args) {
    auto cli = StartCli(sim, std::move(args));
    int status = cli->Wait(kStepTimeoutMs);
    return {status, cli->Stdout(), cli->Stderr()};
  }
  std::string WriteFile(const std::string& name, const Bytes& bytes) {
    std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return path;
  }
  std::vector<std::string> SettingsFiles() const {
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(dir.Path()))
      if (e.path().extension() == ".kvst") files.push_back(e.path().string());
    return files;
  }

  TempDir dir;
  int runs_ = 0;
};

Bytes Firmware(size_t pages, uint8_t type = 0x2A, uint16_t version = 0x0103, uint32_t base = 0x08004000) {
  return RomImage(pages * 2048, base, type, version);
}

void ExpectProgrammed(const SimState& state, const Bytes& image) {
  ASSERT_EQ(state.pages.size(), image.size() / 2048);
  for (size_t p = 0; p < image.size() / 2048; ++p) {
    auto it = state.pages.find(static_cast<uint32_t>(0x08004000 + p * 2048));
    ASSERT_NE(it, state.pages.end()) << "page " << p;
    EXPECT_EQ(it->second, Bytes(image.begin() + p * 2048, image.begin() + (p + 1) * 2048)) << "page " << p;
  }
  EXPECT_EQ(state.finishCount, 1);
}

TEST_F(EndToEnd, UploadLandsPageByPage) {
  Simulator sim(dir, "sim", {});
  ASSERT_FALSE(sim.Path().empty());
  Bytes image = Firmware(4);
  CliResult r = RunCli(sim, {"--trace", dir.File("trace.txt"), "upload", WriteFile("fw.rom", image)});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, std::string(msg::UploadDone) + "\n");
  ExpectProgrammed(sim.Stop(), image);
  std::string trace = ReadText(dir.File("trace.txt"));
  EXPECT_NE(trace.find("> 06 F4 01 00 01 04"), std::string::npos);
}

TEST_F(EndToEnd, SettingsReadAndWrittenBackIntoASecondDevice) {
  Simulator first(dir, "first", {"--settings-size", "700", "--settings-seed", "3"});
  CliResult read = RunCli(first, {"-q", "read-settings", "-o", dir.Path().string()});
  ASSERT_EQ(read.status, 0) << read.err;
  std::vector<std::string> files = SettingsFiles();
  ASSERT_EQ(files.size(), 1u);
  EXPECT_EQ(read.out, std::string(msg::SettingsSaved) + files[0] + "\n");
  SimState original = first.Stop();

  Simulator second(dir, "second", {"--settings-size", "700", "--settings-seed", "8"});
  CliResult write = RunCli(second, {"write-settings", files[0]});
  EXPECT_EQ(write.status, 0) << write.err;
  EXPECT_EQ(write.out, std::string(msg::SettingsWritten) + "\n");
  SimState written = second.Stop();
  ASSERT_EQ(written.settings.size(), 700u);
  EXPECT_EQ(Bytes(written.settings.begin(), written.settings.begin() + 696),
            Bytes(original.settings.begin(), original.settings.begin() + 696));
  EXPECT_EQ(written.commits, std::vector<std::string>{"0 696"});
}

TEST_F(EndToEnd, VersionMismatchWritesNothing) {
  Bytes image = sim::DeviceModel::MakeSettingsImage(200, 1);
  std::string file = WriteFile("old.kvst", EncodeSettingsFile(0x0102, image, 200));
  Simulator device(dir, "sim", {"--version", "0x0103"});
  CliResult r = RunCli(device, {"write-settings", file});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(msg::SettingsVersionMismatch), std::string::npos);
  SimState state = device.Stop();
  for (const Bytes& frame : state.frames) EXPECT_EQ(frame[4], 1) << "only identify requests";
  EXPECT_TRUE(state.commits.empty());
}

TEST_F(EndToEnd, CtrlCWhileConnectingExits130WithoutAFile) {
  Simulator device(dir, "sim", {"--silent-first", "1000000"});
  auto cli = StartCli(device, {"read-settings", "-o", dir.Path().string()});
  std::this_thread::sleep_for(std::chrono::milliseconds(400));
  cli->Signal(SIGINT);
  EXPECT_EQ(cli->Wait(kStepTimeoutMs), 130);
  EXPECT_TRUE(SettingsFiles().empty());
  EXPECT_NE(cli->Stderr().find(msg::Connecting), std::string::npos);
}

TEST_F(EndToEnd, WaitGivesUpWithStatus3) {
  Simulator device(dir, "sim", {"--silent-first", "1000000"});
  auto start = std::chrono::steady_clock::now();
  CliResult r = RunCli(device, {"--wait", "1", "-q", "upload", WriteFile("fw.rom", Firmware(1))});
  EXPECT_EQ(r.status, 3);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST_F(EndToEnd, DroppedAndCorruptedRepliesStillEndInACorrectUpload) {
  Simulator sim(dir, "sim", {"--drop-rate", "0.02", "--corrupt-rate", "0.05", "--seed", "7"});
  Bytes image = Firmware(3);
  CliResult r = RunCli(sim, {"-q", "--trace", dir.File("trace.txt"), "upload", WriteFile("fw.rom", image)});
  EXPECT_EQ(r.status, 0) << r.err;
  ExpectProgrammed(sim.Stop(), image);
  EXPECT_NE(ReadText(dir.File("trace.txt")).find("! attempt 1"), std::string::npos);
}

TEST_F(EndToEnd, SimulatorVanishingMidUploadEndsInTheLinkMessage) {
  Simulator sim(dir, "sim", {"--baud", "115200"});
  auto cli = StartCli(sim, {"-q", "upload", WriteFile("fw.rom", Firmware(16))});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  sim.Kill();
  EXPECT_EQ(cli->Wait(kStepTimeoutMs), 1);
  EXPECT_NE(cli->Stderr().find(msg::NoConnection), std::string::npos) << cli->Stderr();
}

TEST_F(EndToEnd, EachBuiltInLoaderProgramsThroughItsBootloader) {
  Simulator sim(dir, "sim", {"--by-type-mcu", "664"});
  Bytes program(1024);
  for (size_t i = 0; i < program.size(); ++i) program[i] = static_cast<uint8_t>(i ^ 0x5A);
  std::string file = WriteFile("p.bin", program);
  CliResult byType = RunCli(sim, {"-q", "load-by-type", file, "--clock", "7372800", "--expect-type", "664"});
  EXPECT_EQ(byType.status, 0) << byType.err;
  CliResult keepHead = RunCli(sim, {"-q", "load-keep-head", WriteFile("k.bin", Bytes(4608, 0x33))});
  EXPECT_EQ(keepHead.status, 0) << keepHead.err;
  Bytes image = Firmware(2, 0x2A, 0x0103, 0);
  CliResult loadImage = RunCli(sim, {"-q", "load-image", WriteFile("fw.rom", image)});
  EXPECT_EQ(loadImage.status, 0) << loadImage.err;
  EXPECT_EQ(loadImage.out, std::string(msg::UploadDone) + "\n");
  CliResult wrongType = RunCli(sim, {"-q", "load-by-type", file, "--clock", "7372800", "--expect-type", "663"});
  EXPECT_EQ(wrongType.status, 1);
  EXPECT_NE(wrongType.err.find(msg::WrongMcu), std::string::npos);

  SimState state = sim.Stop();
  EXPECT_EQ(state.eraseCount, 1);
  for (uint32_t a = 0; a < 1024; a += 256)
    EXPECT_EQ((state.loaderPages[{240, a}]), Bytes(program.begin() + a, program.begin() + a + 256));
  EXPECT_EQ(state.loaderPages.count({241, 0}), 1u);
  EXPECT_EQ(state.loaderPages.count({241, 2048}), 1u);
  EXPECT_EQ((state.loaderPages[{252, 0x80000000}]), Bytes(image.begin(), image.begin() + 4096));
}

TEST_F(EndToEnd, UnreadableInputIsBadUsage) {
  Simulator sim(dir, "sim", {});
  EXPECT_EQ(RunCli(sim, {"upload", dir.File("missing.rom")}).status, 2);
  EXPECT_EQ(RunCli(sim, {"frobnicate"}).status, 2);
  EXPECT_EQ(RunCli(sim, {"--help"}).status, 0);
}

}  // namespace
}  // namespace velboot::test
