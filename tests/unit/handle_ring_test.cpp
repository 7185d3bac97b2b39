#include <gtest/gtest.h>

#include <vector>

#include "api/handle_ring.h"

using imvela::CSdkChain;
using imvela::CSDKDATA;

namespace {

// Handles in ring order starting at the head, checking the links both ways on the way.
std::vector<int32_t> ring_order(const CSdkChain& ring) {
    std::vector<int32_t> order;
    auto* head = ring.head();
    if (!head) return order;
    auto* node = head;
    do {
        EXPECT_EQ(node->next->previous, node);
        EXPECT_EQ(node->previous->next, node);
        order.push_back(node->data.handle);
        node = node->next;
    } while (node != head && order.size() <= static_cast<size_t>(ring.count()));
    EXPECT_EQ(order.size(), static_cast<size_t>(ring.count()));
    return order;
}

CSdkChain& three(CSdkChain& ring) {
    ring.insert(CSDKDATA{1, nullptr});
    ring.insert(CSDKDATA{2, nullptr});
    ring.insert(CSDKDATA{3, nullptr});
    return ring;
}

}  // namespace

TEST(HandleRing, EmptyRingRefusesEverything) {
    CSdkChain ring;
    EXPECT_EQ(ring.head(), nullptr);
    EXPECT_EQ(ring.count(), 0);
    EXPECT_FALSE(ring.find(1));
    EXPECT_FALSE(ring.unlink_head());
    EXPECT_FALSE(ring.remove(1));
    EXPECT_EQ(ring.lookup_locked(1), nullptr);
}

TEST(HandleRing, SingleNodeIsItsOwnNeighbour) {
    CSdkChain ring;
    ASSERT_TRUE(ring.insert(CSDKDATA{42, nullptr}));
    ASSERT_NE(ring.head(), nullptr);
    EXPECT_EQ(ring.head()->next, ring.head());
    EXPECT_EQ(ring.head()->previous, ring.head());
    EXPECT_EQ(ring.count(), 1);
    EXPECT_TRUE(ring.remove(42));
    EXPECT_EQ(ring.head(), nullptr);
    EXPECT_EQ(ring.count(), 0);
    EXPECT_FALSE(ring.remove(42));
}

TEST(HandleRing, InsertPutsNewNodeAtHeadBeforeFormerHead) {
    CSdkChain ring;
    three(ring);
    // Each new node sits between the former last node and the former head.
    EXPECT_EQ(ring_order(ring), (std::vector<int32_t>{3, 2, 1}));
    EXPECT_EQ(ring.head()->previous->data.handle, 1);
}

TEST(HandleRing, FindMovesHeadToMatch) {
    CSdkChain ring;
    three(ring);
    for (int32_t h : {2, 1, 3, 3, 1, 2}) {
        ASSERT_TRUE(ring.find(h)) << h;
        EXPECT_EQ(ring.head()->data.handle, h);
        EXPECT_EQ(ring.count(), 3);
    }
}

TEST(HandleRing, FailedFindLeavesHeadOnFormerLastNode) {
    CSdkChain ring;
    three(ring);
    ASSERT_TRUE(ring.find(1));
    const int32_t last = ring.head()->previous->data.handle;
    EXPECT_FALSE(ring.find(99));
    EXPECT_EQ(ring.head()->data.handle, last);
    EXPECT_EQ(ring.lookup_locked(99), nullptr);
    EXPECT_EQ(ring_order(ring).size(), 3u);
}

TEST(HandleRing, RemoveInEveryOrderKeepsRingConsistent) {
    const std::vector<std::vector<int32_t>> orders = {{1, 2, 3}, {1, 3, 2}, {2, 1, 3}, {2, 3, 1}, {3, 1, 2}, {3, 2, 1}};
    for (const auto& order : orders) {
        CSdkChain ring;
        three(ring);
        int32_t left = 3;
        for (int32_t h : order) {
            ASSERT_TRUE(ring.remove(h));
            --left;
            EXPECT_EQ(ring.count(), left);
            EXPECT_FALSE(ring.find(h));
            for (int32_t other : order)
                if (other != h && ring.count() > 0) (void)ring.find(other);
            ring_order(ring);
        }
        EXPECT_EQ(ring.head(), nullptr);
    }
}

TEST(HandleRing, UnlinkHeadRemovesExactlyTheFoundNode) {
    CSdkChain ring;
    three(ring);
    ASSERT_TRUE(ring.find(2));
    ASSERT_TRUE(ring.unlink_head());
    EXPECT_EQ(ring.head()->data.handle, 1);  // the old head's next node
    EXPECT_EQ(ring_order(ring), (std::vector<int32_t>{1, 3}));
    ASSERT_TRUE(ring.find(1));
    ASSERT_TRUE(ring.unlink_head());
    EXPECT_EQ(ring.head()->data.handle, 3);
    EXPECT_FALSE(ring.find(1));
    EXPECT_FALSE(ring.find(2));
    EXPECT_TRUE(ring.find(3));
}

TEST(HandleRing, DuplicateHandlesFindTheFirstReached) {
    CSdkChain ring;
    int a = 0, b = 0;
    ring.insert(CSDKDATA{7, reinterpret_cast<imvela::CImvela*>(&a)});
    ring.insert(CSDKDATA{7, reinterpret_cast<imvela::CImvela*>(&b)});
    auto* node = ring.lookup_locked(7);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->data.camera, reinterpret_cast<imvela::CImvela*>(&b));  // the head matched first
    EXPECT_TRUE(ring.remove(7));
    EXPECT_EQ(ring.lookup_locked(7)->data.camera, reinterpret_cast<imvela::CImvela*>(&a));
}

TEST(HandleRing, ClearFreesEveryNode) {
    CSdkChain ring;
    three(ring);
    ring.clear();
    EXPECT_EQ(ring.head(), nullptr);
    EXPECT_EQ(ring.count(), 0);
    EXPECT_TRUE(ring.insert(CSDKDATA{5, nullptr}));
    EXPECT_EQ(ring.count(), 1);
}
