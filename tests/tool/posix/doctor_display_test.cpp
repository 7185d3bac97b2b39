// Without a display the doctor fails the preview-window check and says what to do.
#include "../tool_run.h"

// Capture works windowless: a missing display fails only when previews are asked for.
TEST_F(ToolTest, DoctorWithoutDisplaySaysHowToGetOne) {
    ScopedEnvironment no_display("DISPLAY", nullptr);
    const ToolRun doctor = run_tool({"doctor"});
    EXPECT_EQ(doctor.status, 0);
    EXPECT_NE(doctor.out.find("[warn] no display for preview windows: DISPLAY is not set"), std::string::npos)
        << doctor.out;
    EXPECT_NE(doctor.out.find("what to do: set DISPLAY"), std::string::npos);
    const ToolRun preview = run_tool({"doctor", "--preview"});
    EXPECT_EQ(preview.status, 1);
    EXPECT_NE(preview.out.find("[FAIL] no display for preview windows"), std::string::npos) << preview.out;
}
