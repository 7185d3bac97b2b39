// X11 specifics of the preview window: no display, and repainting after the window's
// contents were lost.
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "unit/emulated_camera_fixture.h"

#include "support/screen_probe.h"
#include "support/test_environment.h"
#include "imaging/image_set.h"
#include "preview/preview_window.h"

namespace imvela {
namespace {

TEST(PreviewWindowX11, WithoutADisplayNoWindowIsCreated) {
    PreviewWindow window;
    ImageSet images;
    window.place(nullptr, 0, 0, 64, 48);
    ScopedEnvironment noDisplay("DISPLAY", nullptr);
    EXPECT_FALSE(window.open(64, 48, 0));
    EXPECT_EQ(0u, window.native_window());
    EXPECT_FALSE(window.ready());
    window.paint(images, 0);
}

// Unmapping and mapping the window loses its contents (Xvfb keeps no backing store); the
// library paints the last picture again on Expose, without a new frame.
TEST(PreviewWindowX11, LostContentsArePaintedAgainFromTheLastPicture) {
    if (!screen_available()) GTEST_SKIP() << "no display";
    PreviewWindow window;
    ImageSet images;
    window.place(nullptr, 0, 0, 64, 48);
    CImageBuffer& raw = images[kRaw8];
    ASSERT_EQ(1, raw.Create(64, 48, 8));
    for (int32_t y = 0; y < 48; ++y)
        for (int32_t x = 0; x < 64; ++x) raw.bits()[y * raw.stride() + x] = static_cast<uint8_t>(200 + y % 50);
    ASSERT_TRUE(window.open(64, 48, 0));
    window.paint(images, 0);
    const uintptr_t native = window.native_window();

    ASSERT_TRUE(lose_window_contents(native));

    WindowShot shot;
    bool repainted = false;
    for (int i = 0; i < 300 && !repainted; ++i) {
        ASSERT_TRUE(take_window_shot(native, &shot));
        repainted = shot.at(0, 0) == 0xC8C8C8u && shot.at(63, 47) == 0xF7F7F7u;  // rows 0 and 47
        if (!repainted) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(repainted) << std::hex << shot.at(0, 0) << " " << shot.at(63, 47);
}

// An X server of the test's own (Xvfb picks a free display number and reports it), which the
// test can stop and continue.
class OwnXServer {
public:
    OwnXServer() {
        int report[2];
        if (pipe(report) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(report[0]);
            const std::string fd = std::to_string(report[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "320x240x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(report[1]);
        // The number comes with a newline in a write of its own; the pipe stays open until
        // then, or the server finds it closed and ends.
        std::string number;
        pollfd ready{report[0], POLLIN, 0};
        for (char c = 0; pid_ > 0 && c != '\n' && number.size() < 16 && poll(&ready, 1, 10000) == 1 &&
                         read(report[0], &c, 1) == 1;)
            number += c;
        if (!number.empty() && number.back() == '\n') display_ = ":" + std::to_string(std::atoi(number.c_str()));
        close(report[0]);
    }
    ~OwnXServer() {
        if (pid_ <= 0) return;
        kill(pid_, SIGCONT);
        kill(pid_, SIGTERM);  // lets it remove its lock and socket for the next server
        int status = 0;
        for (int waited = 0; waited < 500 && waitpid(pid_, &status, WNOHANG) == 0; ++waited) usleep(10000);
        if (kill(pid_, SIGKILL) == 0) waitpid(pid_, &status, 0);
    }
    const std::string& display() const { return display_; }
    void pause(bool stopped) { kill(pid_, stopped ? SIGSTOP : SIGCONT); }

private:
    pid_t pid_ = -1;
    std::string display_;
};

}  // namespace
}  // namespace imvela

// A stopped X server stalls the preview worker's painting, but not the frame lock: the
// application still reads the image at once.
TEST_F(CameraTest, StoppedXServerDoesNotHoldUpGetImage) {
    imvela::OwnXServer server;
    ASSERT_FALSE(server.display().empty()) << "Xvfb did not start";
    ScopedEnvironment display("DISPLAY", server.display().c_str());
    auto& c = open_camera(24);
    set_window(c, window_of(0, 0, 64, 48));
    ASSERT_EQ(c.set_preview_window(nullptr, 0, 0, 64, 48), 1);
    ASSERT_EQ(c.preview(), 1) << c.last_error() << " on " << server.display();
    std::vector<uint8_t> image(64 * 48 * 3);
    ASSERT_TRUE(wait_until([&] { return c.get_image(image.data(), static_cast<int32_t>(image.size()), 1) == 1; }));

    server.pause(true);
    bool prompt = true;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(600);
    while (prompt && std::chrono::steady_clock::now() < until) {
        auto read = std::async(std::launch::async, [&] {
            return c.get_image(image.data(), static_cast<int32_t>(image.size()), 1);
        });
        prompt = read.wait_for(std::chrono::milliseconds(300)) == std::future_status::ready;
        if (!prompt) server.pause(false);  // lets the blocked read (and the worker) go on
        EXPECT_EQ(read.get(), 1);
    }
    EXPECT_TRUE(prompt);
    server.pause(false);
    camera_.reset();  // the window goes while its server is there
}
