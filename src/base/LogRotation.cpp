#include "base/LogRotation.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include <fmt/format.h>

namespace lv {

std::string RotatedLogPath(const std::string& path, int number) { return fmt::format("{}.{}", path, number); }

namespace {

// An empty result when `from` was renamed or did not exist.
std::string Rename(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) == 0 || errno == ENOENT) return {};
    return fmt::format("rename {} -> {}: {}", from, to, std::strerror(errno));
}

}  // namespace

std::string RotateLogFiles(const std::string& path, int keep) {
    if (keep < 1) keep = 1;
    if (keep > kMaxKeptLogFiles) keep = kMaxKeptLogFiles;
    // Oldest first, so that no rename replaces a file not yet shifted.
    for (int number = keep - 1; number >= 1; --number) {
        std::string error = Rename(RotatedLogPath(path, number), RotatedLogPath(path, number + 1));
        if (!error.empty()) return error;
    }
    std::string error = Rename(path, RotatedLogPath(path, 1));
    if (!error.empty()) return error;
    // Left by a larger setting: the disk would never get them back otherwise.
    for (int number = keep + 1; number <= kMaxKeptLogFiles; ++number) {
        ::unlink(RotatedLogPath(path, number).c_str());
    }
    return {};
}

}  // namespace lv
