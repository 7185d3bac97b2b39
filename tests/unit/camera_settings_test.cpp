#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "settings/camera_settings.h"
#include "platform/settings_tree.h"
#include "support/scratch_store.h"
#include "unit/stored_ranges.h"

using imvela::AnalogBlock;
using imvela::CameraSettings;
using imvela::CaptureWindow;
using imvela::ImageProcessingBlock;
using imvela::SizeTable;
using imvela::VideoFormat;
using imvela::platform::SettingsKeyHandle;

namespace {

class CameraSettingsTest : public ::testing::Test {
protected:
    std::string path(const std::string& below) const { return below.empty() ? store.root() : store.root() + "\\" + below; }

    void put(const std::string& key, const char* name, int32_t value) {
        SettingsKeyHandle handle = SettingsKeyHandle::create(nullptr, path(key).c_str());
        ASSERT_TRUE(handle);
        ASSERT_TRUE(handle.write(name, value));
    }
    void put_entry(int entry, const CaptureWindow& w, int device = 0) {
        char key[64];
        std::snprintf(key, sizeof key, "Camera_%02d\\Size_%02d", device, entry);
        put(key, "TH", w.total_width);
        put(key, "TV", w.total_height);
        put(key, "EH", w.width);
        put(key, "EV", w.height);
        put(key, "EHS", w.h_start);
        put(key, "EVS", w.v_start);
        put(key, "Buf", w.buffer_count);
    }
    bool exists(const std::string& key) const { return bool(SettingsKeyHandle::open(nullptr, path(key).c_str())); }
    // The stored value, or `missing` when there is none.
    int32_t get(const std::string& key, const char* name, int32_t missing = -999) const {
        SettingsKeyHandle handle = SettingsKeyHandle::open(nullptr, path(key).c_str());
        int32_t value = missing;
        if (handle) handle.read(name, &value);
        return value;
    }

    static CaptureWindow window(int32_t th, int32_t tv, int32_t eh, int32_t ev, int32_t ehs, int32_t evs, int32_t buf) {
        CaptureWindow w;
        w.total_width = th, w.total_height = tv, w.width = eh, w.height = ev, w.h_start = ehs, w.v_start = evs,
        w.buffer_count = buf;
        return w;
    }
    static ImageProcessingBlock filled_block(int32_t value) {
        ImageProcessingBlock block;
        for (int32_t& v : block.values) v = value;
        return block;
    }

