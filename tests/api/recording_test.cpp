#include "recording_fixture.h"

namespace {

TEST_F(RecordingTest, StartsWithoutANameOrWithAnUnconvertibleOneAreRefused) {
    std::vector<IMVELA_WCHAR> too_long(1100, 'a');  // no room for it when converted
    too_long.back() = 0;
    EXPECT_EQ(Imvela_Record(handle, nullptr, 0, 0) + Imvela_Record(handle, "", 0, 0), 0);
    EXPECT_EQ(Imvela_RecordW(handle, too_long.data(), 0, 0), 0);
    EXPECT_EQ(errors(), (Codes{ERR_FILE, ERR_ARGUMENT, ERR_ARGUMENT}));
}

TEST_F(RecordingTest, RecordWhileRecordingIsRefusedAndTheRunningOneGoesOn) {
    ASSERT_EQ(Imvela_Record(handle, file.c_str(), 400, 0), 1);
    ScratchFile second;
    EXPECT_EQ(Imvela_Record(handle, second.c_str(), 400, 0), 0);
    EXPECT_EQ(errors(), Codes{ERR_FILE});
    EXPECT_GE(frames_when_finished(file), 2u);
    EXPECT_TRUE(file_bytes(second.path).empty());
    // A finished recording makes way for the next; duration 0 ends with the second frame.
    ASSERT_EQ(Imvela_Record(handle, second.c_str(), 0, 0), 1);
    EXPECT_EQ(frames_when_finished(second), 2u);
}

}  // namespace
