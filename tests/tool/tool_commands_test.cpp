// The imvela tool's commands against the emulated camera: exit status, and the files they leave
// read back independently of the tool.
#include <png.h>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "ImvelaSdk.h"
#include "support/child_process.h"
#include "support/recorded_file.h"
#include "support/scratch_store.h"
#include "settings/filter_values.h"
#include "support/wait.h"
#include "tool_run.h"

namespace fs = std::filesystem;

namespace {

std::string file_start(const fs::path& path, size_t n) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes(n, '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(n));
    bytes.resize(static_cast<size_t>(in.gcount()));
    return bytes;
}

// The frame chunks in the AVI file's movi list, counted by walking the chunk headers.
long avi_frame_chunks(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    auto read32 = [&in](std::streamoff at) {
        uint8_t b[4] = {};
        in.seekg(at);
        in.read(reinterpret_cast<char*>(b), 4);
        return in ? b[0] | b[1] << 8 | b[2] << 16 | uint32_t{b[3]} << 24 : 0xFFFFFFFFu;
    };
    std::streamoff at = 12;
    const std::streamoff riff_end = 8 + static_cast<std::streamoff>(read32(4));
    while (at + 12 <= riff_end) {
        const uint32_t size = read32(at + 4);
        if (size == 0xFFFFFFFFu) return -1;
        if (read32(at) == 0x5453494Cu /* LIST */ && read32(at + 8) == 0x69766F6Du /* movi */) {
            long frames = 0;
            for (std::streamoff c = at + 12; c + 8 <= at + 8 + size;) {
                const uint32_t id = read32(c), chunk = read32(c + 4);
                if (chunk == 0xFFFFFFFFu) return -1;
                frames += id == 0x62643030u /* 00db */;
                c += 8 + chunk + (chunk & 1);
            }
            return frames;
        }
        at += 8 + size + (size & 1);
    }
    return -1;
}

class ToolFiles : public ToolTest {
protected:
    void TearDown() override { fs::remove_all(folder); }
    const fs::path folder = fs::temp_directory_path() / unique_test_name();
};

}  // namespace

// Each file's type comes from its extension, in the colour mode asked for; --type overrides it.
TEST_F(ToolFiles, SnapshotSavesTheTypeItsNameAsks) {
    fs::create_directories(folder);
    const std::string png = (folder / "a.png").string();
    const ToolRun run = run_tool({"snapshot", png, (folder / "b.JPG").string(), (folder / "c.tiff").string(),
                                  (folder / "d.bmp").string(), "--mode", "48"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_EQ(file_start(folder / "b.JPG", 3), "\xFF\xD8\xFF");
    EXPECT_EQ(file_start(folder / "c.tiff", 4), std::string("II*\0", 4));
    EXPECT_EQ(file_start(folder / "d.bmp", 2), "BM");
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str()));
    EXPECT_EQ(image.width, 1280u);
    EXPECT_EQ(image.height, 1024u);
    EXPECT_EQ(PNG_IMAGE_SAMPLE_COMPONENT_SIZE(image.format), 2u);  // 48-bit colour keeps 16-bit samples
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    EXPECT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;

    ASSERT_EQ(run_tool({"snapshot", png, "--type", "raw", "--mode", "8"}).status, 0);
    EXPECT_EQ(fs::file_size(png), 1280u * 1024u);
    EXPECT_EQ(run_tool({"snapshot", (folder / "f.gif").string()}).status, 2);
}

TEST_F(ToolFiles, RecordLeavesAnAviWithTheFrameCountItReports) {
    const std::string avi = (folder / "r.avi").string();
    fs::create_directories(folder);
    const ToolRun run = run_tool({"record", "0.3", avi});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const long chunks = avi_frame_chunks(avi);
    EXPECT_GE(chunks, 1);
    EXPECT_TRUE(contains(run.out, "recorded " + std::to_string(chunks) + " frames of 1280 x 1024")) << run.out;
}

// Stored values come back in the next process's handle; a refused value names its error code.
TEST_F(ToolTest, SettingsOutliveTheRunAndRefusalsNameTheirCode) {
    ASSERT_EQ(run_tool({"set", "brightness", "20", "mirror-h", "1"}).status, 0);
    EXPECT_TRUE(contains(run_tool({"get", "brightness", "mirror-h"}).out, "brightness         = 20 "));
    const ToolRun refused = run_tool({"set", "contrast", "128"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "contrast 128 was refused: the range is -127 to 127")) << refused.err;
    EXPECT_EQ(run_tool({"set", "no-such-setting", "1"}).status, 2);
    ASSERT_EQ(run_tool({"settings", "reset"}).status, 0);
    const ToolRun after = run_tool({"settings", "show"});
    EXPECT_TRUE(contains(after.out, "brightness         = 0 ")) << after.out;
    EXPECT_TRUE(contains(after.out, "mirror-h           = 0 ")) << after.out;
}

// The tool keeps its own table of the filter values (it sees only the public header): each
// value's name, reset default and stated range are those of the library's list.
TEST_F(ToolTest, FilterValueNamesDefaultsAndRangesFollowTheLibrarysList) {
    ASSERT_EQ(run_tool({"settings", "reset"}).status, 0);
    const std::string shown = run_tool({"settings", "show"}).out;
    for (const imvela::FilterValueFacts& facts : imvela::filter_value_list::kFacts) {
        char line[64];
        std::snprintf(line, sizeof line, "%-18s = ", facts.tool_name);
        const size_t at = shown.find(line);
        ASSERT_NE(at, std::string::npos) << facts.tool_name << " missing from\n" << shown;
        const std::string rest = shown.substr(at + std::strlen(line), shown.find('\n', at) - at - std::strlen(line));
        if (facts.default_value != imvela::kNoDefault) {
            EXPECT_EQ(rest.substr(0, rest.find(' ')), std::to_string(facts.default_value)) << facts.tool_name;
        }
        const bool ranged = facts.minimum != imvela::filter_value_list::kAnyLow && facts.maximum > facts.minimum + 1;
        if (ranged) {
            EXPECT_TRUE(contains(rest, std::to_string(facts.minimum) + " to " + std::to_string(facts.maximum)))
                << facts.tool_name << ": " << rest;
        }
    }
}

TEST_F(ToolTest, TriggerCountsEveryFiredFrame) {
    const ToolRun run = run_tool({"trigger", "3", "--mode", "8"});
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_TRUE(contains(run.out, "3 of 3 triggers delivered a frame")) << run.out;
}

// Three defect records, one repeated and one off the sensor: one pixel corrected.
TEST_F(ToolFiles, DefectsCountsThePixelsInTheWindow) {
    fs::create_directories(folder);
    const fs::path list = folder / "defects.bin";
    const int32_t records[] = {10, 20, 10, 20, 5000, 5};
    std::ofstream(list, std::ios::binary).write(reinterpret_cast<const char*>(records), sizeof records);
    const ToolRun run = run_tool({"defects", list.string()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(contains(run.out, "corrects 1 pixels")) << run.out;
    EXPECT_EQ(run_tool({"defects", (folder / "missing.bin").string()}).status, 1);
}

