// The application's window lives on a thread that pumps its messages and stops the preview
// from time to time; another thread starts previews in a child window of it and closes
// them. Neither waits for the other: the child window is made without notifying the parent.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <thread>

#include "ImvelaSdk.h"
#include "support/scratch_store.h"
#include "support/test_environment.h"
#include "support/wait.h"

TEST(PreviewParentThread, ChildWindowOfAnotherThreadsWindowNeverHangsStartOrStop) {
    ScratchSettings store;
    ScopedEnvironment root("IMVELA_SETTINGS_ROOT", store.root().c_str());
    ScopedEnvironment cameras("IMVELA_EMULATOR", "0");
    ScopedEnvironment fps("IMVELA_EMULATOR_FPS", "0");
    std::atomic<HWND> parent{nullptr};
    std::atomic<int32_t> handle{0};
    std::atomic<bool> done{false};
    std::thread owner([&] {
        HWND window = CreateWindowExA(0, "STATIC", "preview parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                      nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        parent = window;
        while (!done) {
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
            // Waits for the capture-control lock the other thread holds while it makes the child.
            if (const int32_t h = handle.load()) Imvela_StopPreview(h);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        }
        if (window) DestroyWindow(window);
    });
    ASSERT_TRUE(wait_until([&] { return parent.load() != nullptr; }));
    const int32_t h = Imvela_Initialize(nullptr);
    ASSERT_NE(h, 0);
    ASSERT_EQ(Imvela_SetPreviewWindow(h, parent.load(), 0, 0, 160, 120), 1);
    handle = h;
    auto starts = std::async(std::launch::async, [h] {
        int32_t made = 0;
        for (int i = 0; i < 40; ++i) {
            made += Imvela_Preview(h);
            Imvela_Close(h);
        }
        return made;
    });
    const bool in_time = starts.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    if (!in_time) {
        // Two threads wait for each other for good: nothing can be cleaned up.
        ADD_FAILURE() << "the preview start and the parent's thread wait for each other";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    EXPECT_GT(starts.get(), 0);
    done = true;
    owner.join();
    handle = 0;
    EXPECT_EQ(Imvela_Release(h), 1);
}
