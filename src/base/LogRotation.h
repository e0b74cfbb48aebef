#pragma once
// Numbered rotation of a log file: "<path>.1" is the newest old file, "<path>.<keep>"
// the oldest kept. The current file keeps its name, so whoever reads the log always
// finds the latest lines at the same path.
#include <string>

namespace lv {

// The most old files a rotation keeps (and the highest number it cleans up after a
// lower setting).
inline constexpr int kMaxKeptLogFiles = 99;

std::string RotatedLogPath(const std::string& path, int number);

// Shifts "<path>.1".."<path>.<keep - 1>" one number up (the oldest kept is replaced),
// renames `path` to "<path>.1" and removes numbers above `keep` left by a larger
// setting. `keep` is clamped to 1..kMaxKeptLogFiles. An empty result on success,
// else what stopped it ("rename <from> -> <to>: <reason>"); `path` is then left where
// it was, so the caller goes on writing to it.
std::string RotateLogFiles(const std::string& path, int keep);

}  // namespace lv
