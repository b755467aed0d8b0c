#include "devlink/LoaderSteps.h"

#include <algorithm>
#include <cmath>

#include "devlink/Exception.h"
#include "devlink/MessagePump.h"
#include "devlink/Messages.h"
#include "devlink/QZ_RS232.h"
#include "devlink/UserInteraction.h"

namespace velboot {
namespace {

constexpr uint8_t kStatusLowPower = 0x01;
constexpr uint8_t kStatusEraseFailed = 0x02;

}  // namespace

bool WaitForAnswer(TQZ_RS& link, ProgressView& progress, uint8_t address,
                   const std::function<void()>& betweenAttempts) {
  for (;;) {
    link.ReplyTimeout = kAnswerTimeoutMs;
    try {
      link.Request(address, cmdIdentify);
      return true;
    } catch (const Exception&) {
      // Not there yet: the device may still be booting or the cable being plugged in.
    }
    link.Env().pump.ProcessMessages();
    if (progress.Cancelled()) return false;
    if (betweenAttempts) betweenAttempts();
  }
}

void SendChunks(TQZ_RS& link, uint8_t address, const uint8_t* page, size_t pageSize, size_t chunkSize) {
  for (size_t k = 0; k < pageSize / chunkSize; ++k) {
    link.ReplyTimeout = kChunkReplyTimeoutMs;
    link.BeginRequest(address, cmdLoadChunk);
    link.PutByte(static_cast<uint8_t>(k));
    for (size_t i = 0; i < chunkSize; ++i) link.PutByte(page[k * chunkSize + i]);
    link.Exchange();
  }
}

const char* PageProgramFailure(uint8_t status, uint8_t result, const char* result4) {
  if (status & kStatusLowPower) return msg::LowPower1;
  if (status & kStatusEraseFailed) return msg::EraseFailed;
  switch (result) {
    case 1: return msg::AddressError1;
    case 2: return msg::AddressError2;
    case 3: return msg::WriteFailed;
    case 4: return result4;
    default: return nullptr;
  }
}

void ProgramCheckedPage(TQZ_RS& link, uint8_t address, uint32_t pageAddress, int attempts, const char* result4) {
  for (int attempt = 1;; ++attempt) {
    try {
      link.BeginRequest(address, cmdProgramPage);
      link.PutLong(pageAddress);
      link.Exchange();
      uint8_t status = link.GetByte();
      uint8_t result = link.GetByte();
      if (const char* failure = PageProgramFailure(status, result, result4)) throw Exception(failure);
      return;
    } catch (const Exception&) {
      if (attempt >= attempts) throw;
      link.Pause(kPageRetryPauseMs);
    }
  }
}

int GaugePercent(double done, double total) {
  if (total <= 0) return 100;
  // Far beyond 100 the value only needs to stay beyond it, and within an int.
  return static_cast<int>(std::nearbyint(std::clamp(done * 100.0 / total, -1e6, 1e6)));
}

}  // namespace velboot
