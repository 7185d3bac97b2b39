#include "support/screen_claim.h"

#include <gtest/gtest.h>

#include "support/wait.h"

namespace {

bool claimed = false;
void (*release)() = nullptr;

class ReleaseAfterEachTest : public ::testing::EmptyTestEventListener {
    void OnTestEnd(const ::testing::TestInfo&) override {
        if (claimed) release();
        claimed = false;
    }
};

}  // namespace

bool claim_screen_for_this_test(bool (*try_take)(), void (*give_back)()) {
    static const bool listening = [] {
        ::testing::UnitTest::GetInstance()->listeners().Append(new ReleaseAfterEachTest);
        return true;
    }();
    (void)listening;
    if (!claimed) {
        release = give_back;
        claimed = wait_until(try_take, 120000);
    }
    return claimed;
}
