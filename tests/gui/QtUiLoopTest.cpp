#include "gui/QtUiLoop.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <thread>

#include "GuiTestSupport.h"

namespace lv {
namespace {

class QtUiLoopTest : public ::testing::Test {
protected:
    void SetUp() override { test::QtApp(); }
    QtUiLoop loop_;
};

TEST_F(QtUiLoopTest, ClosuresPostedFromAnotherThreadRunOnTheUiThreadInOrder) {
    std::vector<int> order;
    std::atomic<bool> wrongThread{false};
    std::thread worker([&] {
        EXPECT_FALSE(loop_.isUiThread());
        for (int i = 0; i < 100; ++i) {
            loop_.post([&, i] {
                if (!loop_.isUiThread()) wrongThread = true;
                order.push_back(i);
            });
        }
    });
    worker.join();
    loop_.pumpUntil([&] { return order.size() == 100; });
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
}

TEST_F(QtUiLoopTest, SendWaitsForTheUiThreadAndRunsAtOnceOnIt) {
    int value = 0;
    loop_.send([&] { value = 1; });  // on the UI thread: at once
    EXPECT_EQ(value, 1);

    std::atomic<bool> returned{false};
    std::thread worker([&] {
        loop_.send([&] { value = 2; });
        // The closure has run when send returns.
        EXPECT_EQ(value, 2);
        returned = true;
    });
    loop_.pumpUntil([&] { return returned.load(); });
    worker.join();
}

TEST_F(QtUiLoopTest, SingleShotTimerFiresOnceAndMayReArmItself) {
    int fired = 0;
    loop_.setTimer(7, 1, false, [&] {
        ++fired;
        if (fired == 1) loop_.setTimer(7, 1, false, [&] { ++fired; });
    });
    loop_.pumpUntil([&] { return fired == 2; });
    EXPECT_FALSE(loop_.hasTimer(7));
    // Nothing more comes.
    bool later = false;
    loop_.setTimer(8, 20, false, [&] { later = true; });
    loop_.pumpUntil([&] { return later; });
    EXPECT_EQ(fired, 2);
}

TEST_F(QtUiLoopTest, PeriodicTimerStopsWhenKilledFromItsOwnExpiry) {
    int ticks = 0;
    loop_.setTimer(9, 1, true, [&] {
        if (++ticks == 3) loop_.killTimer(9);
    });
    loop_.pumpUntil([&] { return ticks >= 3; });
    bool later = false;
    loop_.setTimer(10, 20, false, [&] { later = true; });
    loop_.pumpUntil([&] { return later; });
    EXPECT_EQ(ticks, 3);
    EXPECT_FALSE(loop_.hasTimer(9));
}

TEST_F(QtUiLoopTest, ReArmingReplacesTheTimer) {
    int first = 0;
    int second = 0;
    loop_.setTimer(11, 5, false, [&] { ++first; });
    loop_.setTimer(11, 1, false, [&] { ++second; });
    loop_.pumpUntil([&] { return second == 1; });
    bool later = false;
    loop_.setTimer(12, 30, false, [&] { later = true; });
    loop_.pumpUntil([&] { return later; });
    EXPECT_EQ(first, 0);
}

}  // namespace
}  // namespace lv