    ScratchSettings store;
    CameraSettings settings{store.root()};
};

TEST_F(CameraSettingsTest, FirstUseWritesExactlyTheDefaultTreeAndReadsNothing) {
    ASSERT_FALSE(exists(""));
    const CaptureWindow sentinel = window(1, 2, 3, 4, 5, 6, 7);
    CaptureWindow w = sentinel;
    EXPECT_EQ(settings.load_size_entry(0, &w), 0);
    EXPECT_EQ(w, sentinel);

    EXPECT_EQ(get("Camera_00", "Size"), 0);
    EXPECT_EQ(get("Camera_00", "Color"), 2);
    EXPECT_EQ(get("Camera_00", "SubSample"), 0);
    EXPECT_EQ(get("Camera_00", "WaitTime"), 1);
    EXPECT_EQ(get("Camera_00", "Clock"), 2);
    const char* names[] = {"TH", "TV", "EH", "EV", "EHS", "EVS", "Buf"};
    const int32_t values[] = {1292, 1040, 1280, 1024, 0, 0, 4};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(get("Camera_00\\Size_00", names[i]), values[i]) << names[i];
    for (const char* absent : {"Camera_00\\Size_01", "Camera_00\\Gain", "Camera_00\\Filter", "Camera_00\\Gray",
                               "Camera_01"})
        EXPECT_FALSE(exists(absent)) << absent;

    // The video-format load then reads what was just written; a second size-entry load reads
    // entry 00.
    VideoFormat format;
    EXPECT_EQ(settings.load_video_format(0, &format), 1);
    EXPECT_EQ(format.color, 2);
    EXPECT_EQ(format.sub_sample, 0);
    EXPECT_EQ(format.wait_time, 1);
    EXPECT_EQ(format.clock, 2);
    w = sentinel;
    EXPECT_EQ(settings.load_size_entry(0, &w), 1);
    EXPECT_EQ(w, CaptureWindow{});
}

TEST_F(CameraSettingsTest, FirstUseCreatesTheKeyOfTheGivenDeviceOnly) {
    CaptureWindow w;
    EXPECT_EQ(settings.load_size_entry(3, &w), 0);
    EXPECT_TRUE(exists("Camera_03\\Size_00"));
    EXPECT_FALSE(exists("Camera_00"));
    // With the root present, an unknown device number is left alone.
    EXPECT_EQ(settings.load_size_entry(5, &w), 0);
    EXPECT_FALSE(exists("Camera_05"));
    VideoFormat format;
    EXPECT_EQ(settings.load_video_format(5, &format), 0);
}

TEST_F(CameraSettingsTest, SizeNamingAMissingEntryLeavesTheWindow) {
    put_entry(0, window(1292, 1040, 640, 480, 8, 8, 2));
    put("Camera_00", "Size", 4);
    const CaptureWindow sentinel = window(1, 2, 3, 4, 5, 6, 7);
    CaptureWindow w = sentinel;
    EXPECT_EQ(settings.load_size_entry(0, &w), 0);
    EXPECT_EQ(w, sentinel);

    put("Camera_00", "Size", 0);
    EXPECT_EQ(settings.load_size_entry(0, &w), 1);
    EXPECT_EQ(w, window(1292, 1040, 640, 480, 8, 8, 2));
}

TEST_F(CameraSettingsTest, MissingValuesKeepTheirFields) {
    put("Camera_00\\Size_01", "EH", 320);
    put("Camera_00", "Size", 1);
    put("Camera_00", "Clock", 1);
    put("Camera_00\\Filter", "Gamma", 150);
    put("Camera_00\\Gray", "OffsetG2", -7);

    CaptureWindow w = window(1, 2, 3, 4, 5, 6, 7);
    EXPECT_EQ(settings.load_size_entry(0, &w), 1);
    EXPECT_EQ(w, window(1, 2, 320, 4, 5, 6, 7));

    VideoFormat format;
    format.color = 5, format.sub_sample = 6, format.wait_time = 7;
    EXPECT_EQ(settings.load_video_format(0, &format), 1);
    EXPECT_EQ(format.color, 5);
    EXPECT_EQ(format.sub_sample, 6);
    EXPECT_EQ(format.wait_time, 7);
    EXPECT_EQ(format.clock, 1);

    ImageProcessingBlock block = filled_block(55);
    EXPECT_EQ(settings.load_filter(0, &block), 1);
    EXPECT_EQ(settings.load_gray(0, &block), 1);
    for (int i = 0; i < ImageProcessingBlock::kCount; ++i) {
        const int32_t expected = i == ImageProcessingBlock::kGamma ? 150 : i == ImageProcessingBlock::kGrayOffsetG2 ? -7 : 55;
        EXPECT_EQ(block[i], expected) << "position " << i;
    }
}

TEST_F(CameraSettingsTest, MissingGroupKeysGiveTheDefaults) {
    ImageProcessingBlock block = filled_block(55);
    EXPECT_EQ(settings.load_filter(2, &block), 0);
    EXPECT_EQ(settings.load_gray(2, &block), 0);
    const int32_t expected[30] = {0,   0,   0,   0,   0,  100, 100, 100, 100, 3,  55, 0,  128, 128, 128,
                                  128, 0,   0,   0,   0,  0,   0,   0,   0,   0,  0,  0,  0,   0,   55};
    for (int i = 0; i < ImageProcessingBlock::kCount; ++i) EXPECT_EQ(block[i], expected[i]) << "position " << i;

    AnalogBlock analog;
    for (int32_t& v : analog.values) v = 55;
    EXPECT_EQ(settings.load_analog(2, &analog, 1, 0), 1);
    const int32_t analog_expected[9] = {0, 0, 0, 0, 0, 637, 1, 0, 0};
    for (int i = 0; i < AnalogBlock::kCount; ++i) EXPECT_EQ(analog[i], analog_expected[i]) << "position " << i;
    EXPECT_EQ(settings.load_analog(2, nullptr, 0, 0), 0);
}

TEST_F(CameraSettingsTest, AnalogMissingValueRepeatsTheOneBeforeIt) {
    // "Global" and "ColorR" missing; "ColorB" present; "Exposure" onwards missing.
    // A repeated value is judged in its new place: 9 is no mirror flag nor auto-iris mode.
    put("Camera_00\\Gain", "ColorG1", 5);
    put("Camera_00\\Gain", "ColorB", 7);
    put("Camera_00\\Gain", "ColorG2", 9);
    AnalogBlock analog;
    for (int32_t& v : analog.values) v = 55;
    EXPECT_EQ(settings.load_analog(0, &analog, 1, 1), 1);
    const int32_t expected[9] = {0, 5, 5, 7, 9, 9, 1, 1, 0};
    for (int i = 0; i < AnalogBlock::kCount; ++i) EXPECT_EQ(analog[i], expected[i]) << "position " << i;
}

// Every stored value of every group is judged against its range when loaded: INT_MIN,
// INT_MAX, -1 and each bound and its neighbours; a value outside is that value's default
// (the mirrors: the device's state, here 1), a video-format value outside keeps its field.
TEST_F(CameraSettingsTest, EveryStoredValueOutsideItsRangeIsItsDefault) {
    for (const StoredRange& v : stored_ranges()) {
        const std::string key = std::string("Camera_00") + (v.key[0] ? "\\" : "") + v.key;
        for (const int32_t value : poisons(v)) {
            put(key, v.name, value);
            int32_t loaded = 0;
            if (std::string(v.key) == "Gain") {
                AnalogBlock block;
                settings.load_analog(0, &block, 1, 1);
                loaded = block[v.position];
            } else if (v.key[0]) {
                ImageProcessingBlock block;
                settings.load_filter(0, &block);
                settings.load_gray(0, &block);
                loaded = block[v.position];
            } else {
                VideoFormat format{4, 4, 4, 4, 1};
                settings.load_video_format(0, &format);
                SizeTable sizes;
                settings.load_dialog(0, &sizes, &format);
                const int32_t fields[] = {format.color, format.sub_sample, format.wait_time, format.clock, format.size};
                loaded = fields[v.position];
            }
            EXPECT_EQ(loaded, value >= v.minimum && value <= v.maximum ? value : v.fallback) << v.name << " " << value;
        }
    }
}

TEST_F(CameraSettingsTest, GroupsRoundTripAndLeaveUnstoredPositions) {
    AnalogBlock analog;
    ImageProcessingBlock block;
    analog.values[0] = 11, analog.values[1] = 1, analog.values[2] = 2, analog.values[3] = 3, analog.values[4] = 4;
    analog.values[5] = 32767, analog.values[6] = 1, analog.values[7] = 0, analog.values[8] = 2;
    for (int i = 0; i < ImageProcessingBlock::kCount; ++i) block[i] = i % 3;
    EXPECT_EQ(settings.save_analog(1, analog), 1);
    EXPECT_EQ(settings.save_filter(1, block), 1);
    EXPECT_EQ(settings.save_gray(1, block), 1);
    EXPECT_EQ(get("Camera_01\\Filter", "BayerMode"), 0);
    EXPECT_EQ(get("Camera_01\\Gray", "GainB1"), 0);
    EXPECT_EQ(get("Camera_01\\Gain", "Exposure"), 32767);

    AnalogBlock analog_loaded;
    ImageProcessingBlock loaded = filled_block(77);
    EXPECT_EQ(settings.load_analog(1, &analog_loaded, 0, 0), 1);
    EXPECT_EQ(settings.load_filter(1, &loaded), 1);
    EXPECT_EQ(settings.load_gray(1, &loaded), 1);
    for (int i = 0; i < AnalogBlock::kCount; ++i) EXPECT_EQ(analog_loaded[i], analog[i]) << "analog " << i;
    for (int i = 0; i < ImageProcessingBlock::kCount; ++i) {
        const bool stored = i <= 9 || (i >= 11 && i <= 19);
        EXPECT_EQ(loaded[i], stored ? block[i] : 77) << "position " << i;
    }
}

TEST_F(CameraSettingsTest, SizeTableStopsAtTheFirstGap) {
    put_entry(0, window(1292, 1040, 1280, 1024, 0, 0, 4));
    put_entry(1, window(1292, 1040, 640, 480, 2, 4, 3));
    put_entry(3, window(1292, 1040, 320, 240, 0, 0, 4));
    SizeTable table;
    VideoFormat format;
    EXPECT_EQ(settings.load_dialog(0, &table, &format), 1);
    EXPECT_EQ(table.count, 2);
    EXPECT_EQ(table.entries[1], window(1292, 1040, 640, 480, 2, 4, 3));

    CaptureWindow found;
    EXPECT_FALSE(settings.find_capture_window(0, 320, 240, &found));
    EXPECT_TRUE(settings.find_capture_window(0, 640, 480, &found));
    EXPECT_EQ(found, window(1292, 1040, 640, 480, 2, 4, 3));
}

TEST_F(CameraSettingsTest, CaptureWindowLookupFindsTheFirstMatch) {
    CaptureWindow found;
    EXPECT_FALSE(settings.find_capture_window(0, 1280, 1024, &found));  // no tree yet
    CaptureWindow w;
    settings.load_size_entry(0, &w);  // first use
    const CaptureWindow sentinel = window(1, 2, 3, 4, 5, 6, 7);
    found = sentinel;
    EXPECT_TRUE(settings.find_capture_window(0, 1280, 1024, &found));
    EXPECT_EQ(found, CaptureWindow{});

    put_entry(1, window(1292, 1040, 640, 480, 10, 20, 1));
    put_entry(2, window(1292, 1040, 640, 480, 30, 40, 2));
    EXPECT_TRUE(settings.find_capture_window(0, 640, 480, &found));
    EXPECT_EQ(found.h_start, 10);
    found = sentinel;
    EXPECT_FALSE(settings.find_capture_window(0, 480, 640, &found));
    EXPECT_EQ(found, sentinel);
    EXPECT_FALSE(settings.find_capture_window(1, 1280, 1024, &found));
}

TEST_F(CameraSettingsTest, DialogSaveKeepsLaterEntriesAndWritesTheVideoFormat) {
    SizeTable table;
    table.count = 4;
    for (int i = 0; i < 4; ++i) table.entries[i] = window(1292, 1040, 100 + i, 200 + i, i, i, 4);
    VideoFormat format;
    format.size = 3, format.color = 4, format.sub_sample = 0, format.wait_time = 25, format.clock = 1;
    ASSERT_EQ(settings.save_dialog(2, table, format), 1);

    SizeTable shorter;
    shorter.count = 2;
    shorter.entries[0] = window(1292, 1040, 800, 600, 0, 0, 4);
    shorter.entries[1] = window(1292, 1040, 400, 300, 0, 0, 4);
    format.size = 1;
    ASSERT_EQ(settings.save_dialog(2, shorter, format), 1);

    SizeTable loaded;
    VideoFormat loaded_format;
    EXPECT_EQ(settings.load_dialog(2, &loaded, &loaded_format), 1);
    ASSERT_EQ(loaded.count, 4);
    EXPECT_EQ(loaded.entries[0].width, 800);
    EXPECT_EQ(loaded.entries[1].width, 400);
    EXPECT_EQ(loaded.entries[2].width, 102);
    EXPECT_EQ(loaded.entries[3].width, 103);
    EXPECT_EQ(loaded_format.size, 1);
    EXPECT_EQ(loaded_format.color, 4);
    EXPECT_EQ(loaded_format.wait_time, 25);
    EXPECT_EQ(loaded_format.clock, 1);

    CaptureWindow w;
    EXPECT_EQ(settings.load_size_entry(2, &w), 1);
    EXPECT_EQ(w.width, 400);

    loaded.count = 7;
    EXPECT_EQ(settings.load_dialog(9, &loaded, &loaded_format), 0);
    EXPECT_EQ(loaded.count, 0);
}

TEST_F(CameraSettingsTest, SavesReportAKeyThatCannotBeCreated) {
    // A key name longer than any store accepts.
    CameraSettings broken(store.root() + "\\" + std::string(300, 'k'));
    AnalogBlock analog;
    ImageProcessingBlock block;
    EXPECT_EQ(broken.save_analog(0, analog), 0);
    EXPECT_EQ(broken.save_filter(0, block), 0);
    EXPECT_EQ(broken.save_gray(0, block), 0);
    EXPECT_EQ(broken.save_dialog(0, SizeTable{}, VideoFormat{}), 0);
    EXPECT_EQ(broken.load_filter(0, &block), 0);
    EXPECT_EQ(block[ImageProcessingBlock::kGamma], 100);
}

}  // namespace
