#pragma once
// Files opened by name for writing by the library's own file class; reading a whole file
// is platform/file_reader.h.
#include <cstdint>
#include <string>

namespace imvela::platform {

using FileHandle = void*;  // nullptr = no file

// Opens for writing without sharing: truncates an existing file, else creates a new one.
FileHandle open_file_for_writing(const char* path);
// Writes all bytes; false on failure.
bool write_file(FileHandle file, const void* data, uint32_t length);
uint32_t file_size(FileHandle file);

// One piece of a gathered write.
struct ByteSpan {
    const void* data;
    uint32_t length;
};
// Writes the pieces back to back from byte `offset` of the file, whatever was written before;
// false unless every byte was written. Does not use or move a shared file position.
bool write_file_at(FileHandle file, uint64_t offset, const ByteSpan* pieces, int count);
// Cuts (or extends) the file to `length` bytes.
bool set_file_length(FileHandle file, uint64_t length);
void close_file(FileHandle file);
// Moves the write position to `offset` bytes from the start; false on failure.
bool seek_file(FileHandle file, uint64_t offset);

// The file that saving to `path` replaces, into `target`: where the chain of symbolic links
// starting at `path` ends (it need not exist yet), or `path` itself when it is no link.
// Windows: `path` itself (a save replaces a link there). False when a link cannot be followed
// (a loop, a name too long).
bool file_behind_links(const char* path, std::string& target);
// Gives the open file `file` the permission bits of the file named `existing`, when there is
// one; false when they could not be set. Windows: nothing to do (the new file takes the
// folder's access rules, as the file it replaces had).
bool keep_permissions(FileHandle file, const char* existing);

// Creates a new, empty file for writing, without sharing, in the folder of `target` under a
// name no other file has (the target's name with a suffix of this process and a counter);
// that name goes to `temporary`. nullptr when no such file can be made.
FileHandle create_file_beside(const char* target, std::string& temporary);
// Moves the file `from` onto the name `to` in one step, replacing a file of that name;
// false when it cannot, with both names left as they were.
bool move_replacing(const char* from, const char* to);
void remove_file(const char* path);

}  // namespace imvela::platform
