#pragma once
// Files opened by name for the library's own file class.
#include <cstdint>

namespace imvela::platform {

using FileHandle = void*;  // nullptr = no file

// Opens for writing without sharing: truncates an existing file, else creates a new one.
FileHandle open_file_for_writing(const char* path);
// Opens an existing file for reading without sharing.
FileHandle open_file_for_reading(const char* path);
// Writes all bytes; false on failure.
bool write_file(FileHandle file, const void* data, uint32_t length);
// Reads up to length bytes; returns the count read.
uint32_t read_file(FileHandle file, void* data, uint32_t length);
uint32_t file_size(FileHandle file);
void close_file(FileHandle file);

}  // namespace imvela::platform
