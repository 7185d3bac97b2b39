// Without a display the preview window cannot be made: the preview fails as it does for any
// window that cannot be created.
#include <gtest/gtest.h>

#include "ImvelaSdk.h"
#include "support/test_environment.h"
#include "support/wait.h"

TEST(PreviewWithoutDisplay, PreviewFailsWithTheWindowError) {
    ScopedEnvironment cameras("IMVELA_EMULATOR", "0");
    ScopedEnvironment noDisplay("DISPLAY", nullptr);
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(0, h);
    drain_codes([h] { return Imvela_GetLastError(h); });
    EXPECT_EQ(0, Imvela_Preview(h));
    EXPECT_EQ(ERR_WINDOW, Imvela_GetLastError(h));
    EXPECT_EQ(0, Imvela_GetLastError(h));
    EXPECT_EQ(0, Imvela_Trigger(h, nullptr, nullptr, 0, 0));
    EXPECT_EQ(ERR_WINDOW, Imvela_GetLastError(h));
    EXPECT_EQ(0, Imvela_GetLastError(h));
    // Windowless capture needs no display.
    EXPECT_EQ(1, Imvela_SetPreviewWindow(h, nullptr, 0, 0, 0, 0));
    EXPECT_EQ(1, Imvela_Preview(h));
    EXPECT_EQ(1, Imvela_Close(h));
    EXPECT_EQ(1, Imvela_Release(h));
}
