// Recordings past the RIFF limit (lowered here) and recordings killed while they were written,
// as readers nobody here wrote read them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>

#include "files/avi_writer.h"
#include "support/recorded_file.h"
#include "support/wait.h"

using imvela::CAviWriter;

namespace {

constexpr int w = 38, h = 20, row = 116, limit = 32 * 1024;  // rows: 114 bytes padded
uint8_t sample(int x, int y, int k) { return static_cast<uint8_t>(x + 3 * y + 7 * k); }

// Writes up to `frames` frames with the RIFF limit lowered, a checkpoint every fourth frame,
// `pace` between frames; how many were written.
int write(CAviWriter& writer, const ScratchFile& file, uint64_t bound, int frames, bool pace = false) {
    writer.SetFormat(w, h);
    CAviWriter::SetRiffLimit(limit);
    const bool opened = writer.Open(file.c_str(), bound, 64);
    CAviWriter::SetRiffLimit(0);
    EXPECT_TRUE(opened);
    std::vector<uint8_t> pixels(row * h);
    int k = 0;
    for (; k < frames; ++k) {
        for (int i = 0; i < row * h; ++i) pixels[i] = sample(i % row, i / row, k);
        if (!writer.WriteFrame(pixels.data())) break;
        EXPECT_TRUE(k % 4 != 0 || writer.Checkpoint());
        if (pace) usleep(2000);
    }
    writer.SetRate(2500);
    return k;
}

TEST(AviWriterExtension, RecordingsPastTheLimitKeepTheirOrderForEveryReader) {
    // {bound given at opening, frames written}: an OpenDML file that stays in its first RIFF,
    // one that goes on in AVIX RIFFs, and a plain file that stops at the limit.
    const int rows[][2] = {{200, 12}, {200, 60}, {12, 60}};
    ScratchFile files[3];
    std::vector<int> written_frames;
    for (const auto& r : rows) {
        SCOPED_TRACE(r[0] * 1000 + r[1]);
        const ScratchFile& file = files[written_frames.size()];
        CAviWriter writer;
        const int written = write(writer, file, r[0], r[1]);
        EXPECT_EQ(writer.Finish(), written == r[1]);
        EXPECT_EQ(writer.extended(), r[0] > 12);
        EXPECT_EQ(written, r[0] > 12 ? r[1] : 13);
        // Back-to-back RIFFs below the limit (one past it reads one off), "AVI " then "AVIX".
        const std::vector<uint8_t> b = file_bytes(file.path);
        size_t at = 0, riffs = 0;
        for (; at + 12 <= b.size(); at += 8 + field32(b, at + 4), ++riffs)
            EXPECT_EQ(field32(b, at + 8) + (field32(b, at + 4) + 8 > limit), riffs ? 0x58495641u : 0x20495641u);
        EXPECT_EQ(at + riffs, b.size() + writer.riffs());
        written_frames.push_back(written);
    }
    const auto read = read_with_readers({files[0].path, files[1].path, files[2].path});
    for (size_t i = 0; i < written_frames.size(); ++i) expect_every_reader_reads(read[i], written_frames[i], written_frames[i]);
}

TEST(AviWriterExtension, KilledWhileWritingEveryReaderReadsUpToTheLastCheckpoint) {
    std::mt19937 random(std::random_device{}());
    // Killed somewhere below the limit, plain (it may also stop at the limit unfinished) and
    // OpenDML, and once past it.
    const uint64_t bounds[] = {12, 400, 400};
    ScratchFile files[3];
    std::vector<std::string> paths;
    for (const uint64_t bound : bounds) {
        const bool past = paths.size() == 2;
        const size_t at = std::uniform_int_distribution<size_t>(past ? limit + 8192 : 16384,
                                                               past ? 3 * limit : limit - 4096)(random);
        SCOPED_TRACE(std::to_string(bound) + " killed at " + std::to_string(at));
        const ScratchFile& file = files[paths.size()];
        paths.push_back(file.path);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CAviWriter writer;
            write(writer, file, bound, 1000, true);
            _exit(0);
        }
        const bool grown = wait_until([&] { return file_bytes(file.path).size() >= at; });
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(grown);
    }
    for (const ReadersResults& read : read_with_readers(paths)) {
        const long chunks = read.count("file") ? read.at("file").frames : 0;
        // The last checkpoint came at most four frames before the last whole chunk.
        EXPECT_GT(chunks, 4);
        expect_every_reader_reads(read, chunks - 4, chunks);
    }
}

}  // namespace
