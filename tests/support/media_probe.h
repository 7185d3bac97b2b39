#pragma once
// What a player makes of a video file: Debian's ffprobe and ffmpeg on POSIX; on Windows the
// tests' own reader of plain AVI files, which follows "idx1".
#include <cstdint>
#include <string>
#include <vector>

struct ProbedVideo {
    int width = 0;
    int height = 0;
    long frames = 0;       // as the file declares them
    long read_frames = 0;  // as counted by decoding
    double rate = 0;       // frames per second
};

// False when ffprobe finds no video stream.
bool probe_video(const std::string& path, ProbedVideo* video);
// Every frame decoded to blue-green-red bytes, top row first, width * height * 3 bytes each.
std::vector<std::vector<uint8_t>> decode_frames(const std::string& path, int width, int height);
