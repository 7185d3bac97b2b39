#pragma once
// CAviWriter: uncompressed 24-bit AVI files with one video stream and an index.
//
// Frames are written in recording order and never move. A recording that cannot reach the
// RIFF limit (1 GiB) is a plain AVI file: a 232-byte header, the "movi" list of frame chunks
// and the "idx1" index. One that may reach it is an OpenDML file from the start: the header
// holds a super index ("indx") with room for all its entries and the total frame count
// ("dmlh"); frames go on in "AVIX" extensions, each below the limit; every standard index
// ("ix00") lies in the "movi" list whose frames it lists, and the first RIFF ends with "idx1"
// for readers that know nothing else. A plain file that would pass the limit after all takes
// no more frames.
//
// While recording, Checkpoint brings the header up to date with what is in the file (RIFF
// and "movi" lengths, frame totals, rate) and, in an OpenDML file, writes a standard index of
// the frames since the last one, so a recording cut off by a crash or a kill reads up to its
// last checkpoint in any reader.
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
    // Creates the file and writes its header. most_frames bounds the frames the recording
    // can bring: when they may pass the RIFF limit the file is an OpenDML file. most_checkpoints
    // bounds the calls of Checkpoint, for the room the super index keeps for their indexes.
    // False when the file cannot be made or written, or the frame size is not usable.
    bool Open(const char* path, uint64_t most_frames, uint32_t most_checkpoints = 0);
    // Appends one chunk of frame_bytes() bytes. False when it could not be written (write
    // error, or a plain file at the RIFF limit); nothing is counted then, and every later
    // frame is refused too.
    bool WriteFrame(const uint8_t* pixels);
    // Makes the file readable as it is: an index of the frames since the last checkpoint
    // (OpenDML), then the header's lengths, totals and rate. False when a write failed.
    bool Checkpoint();
    // The measured rate, hundredths of a frame per second, used by Finish.
    void SetRate(uint32_t hundredths) { rate_ = hundredths; }
    // Writes the index, patches the header with the rate and the frame count, closes the
    // file. False when anything of the file could not be written (the file is then cut after
    // the last whole frame and its header still describes what is there).
    bool Finish();

    // The rate of `frames` frames whose first and last were taken `elapsed_ms` apart (frames
    // - 1 intervals), in hundredths of a frame per second, never 0: 3000 when there is no
    // interval to measure.
    static uint32_t MeasuredRate(uint64_t frames, uint32_t elapsed_ms);
    // Tests lower the RIFF limit to reach the OpenDML layout with small files.
    static void SetRiffLimit(uint64_t bytes);

    bool is_open() const { return file_.IsOpen(); }
    bool extended() const { return extended_; }
    uint32_t riffs() const { return riffs_; }
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
    uint64_t closing_bytes(uint64_t more_frames) const;
    bool write_standard_index();
    void update_header();
    bool write_lengths();
    bool close_riff();
    bool open_extension();
    bool patch32(uint64_t at, uint32_t value);

    CFileBuffer file_;
    std::vector<uint8_t> head_;     // everything up to the first "movi" code, in file order
    std::vector<uint32_t> index_;   // chunk offsets from the "movi" code, current RIFF
    size_t indexed_ = 0;            // of index_, listed in a standard index already
    std::vector<SuperEntry> super_;
    std::vector<uint8_t> scratch_;  // index chunks as they are written
    int32_t width_ = 0;
    int32_t height_ = 0;
    uint32_t frame_bytes_ = 0;  // F: padded rows times the height
    uint32_t rate_ = 30;
    uint32_t frames_ = 0;
    uint32_t first_riff_frames_ = 0;
    bool extended_ = false;     // an OpenDML file
    uint32_t riffs_ = 0;        // RIFFs begun
    bool failed_ = false;
    bool riff_closed_ = false;  // the current RIFF has its index; an extension follows
    uint32_t super_capacity_ = 0;
    uint32_t super_kept_ = 0;   // entries kept for the standard indexes that close RIFFs
    uint64_t riff_limit_ = kRiffLimit;
    uint64_t pos_ = 0;  // end of what was written
    uint64_t riff_start_ = 0;
    uint64_t movi_length_at_ = 0;
    uint64_t movi_code_at_ = 0;
    size_t dmlh_at_ = 0;
};

}  // namespace imvela
