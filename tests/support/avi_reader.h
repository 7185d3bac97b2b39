#pragma once
// Reads an AVI file the recorder wrote back into its frames, walking the chunks with every
// size and offset checked against the file, so that a damaged file is refused, never read
// past its end. Follows the plain layout ("RIFF AVI " with "hdrl", "movi" and "idx1") and the
// extended one ("AVIX" RIFFs after the first). The first RIFF's frames are taken in the order
// of "idx1" (an extended file may hold them out of order), the others in file order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

struct AviContents {
    int32_t width = 0, height = 0;
    uint32_t declared_frames = 0;    // the main header's frame count (first RIFF)
    uint32_t indexed_frames = 0;     // entries of "idx1"
    std::vector<size_t> frames;      // offset of each "00db" chunk's data, in frame order
    uint32_t frame_bytes = 0;        // size of every frame chunk (all alike)
};

// False when the bytes are no AVI file of that form (contents then partly filled).
inline bool read_avi(const std::vector<uint8_t>& b, AviContents* out) {
    auto field = [&b](size_t at, uint32_t* v) {
        if (at > b.size() || b.size() - at < 4) return false;
        *v = b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t{b[at + 3]} << 24;
        return true;
    };
    auto code = [](const char (&s)[5]) { return s[0] | s[1] << 8 | s[2] << 16 | uint32_t(uint8_t(s[3])) << 24; };
    size_t at = 0;
    bool first = true;
    while (at < b.size()) {
        uint32_t riff = 0, riff_size = 0, form = 0;
        if (!field(at, &riff) || !field(at + 4, &riff_size) || !field(at + 8, &form) || riff != code("RIFF") ||
            riff_size < 4 || riff_size > b.size() - at - 8 || form != code(first ? "AVI " : "AVIX"))
            return false;
        const size_t end = at + 8 + riff_size, first_frame = out->frames.size();
        size_t movi_code = 0, index = 0, index_size = 0;
        for (size_t chunk = at + 12; chunk < end;) {
            uint32_t id = 0, size = 0, kind = 0;
            if (!field(chunk, &id) || !field(chunk + 4, &size) || size > end - chunk - 8) return false;
            if (id == code("LIST") && size >= 4 && field(chunk + 8, &kind) && kind == code("movi")) {
                movi_code = chunk + 8;
                for (size_t f = chunk + 12; f < chunk + 8 + size;) {
                    uint32_t fid = 0, fsize = 0;
                    if (!field(f, &fid) || !field(f + 4, &fsize) || fsize > chunk + 8 + size - f - 8) return false;
                    if (fid == code("00db")) {
                        if (!out->frames.empty() && fsize != out->frame_bytes) return false;
                        out->frame_bytes = fsize;
                        out->frames.push_back(f + 8);
                    }
                    f += 8 + fsize + (fsize & 1);
                }
            } else if (id == code("LIST") && size >= 4 && field(chunk + 8, &kind) && kind == code("hdrl") && first) {
                uint32_t frames = 0, width = 0, height = 0;
                if (!field(chunk + 12 + 8 + 16, &frames) || !field(chunk + 12 + 8 + 32, &width) ||
                    !field(chunk + 12 + 8 + 36, &height))
                    return false;
                out->declared_frames = frames;
                out->width = static_cast<int32_t>(width);
                out->height = static_cast<int32_t>(height);
            } else if (id == code("idx1") && first) {
                out->indexed_frames = size / 16;
                index = chunk + 8;
                index_size = size;
            }
            chunk += 8 + size + (size & 1);
        }
        if (index && movi_code) {
            // Each entry: id, flags, offset of the chunk from "movi", size.
            std::vector<size_t> ordered;
            for (size_t e = index; e + 16 <= index + index_size; e += 16) {
                uint32_t id = 0, offset = 0, chunk_id = 0, chunk_size = 0;
                if (!field(e, &id) || !field(e + 8, &offset) || id != code("00db")) continue;
                if (!field(movi_code + offset, &chunk_id) || !field(movi_code + offset + 4, &chunk_size) ||
                    chunk_id != code("00db") || chunk_size != out->frame_bytes ||
                    chunk_size > b.size() - (movi_code + offset + 8))
                    return false;
                ordered.push_back(movi_code + offset + 8);
            }
            if (ordered.size() != out->frames.size() - first_frame) return false;
            std::copy(ordered.begin(), ordered.end(), out->frames.begin() + static_cast<std::ptrdiff_t>(first_frame));
        }
        at = end;
        first = false;
    }
    return !first;
}
