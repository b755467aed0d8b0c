#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "devlink/BootCommands.h"

namespace velboot {

class TQZ_RS;
class ProgressView;

// The pieces every loader of the framing class shares: asking a bootloader until it answers,
// sending a page in chunks, programming it with the status and result checks, and the gauge.
inline constexpr uint16_t kAnswerTimeoutMs = 100;
inline constexpr uint16_t kChunkReplyTimeoutMs = 500;
inline constexpr uint32_t kPageRetryPauseMs = 50;

// Identify requests until the bootloader at `address` answers (true, its reply ready to read)
// or the user has pressed Cancel (false). `betweenAttempts` runs after each failed attempt.
bool WaitForAnswer(TQZ_RS& link, ProgressView& progress, uint8_t address,
                   const std::function<void()>& betweenAttempts);

// The page as chunks of `chunkSize`, each with its index; throws the first exchange failure.
void SendChunks(TQZ_RS& link, uint8_t address, const uint8_t* page, size_t pageSize, size_t chunkSize);

// The failure a page-program reply names, or nullptr for success. Result 4 has a text of its
// own per bootloader.
const char* PageProgramFailure(uint8_t status, uint8_t result, const char* result4);

// Programs the loaded page at `pageAddress` (32-bit) and checks status and result, making up to
// `attempts` attempts `kPageRetryPauseMs` apart; the chunks are not sent again. Throws the last
// attempt's failure.
void ProgramCheckedPage(TQZ_RS& link, uint8_t address, uint32_t pageAddress, int attempts, const char* result4);

// done / total in percent, rounded half to even; 100 when there is nothing to divide by.
int GaugePercent(double done, double total);

}  // namespace velboot
