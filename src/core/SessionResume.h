#pragma once
// Resuming a session after a restart in the middle of a race (a crash, a power cut,
// the service restarted): the most recent detection file, when its last detection was
// recorded recently enough, is continued under its name; its detections are read back
// into the table, and the state kept beside it says what the timing application had
// answered and what the timekeeper had removed.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "core/DetectionRecords.h"
#include "core/JournalSession.h"

namespace lv {

// The most recent detection file ("Lumivane-YYYYMMDD-HHMMSS.dat", by the date and time
// in its name) of `folder`, when it is not empty and was last written (its last
// detection recorded) less than `hours` hours ago; empty otherwise (and always when
// hours is 0).
std::string FindSessionToResume(const std::string& folder, int hours);

struct ResumedSession {
    std::string path;
    std::string content;               // its whole lines, as they are in the file
    std::vector<CQoxResult> records;   // one per line, numbered from 1, removed ones inactive
    SessionState state;                // what the state file said (forwarded 0 without one)
    bool stateFound = false;
    std::string lastTime;              // the time field of its last detection
    std::size_t cutBytes = 0;          // bytes of an unfinished last line, cut from the file
};

// Reads a detection file back. Each line must read "<n>\t<box>\t<label>\t1\t<time>\t<kind>"
// with n its line number; the time of day of an absolute time is made by the race-day
// rule with `raceDays`. An unfinished last line (a write cut by a power failure) is cut
// from the file. False, with the reason, when a line does not read: such a file is
// not continued.
bool ReadBackSession(const std::string& path, const std::array<std::string, 4>& raceDays, ResumedSession& resumed,
                     std::string& problem);

}  // namespace lv
