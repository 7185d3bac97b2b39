#pragma once
// Recorded files for tests: a unique name in the temporary folder, reading it back, and (on
// POSIX) playing it with Debian's ffprobe and ffmpeg.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/scratch_store.h"

// A file name of its own; the file is removed with the object.
struct ScratchFile {
    const std::string path = (std::filesystem::temp_directory_path() / (unique_test_name() + ".avi")).string();
    ~ScratchFile() { std::filesystem::remove(path); }
    const char* c_str() const { return path.c_str(); }
};

// The whole file; empty when it cannot be read (on Windows also while a writer holds it).
// Read in blocks: a recording grows by megabytes while a test polls it, and a byte at a
// time through an instrumented, unoptimised build takes minutes.
inline std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes;
    char block[1 << 16];
    while (in.read(block, sizeof block) || in.gcount() > 0) bytes.insert(bytes.end(), block, block + in.gcount());
    return bytes;
}

// The whole file as text (on Windows line ends read as "\n"); empty when it cannot be read.
inline std::string file_text(const std::string& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A 32-bit little-endian field; 0xFFFFFFFF past the end.
inline uint32_t field32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 > b.size() ? 0xFFFFFFFFu : b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
}

struct PlayedVideo {
    int width = 0, height = 0;
    long declared_frames = 0;
    double rate = 0;                           // frames per second
    std::vector<std::vector<uint8_t>> frames;  // blue, green, red; top row first
};
PlayedVideo play_video(const std::string& path);
// What a shell command writes to its standard output (POSIX).
std::string output_of(const std::string& command);
// What the readers of scripts/read-recording.py make of recordings (one run: they take seconds
// to start), one map per path; by reader: frames read, how many are the file's chunks in order.
struct ReaderResult { long frames = 0; double in_order = 0; };
using ReadersResults = std::map<std::string, ReaderResult>;
std::vector<ReadersResults> read_with_readers(const std::vector<std::string>& paths);
// Every reader read from `least` to `most` frames, all in order (mediainfo: with a duration).
void expect_every_reader_reads(ReadersResults read, long least, long most);
