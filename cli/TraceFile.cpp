#include "cli/TraceFile.h"

namespace velboot::cli {

TraceFile::TraceFile(const std::string& path, uint64_t startMs)
    : file_(std::fopen(path.c_str(), "w")), startMs_(startMs) {}

TraceFile::~TraceFile() {
  if (file_) std::fclose(file_);
}

void TraceFile::Stamp(uint64_t timeMs, char mark) {
  uint64_t ms = timeMs - startMs_;
  std::fprintf(file_, "%6llu.%03llu %c", static_cast<unsigned long long>(ms / 1000),
               static_cast<unsigned long long>(ms % 1000), mark);
}

void TraceFile::OnFrame(TraceDirection direction, const uint8_t* data, size_t size, uint64_t timeMs) {
  static const char marks[] = {'>', '<', '='};
  Stamp(timeMs, marks[static_cast<int>(direction)]);
  for (size_t i = 0; i < size; ++i) std::fprintf(file_, " %02X", data[i]);
  std::fputc('\n', file_);
  std::fflush(file_);
}

void TraceFile::OnAttemptFailed(int attempt, const std::string& message, uint64_t timeMs) {
  Stamp(timeMs, '!');
  std::fprintf(file_, " attempt %d: %s\n", attempt, message.c_str());
  std::fflush(file_);
}

}  // namespace velboot::cli
