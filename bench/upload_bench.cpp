// Uploads a 256 KiB image to velboot-sim at two line rates and compares the time taken with
// the time the protocol needs on such a line. It prints; it does not judge.
#include <signal.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <fstream>

#include "bootops/FirmwareUpload.h"
#include "devlink/Clock.h"
#include "devlink/posix/PosixPort.h"
#include "tests/support/Process.h"
#include "tests/support/ScriptedUser.h"
#include "tests/support/TempDir.h"

namespace {

using namespace velboot;

constexpr size_t kImageSize = 256 * 1024;
constexpr int kBitsPerByte = 11;

// Counts the bytes that crossed the line.
class ByteCounter final : public LinkObserver {
 public:
  void OnFrame(TraceDirection, const uint8_t*, size_t size, uint64_t) override { bytes += size; }
  void OnAttemptFailed(int, const std::string&, uint64_t) override { ++failures; }
  uint64_t bytes = 0;
  int failures = 0;
};

double CpuSeconds() {
  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void Run(const test::TempDir& dir, const std::string& rom, uint32_t baud) {
  test::Process sim({std::string(VELBOOT_BIN_DIR) + "/velboot-sim", "--baud", std::to_string(baud)}, {},
                    dir.File("sim" + std::to_string(baud)));
  std::string path = sim.FirstLine(5000);
  PosixPortBackend ports({{path, ""}});
  RealClock clock;
  NoMessagePump pump;
  test::ScriptedUser user;
  user.files.push_back(rom);
  TQZ_RS link({ports, clock, pump, user});
  ByteCounter counter;
  link.Observer = &counter;

  double cpuBefore = CpuSeconds();
  auto start = std::chrono::steady_clock::now();
  StepOutcome outcome = UploadFirmware(link, user);
  double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  double cpu = CpuSeconds() - cpuBefore;
  double ideal = static_cast<double>(counter.bytes) * kBitsPerByte / baud;
  std::printf("%7u baud  %s  elapsed %6.3f s  ideal %6.3f s  ratio %5.3f  loader CPU %5.3f s (%4.1f %%)%s\n",
              baud, outcome == StepOutcome::Done ? "ok    " : "FAILED", elapsed, ideal, elapsed / ideal, cpu,
              100 * cpu / elapsed, counter.failures ? "  (with retries)" : "");
  sim.Signal(SIGTERM);
  sim.Wait(5000);
}

}  // namespace

int main() {
  test::TempDir dir;
  std::string rom = dir.File("bench.rom");
  test::Process make({std::string(VELBOOT_BIN_DIR) + "/velboot-sim", "--make-firmware", rom, "--pages",
                      std::to_string(kImageSize / 2048)},
                     {}, dir.File("make"));
  make.Wait(5000);
  std::printf("Upload of a %zu KiB image to velboot-sim:\n", kImageSize / 1024);
  for (uint32_t baud : {115200u, 921600u}) Run(dir, rom, baud);
  return 0;
}
