#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace velboot {

// Writes the file whole or not at all: a temporary file in the same folder, flushed to disk,
// then renamed over the target. Throws Exception with the reason when it cannot.
void WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& content);

// Reads a whole file; throws Exception when it cannot be read. At most maxSize bytes are
// accepted, so a huge file is refused instead of exhausting memory.
std::vector<uint8_t> ReadWholeFile(const std::string& path, size_t maxSize);

}  // namespace velboot
