#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "base/SingleInstance.h"
#include "base/Texts.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;

// Runs `body` in a child process; its result is the child's exit status.
template <typename Body>
int InChildProcess(Body body) {
    pid_t child = ::fork();
    if (child == 0) ::_exit(body());
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

enum ChildResult { kAcquired = 10, kOtherInstance = 11, kFailed = 12 };

int TryInChild(const std::string& path) {
    return InChildProcess([&] {
        SingleInstanceGuard guard;
        if (guard.Acquire(path)) return int(kAcquired);
        return int(guard.AnotherInstanceRunning() ? kOtherInstance : kFailed);
    });
}

TEST(SingleInstance, ASecondProcessIsRefusedWhileTheFirstHoldsTheLock) {
    TempFolder folder;
    const std::string path = folder / "Lumivane.lock";
    SingleInstanceGuard first;
    ASSERT_TRUE(first.Acquire(path));
    EXPECT_TRUE(first.Held());
    EXPECT_TRUE(first.Acquire(path));  // asking again while holding it
    EXPECT_EQ(TryInChild(path), kOtherInstance);
    first.Release();
    EXPECT_EQ(TryInChild(path), kAcquired);
}

TEST(SingleInstance, AnotherDescriptorInTheSameProcessIsRefusedToo) {
    TempFolder folder;
    const std::string path = folder / "Lumivane.lock";
    SingleInstanceGuard first;
    SingleInstanceGuard second;
    ASSERT_TRUE(first.Acquire(path));
    EXPECT_FALSE(second.Acquire(path));
    EXPECT_TRUE(second.AnotherInstanceRunning());
    EXPECT_TRUE(second.Error().empty());
}

TEST(SingleInstance, TheLockEndsWithTheProcessThatHeldIt) {
    TempFolder folder;
    const std::string path = folder / "Lumivane.lock";
    // The child takes the lock and ends without releasing it.
    EXPECT_EQ(InChildProcess([&] {
                  auto* leaked = new SingleInstanceGuard;
                  return leaked->Acquire(path) ? int(kAcquired) : int(kFailed);
              }),
              kAcquired);
    SingleInstanceGuard guard;
    EXPECT_TRUE(guard.Acquire(path));
}

TEST(SingleInstance, AnUnusableLockFileIsAFailureNotAnotherInstance) {
    TempFolder folder;
    SingleInstanceGuard guard;
    EXPECT_FALSE(guard.Acquire(folder / "missing/Lumivane.lock"));
    EXPECT_FALSE(guard.AnotherInstanceRunning());
    EXPECT_FALSE(guard.Error().empty());
}

TEST(SingleInstance, AlreadyStartedTextInBothLanguages) {
    SetLanguage(Language::English);
    EXPECT_STREQ(AlreadyStartedText(),
                 "Sorry...\nLumivane is already started and cannot be started twice...");
    SetLanguage(Language::French);
    EXPECT_STREQ(AlreadyStartedText(),
                 "Désolé...\nLumivane est déjà lancé et ne peut être lancé plusieurs fois...");
}

}  // namespace
}  // namespace lv
