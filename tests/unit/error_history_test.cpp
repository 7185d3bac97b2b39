#include <gtest/gtest.h>

#include <new>
#include <thread>
#include <vector>

#include "camera/error_history.h"
#include "api/handle_registry.h"
#include "camera/imvela.h"

using imvela::ErrorHistory;

TEST(ErrorHistory, KeepsTwentyNewestFirst) {
    ErrorHistory history;
    EXPECT_EQ(history.pop(), 0);
    for (int32_t code = 1; code <= 25; ++code) history.push(code);
    for (int32_t expected = 25; expected >= 6; --expected) EXPECT_EQ(history.pop(), expected);
    EXPECT_EQ(history.pop(), 0);
    EXPECT_EQ(history.pop(), 0);
}

TEST(ErrorHistory, ReadingInterleavedWithRecording) {
    ErrorHistory history;
    history.push(7);
    history.push(1);
    EXPECT_EQ(history.pop(), 1);
    history.push(9);
    EXPECT_EQ(history.pop(), 9);
    EXPECT_EQ(history.pop(), 7);
    EXPECT_EQ(history.pop(), 0);
}

TEST(ErrorHistory, ConcurrentWritersLoseNothing) {
    ErrorHistory history;
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([&history] {
            for (int i = 0; i < 5; ++i) history.push(8);
        });
    for (auto& w : writers) w.join();
    for (int i = 0; i < 20; ++i) EXPECT_EQ(history.pop(), 8);
    EXPECT_EQ(history.pop(), 0);
}

TEST(ExportBoundary, AnExceptionInAFoundCamerasOperationIsRecordedAsTheBufferError) {
    auto* camera = new imvela::CImvela;
    int32_t handle = 0;
    ASSERT_TRUE(imvela::register_camera(camera, &handle));
    EXPECT_EQ(imvela::with_camera(handle, 0, [](imvela::CImvela&) -> int32_t { throw std::bad_alloc(); }), 0);
    EXPECT_EQ(camera->last_error(), ERR_BUFFER);
    imvela::CImvela* released = nullptr;
    ASSERT_TRUE(imvela::unregister_camera(handle, &released));
    delete released;
}
