#include <gtest/gtest.h>

#include <climits>

#include "settings/capture_window.h"

using imvela::CaptureWindow;
using imvela::is_valid_capture_window;

namespace {

CaptureWindow area(int32_t width, int32_t height, int32_t h_start, int32_t v_start) {
    CaptureWindow w;
    w.width = width, w.height = height, w.h_start = h_start, w.v_start = v_start;
    return w;
}

TEST(CaptureWindow, EffectiveAreaMustLieInsideTheSensor) {
    EXPECT_TRUE(is_valid_capture_window(CaptureWindow{}, 0));
    EXPECT_TRUE(is_valid_capture_window(area(1292, 1040, 0, 0), 0));
    EXPECT_TRUE(is_valid_capture_window(area(12, 40, 1280, 1000), 0));
    EXPECT_TRUE(is_valid_capture_window(area(0, 0, 1292, 1040), 0));
    EXPECT_FALSE(is_valid_capture_window(area(1300, 1024, 0, 0), 0));
    EXPECT_FALSE(is_valid_capture_window(area(13, 40, 1280, 1000), 0));
    EXPECT_FALSE(is_valid_capture_window(area(12, 41, 1280, 1000), 0));
    EXPECT_FALSE(is_valid_capture_window(area(-1, 10, 0, 0), 0));
    EXPECT_FALSE(is_valid_capture_window(area(10, 10, 0, -1), 0));
    EXPECT_FALSE(is_valid_capture_window(area(1292, 1040, INT_MAX, 0), 0));
    CaptureWindow odd_totals = area(640, 480, 0, 0);
    odd_totals.total_width = -5;
    odd_totals.total_height = 99999;
    EXPECT_TRUE(is_valid_capture_window(odd_totals, 0));
}

TEST(CaptureWindow, UnsupportedSubSamplingModes) {
    for (int32_t mode : {1, 2, 3, 17, 18, 19}) EXPECT_FALSE(is_valid_capture_window(CaptureWindow{}, mode)) << mode;
    for (int32_t mode : {0, 4, 16, 20, -1}) EXPECT_TRUE(is_valid_capture_window(CaptureWindow{}, mode)) << mode;
}

}  // namespace
