// The preview window, created and painted on a real screen (Xvfb, or Wine's windows on it)
// from image buffers filled by the test, and checked by screenshots row by row.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "support/screen_probe.h"
#include "imaging/image_set.h"
#include "preview/preview_window.h"
#include "support/wait.h"

namespace imvela {
namespace {

// 8-bit and 24-bit rows are padded; half the width is still wider than the narrowest
// top-level window.
constexpr int32_t kWidth = 250, kHeight = 150;

// The picture every mode shows: blue follows the column, green the row, red both, so a
// screenshot pixel tells where it came from and whether the channels were swapped.
uint8_t blue_at(int32_t x, int32_t) { return static_cast<uint8_t>(x); }
uint8_t green_at(int32_t, int32_t y) { return static_cast<uint8_t>(y); }
uint8_t red_at(int32_t x, int32_t y) { return static_cast<uint8_t>(x * 7 + y * 13 + 5); }
uint8_t gray_at(int32_t x, int32_t y) { return static_cast<uint8_t>(x + 3 * y); }

uint32_t rgb(uint8_t r, uint8_t g, uint8_t b) { return (uint32_t{r} << 16) | (uint32_t{g} << 8) | b; }

// What the screen shows at source pixel (x, y) in a colour mode.
uint32_t expected_at(int32_t mode, int32_t x, int32_t y) {
    if (mode <= 1) {
        const uint8_t v = gray_at(x, y);
        return rgb(v, v, v);
    }
    return rgb(red_at(x, y), green_at(x, y), blue_at(x, y));
}

void put16(uint8_t* p, uint16_t v) { std::memcpy(p, &v, 2); }

// Fills the buffer the colour mode's picture comes from. Bits that painting must drop (low
// bits of 16-bit samples, the fourth byte or word) carry noise.
void fill_source(ImageSet& images, int32_t mode) {
    static const BufferIndex kSource[] = {kRaw8, kRaw16, kColor24, kColor32, kColor48, kColor64};
    static const int32_t kBits[] = {8, 16, 24, 32, 48, 64};
    CImageBuffer& b = images[kSource[mode]];
    ASSERT_EQ(1, b.Create(kWidth, kHeight, kBits[mode]));
    // The buffer the picture is reduced into, as capture preparation makes it.
    if (mode == 1) {
        ASSERT_EQ(1, images[kRaw8].Create(kWidth, kHeight, 8));
    } else if (mode >= 3) {
        ASSERT_EQ(1, images[kColor24].Create(kWidth, kHeight, 24));
    }
    for (int32_t y = 0; y < kHeight; ++y) {
        uint8_t* row = b.bits() + static_cast<ptrdiff_t>(y) * b.stride();
        for (int32_t x = 0; x < kWidth; ++x) {
            const uint8_t noise = static_cast<uint8_t>((x * 5 + y) & 0xF);
            const uint8_t channels[3] = {blue_at(x, y), green_at(x, y), red_at(x, y)};
            switch (mode) {
                case 0: row[x] = gray_at(x, y); break;
                case 1: put16(row + 2 * x, static_cast<uint16_t>(gray_at(x, y) << 4 | noise)); break;
                case 2: std::memcpy(row + 3 * x, channels, 3); break;
                case 3:
                    std::memcpy(row + 4 * x, channels, 3);
                    row[4 * x + 3] = 0xA5;
                    break;
                default: {
                    const int32_t step = mode == 4 ? 6 : 8;
                    for (int c = 0; c < 3; ++c) put16(row + step * x + 2 * c, static_cast<uint16_t>(channels[c] << 4 | noise));
                    if (mode == 5) put16(row + step * x + 6, 0xFFFF);
                }
            }
        }
    }
}

class PreviewWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!screen_available()) GTEST_SKIP() << "no screen to show windows on";
        window_.place(nullptr, 0, 0, kWidth, kHeight);
    }
    void TearDown() override {
        window_.close();
        if (parent_) destroy_parent_window(parent_);
    }

    uintptr_t make_parent() {
        parent_ = create_parent_window(400, 300);
        return parent_;
    }
    // Shows the mode's picture and takes a screenshot of the window.
    WindowShot paint_and_shoot(int32_t mode) {
        fill_source(images_, mode);
        window_.paint(images_, mode);
        WindowShot shot;
        EXPECT_TRUE(take_window_shot(window_.native_window(), &shot));
        return shot;
    }
    bool open() { return window_.open(kWidth, kHeight, 0); }
    std::string class_name() const {
        char name[256];
        window_.class_name(name);
        return name;
    }

    PreviewWindow window_;
    ImageSet images_;
    uintptr_t parent_ = 0;
};

