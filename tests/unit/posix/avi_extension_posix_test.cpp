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

constexpr int w = 38, h = 20, limit = 32 * 1024;  // rows of 114 bytes, padded to 116

// Writes up to `frames` frames, each of its own bytes, with the RIFF limit lowered, a
// checkpoint every fourth, `pace` between them; how many were written.
int record_frames(CAviWriter& writer, const ScratchFile& file, uint64_t bound, int frames, bool pace = false) {
    writer.SetFormat(w, h);
    CAviWriter::SetRiffLimit(limit);
    EXPECT_TRUE(writer.Open(file.c_str(), bound, 64));
    CAviWriter::SetRiffLimit(0);
    std::vector<uint8_t> pixels(116 * h);
    int k = 0;
    for (; k < frames; ++k) {
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i + 7 * k);
        if (!writer.WriteFrame(pixels.data()) || (k % 4 == 0 && !writer.Checkpoint())) break;
        if (pace) usleep(2000);
    }
    writer.SetRate(2500);
    return k;
}

TEST(AviWriterExtension, FinishedAndKilledRecordingsKeepTheirOrderForEveryReader) {
    // Finished, {bound given at opening, frames}: OpenDML in one RIFF, OpenDML going on in
    // AVIX RIFFs, plain stopping at the limit. Killed, {bound, between which sizes}: below the
    // limit plain (which may stop at the limit first) and OpenDML, and past it.
    const int finished[][2] = {{200, 12}, {200, 60}, {12, 60}};
    const int killed[][3] = {{12, 16384, limit - 4096}, {400, 16384, limit - 4096}, {400, limit + 8192, 3 * limit}};
    ScratchFile files[6];
    std::vector<std::string> paths;
    std::vector<long> frames;
    for (const auto& r : finished) {
        SCOPED_TRACE(r[0] * 1000 + r[1]);
        const ScratchFile& file = files[paths.size()];
        paths.push_back(file.path);
        CAviWriter writer;
        frames.push_back(record_frames(writer, file, r[0], r[1]));
        EXPECT_EQ(writer.Finish(), frames.back() == r[1]);
        EXPECT_EQ(writer.extended(), r[0] > 12);
        EXPECT_EQ(frames.back(), r[0] > 12 ? r[1] : 13);
        // Back-to-back RIFFs below the limit (one past it reads one off), "AVI " then "AVIX".
        const std::vector<uint8_t> b = file_bytes(file.path);
        size_t at = 0, riffs = 0;
        for (; at + 12 <= b.size(); at += 8 + field32(b, at + 4), ++riffs)
            EXPECT_EQ(field32(b, at + 8) + (field32(b, at + 4) + 8 > limit), riffs ? 0x58495641u : 0x20495641u);
        EXPECT_EQ(at + riffs, b.size() + writer.riffs());
    }
    std::mt19937 random(std::random_device{}());
    for (const auto& k : killed) {
        const size_t at = std::uniform_int_distribution<size_t>(k[1], k[2])(random);
        const ScratchFile& file = files[paths.size()];
        paths.push_back(file.path);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CAviWriter writer;
            record_frames(writer, file, k[0], 1000, true);
            _exit(0);
        }
        const bool grown = wait_until([&] { return file_bytes(file.path).size() >= at; });
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        ASSERT_TRUE(grown) << at;
    }
    const std::vector<ReadersResults> read = read_with_readers(paths);
    for (size_t i = 0; i < read.size(); ++i) {
        SCOPED_TRACE(i);
        const long chunks = read[i].count("file") ? read[i].at("file").frames : 0;
        EXPECT_EQ(chunks, i < frames.size() ? frames[i] : chunks);
        // Killed: the last checkpoint came at most four frames before the last whole chunk.
        EXPECT_GT(chunks, 4);
        expect_every_reader_reads(read[i], i < frames.size() ? chunks : chunks - 4, chunks);
    }
}

}  // namespace
