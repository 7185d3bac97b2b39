// Without ffmpeg: plain AVI files read through their "idx1" index.
#include "support/media_probe.h"
#include "support/recorded_file.h"

namespace {

// The chunks "idx1" names, in its order; empty when the file has no complete index.
std::vector<size_t> indexed_chunks(const std::vector<uint8_t>& b) {
    std::vector<size_t> chunks;
    const size_t movi = 228, idx1 = 224 + size_t{field32(b, 224)} + 4;
    if (field32(b, idx1) != 0x31786469u) return chunks;  // "idx1"
    for (size_t e = idx1 + 8; e + 16 <= idx1 + 8 + field32(b, idx1 + 4) && e + 16 <= b.size(); e += 16)
        if (movi + field32(b, e + 8) + 8 + field32(b, e + 12) <= b.size()) chunks.push_back(movi + field32(b, e + 8));
    return chunks;
}

}  // namespace

bool probe_video(const std::string& path, ProbedVideo* video) {
    const std::vector<uint8_t> b = file_bytes(path);
    if (field32(b, 108) != 0x73646976u) return false;  // "vids"
    video->width = static_cast<int>(field32(b, 64));
    video->height = static_cast<int>(field32(b, 68));
    video->frames = static_cast<long>(field32(b, 140));
    video->read_frames = static_cast<long>(indexed_chunks(b).size());
    video->rate = field32(b, 128) ? static_cast<double>(field32(b, 132)) / field32(b, 128) : 0;
    return true;
}

std::vector<std::vector<uint8_t>> decode_frames(const std::string& path, int width, int height) {
    const std::vector<uint8_t> b = file_bytes(path);
    const size_t row = (3 * static_cast<size_t>(width) + 3) & ~size_t{3};
    std::vector<std::vector<uint8_t>> frames;
    for (size_t chunk : indexed_chunks(b)) {
        if (field32(b, chunk + 4) != row * height) break;
        std::vector<uint8_t> frame;
        for (int y = height - 1; y >= 0; --y) {
            const auto first = b.begin() + static_cast<ptrdiff_t>(chunk + 8 + row * y);
            frame.insert(frame.end(), first, first + 3 * width);
        }
        frames.push_back(std::move(frame));
    }
    return frames;
}
