#include "core/Chrono.h"

#include <chrono>
#include <ctime>

#include "core/CalendarTime.h"
#include "base/Clock.h"

namespace lv {
namespace {

// The seconds field holds the low 32 bits (defined wrap-around, never undefined
// overflow when two instants are summed or a value is pushed past the range).
int32_t Low32(int64_t value) { return static_cast<int32_t>(value); }

struct WallReading {
    int64_t seconds;       // since 1970, rounded down
    uint16_t milliseconds;
};

WallReading ReadWallClock() {
    using namespace std::chrono;
    const int64_t ms = duration_cast<milliseconds>(WallNow().time_since_epoch()).count();
    int64_t seconds = ms / 1000;
    int64_t rest = ms % 1000;
    if (rest < 0) {
        rest += 1000;
        --seconds;
    }
    return {seconds, static_cast<uint16_t>(rest)};
}

int64_t SecondsOfDay(const std::tm& tm) {
    return int64_t{tm.tm_hour} * 3600 + tm.tm_min * 60 + tm.tm_sec;
}

bool Before(const CChrono& a, const CChrono& b) {
    if (a.Seconds() != b.Seconds()) return a.Seconds() < b.Seconds();
    return a.Milliseconds() < b.Milliseconds();
}

}  // namespace

CChrono::CChrono(Mode mode) {
    switch (mode) {
        case kNowAbsolute: SetNowAbsolute(); break;
        case kNowOfDay: SetNowOfDay(); break;
        case kUnset: break;
    }
}

void CChrono::SetNowAbsolute() {
    const WallReading now = ReadWallClock();
    seconds_ = Low32(now.seconds);
    milliseconds_ = now.milliseconds;
}

void CChrono::SetNowOfDay() {
    const WallReading now = ReadWallClock();
    std::tm tm{};
    if (!LocalTimeOf(now.seconds, tm) && !UtcTimeOf(now.seconds, tm)) tm = std::tm{};
    seconds_ = Low32(SecondsOfDay(tm));
    milliseconds_ = now.milliseconds;
}

void CChrono::OfDayToAbsolute() {
    const int64_t now = ReadWallClock().seconds;
    // The seconds are what the local wall clock showed since midnight, so the instant is
    // built from the wall clock: on the days daylight saving changes, midnight plus the
    // seconds would be an hour off after the change.
    if (auto instant = LocalWallClockInstant(now, seconds_)) {
        seconds_ = Low32(*instant);
        return;
    }
    std::tm tm{};
    const int64_t sinceMidnight = LocalTimeOf(now, tm) ? SecondsOfDay(tm) : 0;
    seconds_ = Low32(now - sinceMidnight + seconds_);
}

void CChrono::AbsoluteToOfDay() {
    std::tm tm{};
    if (LocalTimeOf(seconds_, tm)) seconds_ = Low32(SecondsOfDay(tm));
}

CChrono operator-(const CChrono& a, const CChrono& b) {
    int64_t seconds = int64_t{a.seconds_} - b.seconds_;
    int ms = int{a.milliseconds_} - b.milliseconds_;
    if (ms < 0) {
        ms += 1000;
        --seconds;
    }
    return CChrono(Low32(seconds), static_cast<uint16_t>(ms));
}

CChrono operator+(const CChrono& a, const CChrono& b) {
    int64_t seconds = int64_t{a.seconds_} + b.seconds_;
    int ms = int{a.milliseconds_} + b.milliseconds_;
    if (ms >= 1000) {
        ms -= 1000;
        ++seconds;
    }
    return CChrono(Low32(seconds), static_cast<uint16_t>(ms));
}

// An unset value sorts after every set value.
bool operator<(const CChrono& a, const CChrono& b) {
    if (a.IsSet() != b.IsSet()) return a.IsSet();
    return Before(a, b);
}

bool operator<=(const CChrono& a, const CChrono& b) {
    if (a.IsSet() != b.IsSet()) return a.IsSet();
    return !Before(b, a);
}

bool operator>(const CChrono& a, const CChrono& b) {
    if (a.IsSet() != b.IsSet()) return b.IsSet();
    return Before(b, a);
}

bool operator>=(const CChrono& a, const CChrono& b) {
    if (a.IsSet() != b.IsSet()) return b.IsSet();
    return !Before(a, b);
}

}  // namespace lv
