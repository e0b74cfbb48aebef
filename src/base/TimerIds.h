#pragma once
// Every timer of the UI loop by id, in one place: an id armed twice replaces the
// first timer, so ids of the window and of the direct link must never meet.
namespace lv {

// The main window's.
inline constexpr int kTimerStartupConfig = 22662;  // the configuration dialog shortly after start
inline constexpr int kTimerDayCheck = 33861;       // GDaysToAdd follows today (500 ms)
inline constexpr int kTimerDeferredRefresh = 17732; // counters of a burst of passings, together
inline constexpr int kTimerBoxActivity = 33862;     // each box's reads and last read age (1 s)
inline constexpr int kTimerBacklogStatus = 33865;  // journal and forwarding backlogs shown (250 ms)
inline constexpr int kTimerUnattendedBoxes = 33863; // unattended mode: boxes not connected tried again
inline constexpr int kTimerPendingNotice = 33864;   // headless: pending journal lines said (10 s)
inline constexpr int kTimerStatusPage = 33866;      // the status page's facts taken anew (500 ms)
// + box number (1..4): a box back after an outage, its gap fetched once the live reads
// of the margin are in.
inline constexpr int kTimerGapRecovery = 41300;

// The box files explorer's: its first listing shortly after it opens.
inline constexpr int kTimerBoxFilesFirstListing = 41207;
inline constexpr int kTimerBackgroundExport = 34966; // background export tick (1000 ms, re-armed by it)

// The direct link's.
inline constexpr int kTimerLinkPing = 34137;
inline constexpr int kTimerLinkQueries = 34146;
inline constexpr int kTimerLinkReconnectAfterLoss = 34148;
inline constexpr int kTimerLinkVersionAlert = 8583;

}  // namespace lv
