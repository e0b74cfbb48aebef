#pragma once
// Every timer of the UI loop by id, in one place: an id armed twice replaces the
// first timer, so ids of the window and of the direct link must never meet.
namespace lv {

// The main window's.
inline constexpr int kTimerStartupConfig = 22662;  // the configuration dialog shortly after start
inline constexpr int kTimerDayCheck = 33861;       // GDaysToAdd follows today (500 ms)
inline constexpr int kTimerDeferredRefresh = 17732; // counters of a burst of passings, together

// The box files explorer's: its first listing shortly after it opens.
inline constexpr int kTimerBoxFilesFirstListing = 41207;

// The direct link's.
inline constexpr int kTimerLinkPing = 34137;
inline constexpr int kTimerLinkQueries = 34146;
inline constexpr int kTimerLinkReconnectAfterLoss = 34148;
inline constexpr int kTimerLinkVersionAlert = 8583;

}  // namespace lv
