#pragma once
// CAviWriter: uncompressed 24-bit AVI files with one video stream and an index.
//
// A recording is a plain AVI file for as long as it stays below the RIFF limit (1 GiB): a
// 232-byte header, the "movi" list of frame chunks and the "idx1" index. When the next frame
// would leave no room below the limit, the file becomes an OpenDML file in place: the header
// is rewritten with a super index ("indx") in the stream list and the total frame count
// ("dmlh") in an "odml" list; the first frames' chunks give up their place to the longer
// header and the "movi" list, which starts with a "JUNK" chunk over what is left of it, and
// are written again at the end of the first "movi" list; the main header says that the index
// gives the order. Frames then fill "AVIX" extensions, each below the limit; every "movi" list
// ends with a standard index ("ix00"), and the first RIFF keeps "idx1", in frame order, for
// readers that know nothing else.
//
// Frame chunks carry rows of three bytes per pixel, bottom row first, each row padded to a
// multiple of four bytes as the declared bitmap format says. Every chunk, header and index is
// written with one write call at a known position; a failed write is remembered, no counter
// moves past what reached the file, and Finish still closes the file as far as it got.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "files/file_buffer.h"

namespace imvela {

class CAviWriter {
public:
    // Longest RIFF, its header and index included.
    static constexpr uint64_t kRiffLimit = uint64_t{1} << 30;

    CAviWriter() = default;
    CAviWriter(const CAviWriter&) = delete;
    CAviWriter& operator=(const CAviWriter&) = delete;

    // Closes the file if one is open, empties the index and the headers.
    void Reset();
    // Frame size of the next file; also sets the rate to 30 and the frame count to 0.
    void SetFormat(int32_t width, int32_t height);
    // Creates the file and writes the plain header. most_frames bounds the frames the
    // recording can bring: when they may pass the RIFF limit, the writer keeps the first
    // frames' chunks to move them when the file becomes an OpenDML file, and sizes its super
    // index. False when the file cannot be made or written, or the frame size is not usable.
    bool Open(const char* path, uint64_t most_frames);
    // Appends one chunk of frame_bytes() bytes. False when it could not be written (write
    // error, or more frames than the bound given to Open allows room for); nothing is counted
    // then, and every later frame is refused too.
    bool WriteFrame(const uint8_t* pixels);
    // The measured rate, hundredths of a frame per second, used by Finish.
    void SetRate(uint32_t hundredths) { rate_ = hundredths; }
    // Writes the index, patches the header with the rate and the frame count, closes the
    // file. False when anything of the file could not be written (the file is then cut after
    // the last whole frame and its header still describes what is there).
    bool Finish();

    // The rate of `frames` frames taken over `elapsed_ms`, in hundredths of a frame per
    // second, never 0: 3000 when there is no interval to measure.
    static uint32_t MeasuredRate(uint64_t frames, uint32_t elapsed_ms);
    // Tests lower the RIFF limit to reach the OpenDML layout with small files.
    static void SetRiffLimit(uint64_t bytes);

    bool is_open() const { return file_.IsOpen(); }
    bool extended() const { return extended_; }
    uint32_t frame_bytes() const { return frame_bytes_; }
    uint32_t frames() const { return frames_; }
    uint32_t rate() const { return rate_; }

private:
    struct SuperEntry {
        uint64_t offset;  // of the "ix00" chunk
        uint32_t size;    // of the chunk with its 8-byte head
        uint32_t frames;
    };

    bool fail();
    void build_header(uint32_t super_entries);
    static uint64_t index_bytes(uint64_t frames_in_riff, bool first, bool standard);
    bool become_extended();
    bool close_riff(bool* index_written);
    bool open_extension();
    bool patch32(uint64_t at, uint32_t value);

    CFileBuffer file_;
    std::vector<uint8_t> head_;     // everything up to the first "movi" code, in file order
    std::vector<uint32_t> index_;   // chunk offsets from the "movi" code, current RIFF
    std::vector<SuperEntry> super_;
    std::vector<uint8_t> scratch_;  // index chunks as they are written
    std::vector<uint8_t> moved_;    // the first frames' chunks, while they may have to move
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t frame_bytes_ = 0;  // F: padded rows times the height
    uint32_t rate_ = 30;
    uint32_t frames_ = 0;
    uint32_t first_riff_frames_ = 0;
    bool may_extend_ = false;  // the bound given to Open may pass the RIFF limit
    bool extended_ = false;
    uint32_t moved_frames_ = 0;  // frames that make way for the OpenDML header
    bool failed_ = false;
    bool riff_closed_ = false;  // the current RIFF has its index; an extension follows
    uint32_t super_capacity_ = 0;
    uint64_t riff_limit_ = kRiffLimit;
    uint64_t pos_ = 0;  // end of what was written
    uint64_t riff_start_ = 0;
    uint64_t movi_length_at_ = 0;
    uint64_t movi_code_at_ = 0;
    size_t dmlh_at_ = 0;
};

}  // namespace imvela