TEST_F(PreviewWindowTest, TopLevelWindowIsCentredWithTheImageAsClientArea) {
    ASSERT_TRUE(open());
    const std::string name = class_name();
    EXPECT_EQ(0u, name.rfind("VideoRenderer_", 0)) << name;
    EXPECT_EQ(31u, name.size()) << name;

    WindowFacts facts;
    ASSERT_TRUE(describe_window(window_.native_window(), &facts));
    EXPECT_EQ("Active Window", facts.title);
    EXPECT_EQ(name, facts.class_name);
    EXPECT_EQ(0u, facts.parent);
    EXPECT_TRUE(facts.visible);
    EXPECT_EQ(kWidth, facts.client_width);
    EXPECT_EQ(kHeight, facts.client_height);
    EXPECT_EQ((screen_width() - facts.outer_width) / 2, facts.outer_x);
    EXPECT_EQ((screen_height() - facts.outer_height) / 2, facts.outer_y);
    if (facts.styled) {
        EXPECT_EQ(0x16CF0000u, facts.style);
        EXPECT_TRUE(window_class_registered(name.c_str()));
    }
    EXPECT_TRUE(window_.ready());

    const uintptr_t window = window_.native_window();
    window_.close();
    EXPECT_FALSE(window_exists(window));
    EXPECT_FALSE(window_class_registered(name.c_str()));
    EXPECT_EQ("", class_name());
    EXPECT_FALSE(window_.ready());
}

TEST_F(PreviewWindowTest, ChildWindowFillsThePreviewRectangleOfItsParent) {
    const uintptr_t parent = make_parent();
    ASSERT_NE(0u, parent);
    window_.place(reinterpret_cast<HWND>(parent), 10, 20, 160, 90);
    ASSERT_TRUE(open());
    WindowFacts facts;
    ASSERT_TRUE(describe_window(window_.native_window(), &facts));
    EXPECT_EQ("ActiveMovie Window", facts.title);
    EXPECT_EQ(parent, facts.parent);
    EXPECT_EQ(10, facts.client_x);
    EXPECT_EQ(20, facts.client_y);
    EXPECT_EQ(160, facts.client_width);
    EXPECT_EQ(90, facts.client_height);
    if (facts.styled) {
        EXPECT_EQ(0x52000000u, facts.style);
        EXPECT_EQ(6540, facts.identifier);
    }
    // The child's client area differs from the picture: the display buffer scales it, the
    // first column at the left, the last row at the bottom (rows are sampled from the bottom
    // up, so the top shows row 0 or 1).
    const WindowShot shot = paint_and_shoot(2);
    ASSERT_EQ(160, shot.width);
    ASSERT_EQ(90, shot.height);
    EXPECT_EQ(0u, shot.at(0, 89) & 0xFF);
    EXPECT_EQ(uint32_t{kHeight - 1}, (shot.at(0, 89) >> 8) & 0xFF);
    EXPECT_GE(1u, (shot.at(0, 0) >> 8) & 0xFF);
    EXPECT_EQ(160, images_[kDisplay].width());
}

TEST_F(PreviewWindowTest, NothingToCreateOrNowhereToCreateItFailsAndLeavesNothing) {
    window_.place(nullptr, 0, 0, 0, 0);
    EXPECT_FALSE(open());
    EXPECT_EQ(0u, window_.native_window());

    // A parent that does not exist.
    window_.place(reinterpret_cast<HWND>(uintptr_t{0x3f00ab1}), 0, 0, 50, 50);
    EXPECT_FALSE(open());
    EXPECT_EQ(0u, window_.native_window());
    EXPECT_EQ("", class_name());
    EXPECT_EQ(0, count_windows_titled("ActiveMovie Window"));
    window_.paint(images_, 2);  // nothing to paint on
}

