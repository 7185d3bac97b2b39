#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ImvelaSdk.h"

TEST(MessageQueue, PollsEmptyAndRefusesBadArguments) {
    HWND q = ImvelaMsg_CreateQueue();
    ASSERT_NE(q, nullptr);
    ImvelaMsg m{};
    EXPECT_EQ(ImvelaMsg_Get(q, 0, &m), 0);
    EXPECT_EQ(ImvelaMsg_Get(q, 0, nullptr), 0);
    EXPECT_EQ(ImvelaMsg_Get(nullptr, 0, &m), 0);
    ImvelaMsg_DestroyQueue(q);
    EXPECT_EQ(ImvelaMsg_Get(q, 0, &m), 0);  // a destroyed queue is no longer a queue
    ImvelaMsg_DestroyQueue(q);              // nor destroyed twice
    ImvelaMsg_DestroyQueue(nullptr);
}

TEST(MessageQueue, DeliversOldestFirstAndRemovesIt) {
    HWND q = ImvelaMsg_CreateQueue();
    const int32_t h = Imvela_Initialize(q);
    Imvela_SetColorMode(h, 1);
    Imvela_Fps(h);
    ImvelaMsg m{};
    ASSERT_EQ(ImvelaMsg_Get(q, 100, &m), 1);
    EXPECT_EQ(m.message, 0x8003u);
    EXPECT_EQ(m.lParam, 9);
    ASSERT_EQ(ImvelaMsg_Get(q, 100, &m), 1);
    EXPECT_EQ(m.lParam, 11);
    EXPECT_EQ(ImvelaMsg_Get(q, 0, &m), 0);
    Imvela_Release(h);
    ImvelaMsg_DestroyQueue(q);
}

TEST(MessageQueue, WaitEndsWhenAMessageArrivesOrTimeoutPasses) {
    HWND q = ImvelaMsg_CreateQueue();
    const int32_t h = Imvela_Initialize(q);
    const auto t0 = std::chrono::steady_clock::now();
    ImvelaMsg m{};
    EXPECT_EQ(ImvelaMsg_Get(q, 30, &m), 0);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(25));

    std::thread poster([h] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        Imvela_Fps(h);
    });
    EXPECT_EQ(ImvelaMsg_Get(q, 10000, &m), 1);
    EXPECT_EQ(m.lParam, 11);
    poster.join();
    Imvela_Release(h);
    ImvelaMsg_DestroyQueue(q);
}

TEST(MessageQueue, PostingToDestroyedQueueIsIgnored) {
    HWND q = ImvelaMsg_CreateQueue();
    const int32_t h = Imvela_Initialize(q);
    ImvelaMsg_DestroyQueue(q);
    EXPECT_EQ(Imvela_SetColorMode(h, 3), 0);  // records and posts into nothing
    EXPECT_EQ(Imvela_GetLastError(h), 9);
    Imvela_Release(h);
}

TEST(MessageQueue, FullQueueDropsLaterPosts) {
    HWND q = ImvelaMsg_CreateQueue();
    const int32_t h = Imvela_Initialize(q);
    for (int i = 0; i < 10050; ++i) Imvela_Fps(h);
    int n = 0;
    ImvelaMsg m{};
    while (n < 20000 && ImvelaMsg_Get(q, 0, &m)) ++n;
    EXPECT_EQ(n, 10000);
    Imvela_Release(h);
    ImvelaMsg_DestroyQueue(q);
}
