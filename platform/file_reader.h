#pragma once
// Reading a whole file in one go.
#include <cstdint>
#include <vector>

namespace imvela::platform {

// Opens an existing file for reading without sharing it, takes its length, reads it whole
// and closes it. false (contents untouched) when the file cannot be opened, is not a regular
// file, does not fit in memory, or is read short.
bool read_whole_file(const char* path, std::vector<uint8_t>* contents);

}  // namespace imvela::platform