// At the picture's own size every mode shows memory row 0 exactly at the top and the last row
// at the bottom, with the channels in their places; only colour mode 1 goes through the
// display buffer.
TEST_F(PreviewWindowTest, EveryColourModeShowsThePictureRowByRowAtItsOwnSize) {
    ASSERT_TRUE(open());
    for (int32_t mode : {0, 2, 3, 4, 5, 1}) {
        SCOPED_TRACE(mode);
        images_[kDisplay].Release();
        const WindowShot shot = paint_and_shoot(mode);
        ASSERT_EQ(kWidth, shot.width);
        ASSERT_EQ(kHeight, shot.height);
        int wrongRows = 0;
        for (int32_t y = 0; y < kHeight; ++y) {
            bool rowOk = true;
            for (int32_t x = 0; x < kWidth && rowOk; ++x) rowOk = shot.at(x, y) == expected_at(mode, x, y);
            if (!rowOk && wrongRows++ < 3)
                ADD_FAILURE() << "row " << y << " shows " << std::hex << shot.at(0, y) << " at its start, expected "
                              << expected_at(mode, 0, y);
        }
        EXPECT_EQ(0, wrongRows);
        EXPECT_EQ(mode == 1, images_[kDisplay].has_pixels());
    }
}

TEST_F(PreviewWindowTest, ResizedWindowShowsThePictureScaledToTheNewClientArea) {
    ASSERT_TRUE(open());
    const uintptr_t window = window_.native_window();
    for (int32_t mode : {2, 0}) {
        SCOPED_TRACE(mode);
        // Half size: every second column from the first, every second row from the last.
        ASSERT_TRUE(resize_window_client(window, kWidth / 2, kHeight / 2));
        WindowShot shot = paint_and_shoot(mode);
        ASSERT_EQ(kWidth / 2, shot.width);
        ASSERT_EQ(kHeight / 2, shot.height);
        int wrong = 0;
        for (int32_t y = 0; y < shot.height; ++y)
            for (int32_t x = 0; x < shot.width; ++x) wrong += shot.at(x, y) != expected_at(mode, 2 * x, 2 * y + 1);
        EXPECT_EQ(0, wrong);
        const CImageBuffer& display = images_[kDisplay];
        EXPECT_EQ(kWidth / 2, display.width());
        EXPECT_EQ(mode == 0 ? 8 : 24, display.bits_per_pixel());
    }
    // Larger and of another shape: source rows and columns advance from the first to the last.
    ASSERT_TRUE(resize_window_client(window, kWidth + 37, kHeight + 11));
    const WindowShot shot = paint_and_shoot(2);
    ASSERT_EQ(kWidth + 37, shot.width);
    ASSERT_EQ(kHeight + 11, shot.height);
    auto row_of = [&](int32_t y) { return static_cast<int32_t>((shot.at(0, y) >> 8) & 0xFF); };
    auto column_of = [&](int32_t x) { return static_cast<int32_t>(shot.at(x, 0) & 0xFF); };
    EXPECT_EQ(0, row_of(0));
    EXPECT_EQ(kHeight - 1, row_of(shot.height - 1));
    EXPECT_EQ(0, column_of(0));
    EXPECT_EQ(kWidth - 1, column_of(shot.width - 1));
    for (int32_t y = 1; y < shot.height; ++y) {
        const int32_t step = row_of(y) - row_of(y - 1);
        EXPECT_TRUE(step == 0 || step == 1) << y;
    }
    for (int32_t x = 1; x < shot.width; ++x) {
        const int32_t step = column_of(x) - column_of(x - 1);
        EXPECT_TRUE(step == 0 || step == 1) << x;
    }
    // Back to the picture's size: the direct copy again.
    ASSERT_TRUE(resize_window_client(window, kWidth, kHeight));
    images_[kDisplay].Release();
    const WindowShot direct = paint_and_shoot(2);
    EXPECT_EQ(expected_at(2, 0, 0), direct.at(0, 0));
    EXPECT_EQ(expected_at(2, kWidth - 1, kHeight - 1), direct.at(kWidth - 1, kHeight - 1));
    EXPECT_FALSE(images_[kDisplay].has_pixels());
}

