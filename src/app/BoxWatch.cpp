#include "app/BoxWatch.h"

#include <algorithm>

#include <fmt/format.h>
#include <fmt/printf.h>

#include "base/DateTexts.h"
#include "base/Texts.h"

namespace lv {

std::string ReadAgeText(int seconds) {
    if (seconds < 0) seconds = 0;
    if (seconds < 60) return fmt::format("{} s", seconds);
    if (seconds < 3600) return fmt::format("{} min", seconds / 60);
    return fmt::format("{} h", seconds / 3600);
}

BoxActivity DescribeBoxActivity(bool configured, std::uint64_t reads, int lastReadAgeSeconds, int silentSeconds) {
    BoxActivity activity;
    activity.reads = reads;
    activity.lastReadAgeSeconds = lastReadAgeSeconds;
    if (!configured && reads == 0) return activity;
    if (lastReadAgeSeconds < 0) {
        activity.text = "0\n-";
        activity.tooltip = Tr("No read yet", "Aucune lecture pour l'instant");
    } else {
        const std::string age = ReadAgeText(lastReadAgeSeconds);
        activity.text = fmt::format("{}\n{}", reads, age);
        activity.tooltip = fmt::sprintf(Tr("%s read%s, the last one %s ago", "%s lecture%s, la dernière il y a %s"),
                                        fmt::format("{}", reads), reads > 1 ? "s" : "", age);
    }
    if (configured && silentSeconds >= 0) {
        activity.silent = true;
        activity.tooltip = fmt::sprintf(Tr("Connected, nothing read for %s", "Connecté, aucune lecture depuis %s"),
                                        ReadAgeText(silentSeconds)) +
                           "\n" + activity.tooltip;
    }
    return activity;
}

int BoxSilence::SilentSeconds(bool connected, SteadyTime connectedSince, SteadyTime lastRead, SteadyTime now) {
    if (!connected || connectedSince == SteadyTime{}) return -1;
    const SteadyTime quietSince = std::max(connectedSince, lastRead);
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(now - quietSince).count();
    return seconds >= kAfterSeconds ? static_cast<int>(seconds) : -1;
}

void LostBoxAlert::Lost(int index, const std::string& description, const std::tm& since, bool reconnecting,
                        SteadyTime now) {
    if (index < 0 || index >= kBoxCount) return;
    Entry& entry = entries_[static_cast<std::size_t>(index)];
    entry.lost = true;
    entry.dismissed = false;
    entry.reconnecting = reconnecting;
    entry.number = index + 1;
    entry.description = description;
    entry.since = FormatClockTime(since);
    // The loss itself plays the sound: the repeats count from here.
    lastSound_ = now;
}

void LostBoxAlert::Follow(int index, BoxVisualState state) {
    if (index < 0 || index >= kBoxCount) return;
    Entry& entry = entries_[static_cast<std::size_t>(index)];
    if (!entry.lost) return;
    if (state == BoxVisualState::Connected) {
        entry = Entry{};
    } else if (state == BoxVisualState::Reconnecting) {
        entry.reconnecting = true;
    } else {
        entry.reconnecting = false;
    }
}

void LostBoxAlert::Forget(int index) {
    if (index < 0 || index >= kBoxCount) return;
    entries_[static_cast<std::size_t>(index)] = Entry{};
}

void LostBoxAlert::Dismiss() {
    for (Entry& entry : entries_) {
        if (entry.lost) entry.dismissed = true;
    }
}

std::string LostBoxAlert::Text() const {
    std::string text;
    for (const Entry& entry : entries_) {
        if (!entry.lost || entry.dismissed) continue;
        if (!text.empty()) text += '\n';
        text += fmt::sprintf(entry.reconnecting ? Tr("Box %d %s lost since %s — reconnecting",
                                                     "Boîtier %d %s perdu depuis %s — reconnexion en cours")
                                                : Tr("Box %d %s lost since %s — no reconnection attempt now",
                                                     "Boîtier %d %s perdu depuis %s — plus de tentative de reconnexion"),
                             entry.number, entry.description, entry.since);
    }
    return text;
}

bool LostBoxAlert::SoundDue(SteadyTime now) {
    if (!Showing()) return false;
    if (now - lastSound_ < std::chrono::seconds(kSoundRepeatSeconds)) return false;
    lastSound_ = now;
    return true;
}

}  // namespace lv
