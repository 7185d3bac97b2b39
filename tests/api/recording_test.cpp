#include <string>

#include "recording_fixture.h"

namespace {

TEST_F(RecordingTest, StartsWithoutANameOrWithAnUnconvertibleOneAreRefused) {
    const std::vector<IMVELA_WCHAR> too_long(1100, 'a');
    std::vector<IMVELA_WCHAR> wide_name(too_long);
    wide_name.push_back(0);
    EXPECT_EQ(Imvela_Record(handle, nullptr, 0, 0), 0);
    EXPECT_EQ(Imvela_Record(handle, "", 0, 0), 0);
    EXPECT_EQ(Imvela_RecordW(handle, wide_name.data(), 0, 0), 0);
    EXPECT_EQ(errors(), (Codes{ERR_FILE, ERR_ARGUMENT, ERR_ARGUMENT}));
}

TEST_F(RecordingTest, DurationZeroEndsWithTheSecondFrame) {
    ScopedEnvironment paced("IMVELA_EMULATOR_FPS", "30");
    ASSERT_EQ(Imvela_Record(handle, file.c_str(), 0, 0), 1);
    const std::vector<uint8_t> b = finished(file);
    Imvela_StopPreview(handle);
    EXPECT_EQ(plain_frames(b), 2u);
    EXPECT_EQ(errors(), Codes{});
}

TEST_F(RecordingTest, RecordWhileRecordingIsRefusedAndTheRunningOneGoesOn) {
    ASSERT_EQ(Imvela_Record(handle, file.c_str(), 400, 0), 1);
    ScratchFile second;
    EXPECT_EQ(Imvela_Record(handle, second.c_str(), 400, 0), 0);
    EXPECT_EQ(errors(), Codes{ERR_FILE});
    EXPECT_GT(plain_frames(finished(file)), 2u);
    EXPECT_TRUE(file_bytes(second.path()).empty());
    // A finished recording makes way for the next one.
    ASSERT_EQ(Imvela_Record(handle, second.c_str(), 0, 0), 1);
    EXPECT_EQ(plain_frames(finished(second)), 2u);
}

}  // namespace