TEST_F(PreviewWindowTest, DisplayBufferTakesTheClientSizeAndTheModesDepth) {
    window_.size_display(images_, 2);  // no window: nothing
    EXPECT_FALSE(images_[kDisplay].has_pixels());
    ASSERT_TRUE(open());
    ASSERT_TRUE(resize_window_client(window_.native_window(), 120, 70));
    for (int32_t mode = 0; mode < 6; ++mode) {
        window_.size_display(images_, mode);
        const CImageBuffer& display = images_[kDisplay];
        EXPECT_EQ(120, display.width()) << mode;
        EXPECT_EQ(70, display.height()) << mode;
        EXPECT_EQ(mode <= 1 ? 8 : 24, display.bits_per_pixel()) << mode;
    }
}

TEST_F(PreviewWindowTest, WindowClosedByTheUserIsNoLongerPainted) {
    ASSERT_TRUE(open());
    const uintptr_t window = window_.native_window();
    paint_and_shoot(2);
    ASSERT_TRUE(close_window_as_user(window));
    EXPECT_FALSE(window_.ready());
    window_.paint(images_, 2);
    window_.size_display(images_, 2);
    window_.close();
    EXPECT_EQ(0, count_windows_titled("Active Window"));
}

TEST_F(PreviewWindowTest, ChildGoesWithItsParentAndIsNoLongerPainted) {
    const uintptr_t parent = make_parent();
    window_.place(reinterpret_cast<HWND>(parent), 0, 0, kWidth, kHeight);
    ASSERT_TRUE(open());
    const uintptr_t child = window_.native_window();
    paint_and_shoot(0);
    destroy_parent_window(parent);
    parent_ = 0;
    EXPECT_FALSE(window_exists(child));
    EXPECT_FALSE(window_.ready());
    window_.paint(images_, 2);
    window_.close();
}

TEST_F(PreviewWindowTest, SecondWindowReplacesTheFirst) {
    ASSERT_TRUE(open());
    const uintptr_t first = window_.native_window();
    const std::string firstClass = class_name();
    ASSERT_TRUE(open());
    EXPECT_FALSE(window_exists(first));
    EXPECT_FALSE(window_class_registered(firstClass.c_str()));
    EXPECT_TRUE(window_exists(window_.native_window()));
    EXPECT_NE(firstClass, class_name());
    EXPECT_EQ(1, count_windows_titled("Active Window"));
}

// The worker paints while the user resizes, hides and finally closes the window; painting
// then stops without harm.
TEST_F(PreviewWindowTest, WorkerPaintsWhileTheUserHandlesTheWindow) {
    ASSERT_TRUE(open());
    const uintptr_t window = window_.native_window();
    fill_source(images_, 2);
    std::atomic<bool> running{true};
    std::atomic<int> paints{0};
    std::thread worker([&] {
        while (running.load()) {
            window_.paint(images_, 2);
            paints.fetch_add(1);
        }
    });
    auto wait_for_paints = [&](int more) {
        const int target = paints.load() + more;
        EXPECT_TRUE(wait_until([&] { return paints.load() >= target; }));
    };
    for (int i = 0; i < 3; ++i) {
        wait_for_paints(2);
        resize_window_client(window, kWidth / 2 + 20 * i, kHeight / 2 + 10 * i);
        wait_for_paints(2);
        lose_window_contents(window);
    }
    wait_for_paints(2);
    EXPECT_TRUE(close_window_as_user(window));
    wait_for_paints(5);
    running.store(false);
    worker.join();
    EXPECT_FALSE(window_.ready());
}

}  // namespace
}  // namespace imvela
