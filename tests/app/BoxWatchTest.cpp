// What the window shows of each box beyond its image: read counts and ages, and the
// persistent alert of a lost box with its repeated sound.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "app/BoxWatch.h"
#include "base/Texts.h"

namespace lv {
namespace {

using std::chrono::seconds;
using Steady = std::chrono::steady_clock;

std::tm At(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

class BoxWatchTest : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(Language::English); }
    void TearDown() override { SetLanguage(Language::French); }
    Steady::time_point t0 = Steady::time_point(seconds(1000));
};

TEST_F(BoxWatchTest, AgesAreShortAndCountsShowUnderConfiguredBoxesOnly) {
    EXPECT_EQ(ReadAgeText(0), "0 s");
    EXPECT_EQ(ReadAgeText(59), "59 s");
    EXPECT_EQ(ReadAgeText(60), "1 min");
    EXPECT_EQ(ReadAgeText(3599), "59 min");
    EXPECT_EQ(ReadAgeText(7300), "2 h");
    EXPECT_EQ(ReadAgeText(-3), "0 s");  // a clock that stepped back is no negative age

    EXPECT_EQ(DescribeBoxActivity(false, 0, -1).text, "");
    BoxActivity none = DescribeBoxActivity(true, 0, -1);
    EXPECT_EQ(none.text, "0\n-");
    EXPECT_EQ(none.tooltip, "No read yet");
    BoxActivity some = DescribeBoxActivity(true, 128, 12);
    EXPECT_EQ(some.text, "128\n12 s");
    EXPECT_EQ(some.tooltip, "128 reads, the last one 12 s ago");
    EXPECT_EQ(some.reads, 128u);
    EXPECT_EQ(some.lastReadAgeSeconds, 12);
    SetLanguage(Language::French);
    EXPECT_EQ(DescribeBoxActivity(true, 1, 75).tooltip, "1 lecture, la dernière il y a 1 min");
    // A box declared out after its reads still shows them.
    EXPECT_EQ(DescribeBoxActivity(false, 3, 5).text, "3\n5 s");
}

TEST_F(BoxWatchTest, AConnectedBoxIsSilentTwoMinutesAfterItsConnectionOrItsLastRead) {
    const Steady::time_point never{};
    // Counted from the connection when it never read.
    EXPECT_EQ(BoxSilence::SilentSeconds(true, t0, never, t0 + seconds(119)), -1);
    EXPECT_EQ(BoxSilence::SilentSeconds(true, t0, never, t0 + seconds(120)), 120);
    // A read before this connection does not shorten it; a read since does.
    EXPECT_EQ(BoxSilence::SilentSeconds(true, t0, t0 - seconds(500), t0 + seconds(60)), -1);
    EXPECT_EQ(BoxSilence::SilentSeconds(true, t0, t0 + seconds(100), t0 + seconds(200)), -1);
    EXPECT_EQ(BoxSilence::SilentSeconds(true, t0, t0 + seconds(100), t0 + seconds(230)), 130);
    // Not connected (or not seen connected): another state says it.
    EXPECT_EQ(BoxSilence::SilentSeconds(false, t0, never, t0 + seconds(999)), -1);
    EXPECT_EQ(BoxSilence::SilentSeconds(true, never, never, t0 + seconds(999)), -1);

    BoxActivity silent = DescribeBoxActivity(true, 3, 400, 400);
    EXPECT_TRUE(silent.silent);
    EXPECT_EQ(silent.text, "3\n6 min");
    EXPECT_EQ(silent.tooltip, "Connected, nothing read for 6 min\n3 reads, the last one 6 min ago");
    EXPECT_FALSE(DescribeBoxActivity(true, 3, 10).silent);
    EXPECT_FALSE(DescribeBoxActivity(false, 0, -1, 200).silent);
}

TEST_F(BoxWatchTest, ALostBoxStaysInTheAlertUntilItIsBackAndSaysWhetherItReconnects) {
    LostBoxAlert alert;
    EXPECT_EQ(alert.Text(), "");
    alert.Lost(1, "[10.0.0.2:3601 31]", At(10, 42, 13), true, t0);
    EXPECT_EQ(alert.Text(), "Box 2 [10.0.0.2:3601 31] lost since 10:42:13 — reconnecting");
    alert.Follow(1, BoxVisualState::Reconnecting);
    EXPECT_TRUE(alert.Showing());
    // Attempts over: still lost, and the alert says no attempt runs.
    alert.Follow(1, BoxVisualState::NotConnected);
    EXPECT_EQ(alert.Text(), "Box 2 [10.0.0.2:3601 31] lost since 10:42:13 — no reconnection attempt now");
    // Other boxes' states change nothing.
    alert.Follow(0, BoxVisualState::Connected);
    EXPECT_TRUE(alert.Showing());
    alert.Lost(3, "[10.0.0.4:3601 31]", At(10, 50, 0), false, t0);
    EXPECT_EQ(alert.Text(),
              "Box 2 [10.0.0.2:3601 31] lost since 10:42:13 — no reconnection attempt now\n"
              "Box 4 [10.0.0.4:3601 31] lost since 10:50:00 — no reconnection attempt now");
    alert.Follow(1, BoxVisualState::Connected);
    EXPECT_EQ(alert.Text(), "Box 4 [10.0.0.4:3601 31] lost since 10:50:00 — no reconnection attempt now");
    alert.Forget(3);
    EXPECT_FALSE(alert.Showing());

    SetLanguage(Language::French);
    alert.Lost(0, "[a:1 31]", At(9, 5, 7), true, t0);
    EXPECT_EQ(alert.Text(), "Boîtier 1 [a:1 31] perdu depuis 09:05:07 — reconnexion en cours");
}

TEST_F(BoxWatchTest, ADismissedAlertHidesUntilTheNextLoss) {
    LostBoxAlert alert;
    alert.Lost(0, "[a:1 31]", At(10, 0, 0), true, t0);
    alert.Dismiss();
    EXPECT_FALSE(alert.Showing());
    // Still lost: its state changes do not bring it back...
    alert.Follow(0, BoxVisualState::NotConnected);
    EXPECT_FALSE(alert.Showing());
    // ...a new loss does.
    alert.Lost(0, "[a:1 31]", At(10, 5, 0), true, t0);
    EXPECT_EQ(alert.Text(), "Box 1 [a:1 31] lost since 10:05:00 — reconnecting");
}

TEST_F(BoxWatchTest, TheAlertSoundComesBackEveryThirtySecondsWhileTheAlertShows) {
    LostBoxAlert alert;
    EXPECT_FALSE(alert.SoundDue(t0 + seconds(100)));  // nothing lost
    alert.Lost(0, "[a:1 31]", At(10, 0, 0), true, t0);
    // The loss played it: the next one 30 s later, then every 30 s.
    EXPECT_FALSE(alert.SoundDue(t0 + seconds(1)));
    EXPECT_FALSE(alert.SoundDue(t0 + seconds(29)));
    EXPECT_TRUE(alert.SoundDue(t0 + seconds(30)));
    EXPECT_FALSE(alert.SoundDue(t0 + seconds(31)));
    EXPECT_TRUE(alert.SoundDue(t0 + seconds(61)));
    alert.Dismiss();
    EXPECT_FALSE(alert.SoundDue(t0 + seconds(200)));
}

}  // namespace
}  // namespace lv
