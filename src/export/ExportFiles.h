#pragma once
// The export files: their names and their three line formats. Files other programs
// read: CR LF line ends, written under a temporary name and renamed once complete, so
// that a transfer or a reader never takes a half-written file.
#include <string>
#include <string_view>

#include "core/Chrono.h"
#include "export/PassingStatistics.h"

namespace lv {

enum class DisplayType { ClockTime = 0, PassingTime = 1, Logica = 2 };

// A stored display type; anything out of range is the clock time.
DisplayType DisplayTypeFromInt(int value);

// "<generic>-<detector>-<n>.qox", or "...-ljk.txt" in the Logica form. A path
// separator in the detector id becomes '_', so that the file stays in its folder.
std::string LinesFileName(std::string_view genericName, std::string_view detector, int passing,
                          DisplayType type);
// "<generic>-<n>.qox" or "<generic>-<n>-ljk.txt".
std::string PassingFileName(std::string_view genericName, int passing, DisplayType type);

// The whole content of one file: one line per active result of `results`, numbered
// from 1. The clock time is the stored time text; the other forms subtract the handicap.
std::string FormatExportLines(const WorkRefs& results, DisplayType type, const CChrono& handicap);

// The time as the statistics rows show it for a display type.
std::string FormatShownTime(const CChrono& time, const CChrono& handicap, DisplayType type);

// Writes `content` to path + a temporary ending, then renames it over `path`. False with
// `error` (the path and the system's reason) when the file could not be made whole;
// nothing remains of the temporary file then.
bool WriteExportFile(const std::string& path, std::string_view content, std::string& error);

}  // namespace lv
