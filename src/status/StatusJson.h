#pragma once
// /status.json: the facts of a snapshot, for the page's own script and for scripts
// and monitoring. Texts from outside (labels, box descriptions) may hold any byte:
// the output is valid UTF-8 JSON whatever they hold.
#include <cstdint>
#include <string>
#include <string_view>

#include "status/StatusFacts.h"

namespace lv {

// A snapshot older than this (seconds) is stale: the controller stopped making them.
inline constexpr int kStatusStaleSeconds = 5;

// `text` as a JSON string, quotes included. Invalid UTF-8 becomes U+FFFD; '<' is
// escaped too, so that the text may stand inside a <script> element.
std::string JsonQuoted(std::string_view text);

// The whole document; `now` (seconds since 1970) gives the clock and the staleness.
std::string StatusJson(const StatusFacts& facts, std::int64_t now);

// The local date and time "2026-05-17 10:42:13" of a time since 1970.
std::string LocalClockText(std::int64_t secondsSince1970);

}  // namespace lv
