#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "base/NamedMutex.h"

namespace lv {
namespace {

// Runs `body` on another thread and returns what it returned.
template <typename Body>
bool OnOtherThread(Body body) {
    bool result = false;
    std::thread([&] { result = body(); }).join();
    return result;
}

TEST(NamedMutexBookkeeping, RecordsOwnersAndReleasers) {
    CNamedMutex mutex("test.bookkeeping", 120);
    EXPECT_TRUE(mutex.IsValid());
    EXPECT_TRUE(mutex.Error().empty());
    EXPECT_EQ(mutex.DefaultWait(), 120);
    EXPECT_EQ(mutex.Owner(), "none");
    EXPECT_EQ(mutex.OwnerThread(), 0u);

    ASSERT_TRUE(mutex.Acquire("first", 0));
    EXPECT_EQ(mutex.Owner(), "first");
    EXPECT_EQ(mutex.OwnerThread(), CurrentThreadNumber());
    EXPECT_EQ(mutex.PreviousOwner(), "none");

    ASSERT_TRUE(mutex.Release("releaser"));
    auto info = mutex.Snapshot();
    EXPECT_EQ(info.owner, "none");
    EXPECT_EQ(info.ownerThread, 0u);
    EXPECT_EQ(info.previousOwner, "first");
    EXPECT_EQ(info.previousOwnerThread, CurrentThreadNumber());
    EXPECT_EQ(info.lastReleaser, "releaser");
    EXPECT_EQ(info.lastReleaserThread, CurrentThreadNumber());

    ASSERT_TRUE(mutex.Acquire("second"));
    EXPECT_EQ(mutex.PreviousOwner(), "none");
    ASSERT_TRUE(mutex.Release("second"));
}

TEST(NamedMutexBookkeeping, OnlyTheOwnerReleasesAndTheRecordStays) {
    CNamedMutex mutex("test.owner-only", 120);
    EXPECT_FALSE(mutex.Release("nobody"));  // not held at all
    ASSERT_TRUE(mutex.Acquire("main", 0));
    EXPECT_FALSE(OnOtherThread([&] { return mutex.Release("intruder"); }));
    EXPECT_EQ(mutex.Owner(), "main");
    EXPECT_NE(mutex.LastReleaser(), "intruder");
    EXPECT_TRUE(mutex.Release("main"));
}

TEST(NamedMutexExclusion, AHeldMutexTimesOutForOtherThreads) {
    CNamedMutex mutex("test.timeout", 120);
    ASSERT_TRUE(mutex.Acquire("main", 0));
    EXPECT_FALSE(OnOtherThread([&] { return mutex.Acquire("other", 10); }));
    ASSERT_TRUE(mutex.Release("main"));
    EXPECT_TRUE(OnOtherThread([&] {
        bool got = mutex.Acquire("other", 10);
        return got && mutex.Release("other");
    }));
}

TEST(NamedMutexExclusion, ObjectsOfOneNameShareTheLock) {
    CNamedMutex first("test.shared-name", 120);
    CNamedMutex second("test.shared-name", 120);
    CNamedMutex unrelated("test.other-name", 120);
    ASSERT_TRUE(first.Acquire("a", 0));
    EXPECT_FALSE(OnOtherThread([&] { return second.Acquire("b", 10); }));
    EXPECT_TRUE(OnOtherThread([&] { return unrelated.Acquire("c", 0) && unrelated.Release("c"); }));
    ASSERT_TRUE(first.Release("a"));
    EXPECT_TRUE(OnOtherThread([&] { return second.Acquire("b", 0) && second.Release("b"); }));
}

TEST(NamedMutexExclusion, TheOwnerMayTakeItAgainAndReleasesEachTime) {
    CNamedMutex mutex("test.reentry", 120);
    ASSERT_TRUE(mutex.Acquire("outer", 0));
    ASSERT_TRUE(mutex.Acquire("inner", 0));
    ASSERT_TRUE(mutex.Release("inner"));
    EXPECT_FALSE(OnOtherThread([&] { return mutex.Acquire("other", 10); }));
    ASSERT_TRUE(mutex.Release("outer"));
    EXPECT_FALSE(mutex.Release("extra"));
    EXPECT_TRUE(OnOtherThread([&] { return mutex.Acquire("other", 0) && mutex.Release("other"); }));
}

TEST(NamedMutexExclusion, AWaiterGetsTheMutexWhenItIsReleased) {
    CNamedMutex mutex("test.waiter", 120);
    ASSERT_TRUE(mutex.Acquire("main", 0));
    std::atomic<bool> got{false};
    std::thread waiter([&] {
        got = mutex.Acquire("waiter", CNamedMutex::kWaitForever);
        mutex.Release("waiter");
    });
    ASSERT_TRUE(mutex.Release("main"));
    waiter.join();
    EXPECT_TRUE(got.load());
    EXPECT_EQ(mutex.LastReleaser(), "waiter");
}

TEST(NamedMutexExclusion, SerialisesThreads) {
    CNamedMutex mutex("test.counter", 120);
    int counter = 0;  // deliberately not atomic: the mutex alone protects it
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 25; ++i) {
                ASSERT_TRUE(mutex.Acquire("worker", CNamedMutex::kWaitForever));
                int seen = counter;
                std::this_thread::yield();
                counter = seen + 1;
                ASSERT_TRUE(mutex.Release("worker"));
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 100);
}

TEST(ResourceMutexes, TheThreeProcessWideInstances) {
    EXPECT_EQ(GetResourceMutex(ResourceMutexId::Detections).Name(), "Detections");
    EXPECT_EQ(GetResourceMutex(ResourceMutexId::Summary).Name(), "Summary");
    EXPECT_EQ(GetResourceMutex(ResourceMutexId::LogWin).Name(), "LogWin");
    for (auto id : {ResourceMutexId::Detections, ResourceMutexId::Summary, ResourceMutexId::LogWin}) {
        EXPECT_TRUE(GetResourceMutex(id).Enabled());
        EXPECT_EQ(GetResourceMutex(id).Mutex().DefaultWait(), 120);
    }
    EXPECT_EQ(&GetResourceMutex(ResourceMutexId::Summary), &GetResourceMutex(ResourceMutexId::Summary));
}

TEST(ResourceMutexes, ScopedLockTakesOnlyWhenEnabledAndGivesBack) {
    CResourceMutex resource("test.resource", 120);
    {
        ResourceMutexLock lock(resource, 0);
        EXPECT_TRUE(lock.Owned());
        EXPECT_EQ(resource.Mutex().Owner(), "test.resource");
    }
    EXPECT_EQ(resource.Mutex().Owner(), "none");
    resource.SetEnabled(false);
    {
        ResourceMutexLock lock(resource, "label", 0);
        EXPECT_FALSE(lock.Owned());
        EXPECT_EQ(resource.Mutex().Owner(), "none");
    }
}

}  // namespace
}  // namespace lv
