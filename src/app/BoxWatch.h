#pragma once
// What the window shows of each box beyond its image: the reads it sent and the age of
// the last one, and the persistent alert of a box lost during the acquisition (with its
// sound repeated until the box is back or the operator dismisses the alert). Plain
// rules, driven by BoxSupervisor on the UI thread; times are given, never read here.
#include <array>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <string>

#include "app/MainView.h"

namespace lv {

// "12 s", "4 min", "2 h": the age of a read, short enough for under a box's image.
std::string ReadAgeText(int seconds);
// The activity of a box: its read count and the age of its last read (-1: none yet).
// An undefined box shows nothing. `silentSeconds` >= 0: connected and silent that long.
BoxActivity DescribeBoxActivity(bool configured, std::uint64_t reads, int lastReadAgeSeconds,
                                int silentSeconds = -1);

// A connected box that sends nothing looks different from one that reads. Two minutes:
// during a race the bunches at a timing point come far closer than that, so a box
// silent that long while runners pass is not reading; before the start it is merely
// told (no sound), and a single read ends it.
struct BoxSilence {
    using SteadyTime = std::chrono::steady_clock::time_point;
    static constexpr int kAfterSeconds = 120;

    // Seconds the box has been silent when that is kAfterSeconds or more, else -1.
    // `connectedSince` and `lastRead`: default-constructed when never.
    static int SilentSeconds(bool connected, SteadyTime connectedSince, SteadyTime lastRead, SteadyTime now);
};

class LostBoxAlert {
public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    static constexpr int kBoxCount = 4;
    // The alert sound comes back this often while the alert shows.
    static constexpr int kSoundRepeatSeconds = 30;

    // A box stopped answering: named with its description and the local time of the
    // loss; `reconnecting` when automatic attempts follow. Shows again after a dismiss.
    void Lost(int index, const std::string& description, const std::tm& since, bool reconnecting, SteadyTime now);
    // The box's state now: connected ends its alert; not connected (attempts over)
    // keeps it, saying that no attempt runs any more.
    void Follow(int index, BoxVisualState state);
    // A deliberate disconnection: the box leaves the alert.
    void Forget(int index);
    // The operator has seen it: the present lines hide (a later loss shows again).
    void Dismiss();

    // One line per lost box not dismissed, in box order; empty when nothing shows.
    std::string Text() const;
    bool Showing() const { return !Text().empty(); }
    // The box is in the alert (shown or dismissed).
    bool IsLost(int index) const {
        return index >= 0 && index < kBoxCount && entries_[static_cast<std::size_t>(index)].lost;
    }
    // True when the alert sound is due now (the alert shows and the last sound is
    // kSoundRepeatSeconds old); counts it as played.
    bool SoundDue(SteadyTime now);

private:
    struct Entry {
        bool lost = false;
        bool dismissed = false;
        bool reconnecting = false;
        int number = 0;
        std::string description;
        std::string since;  // "10:42:13"
    };
    std::array<Entry, kBoxCount> entries_{};
    SteadyTime lastSound_{};
};

}  // namespace lv
