#include "core/SessionResume.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#include "base/AtomicFile.h"
#include "base/PlainText.h"
#include "core/RaceDayRule.h"

namespace lv {
namespace {

// A detection file of a whole race is tens of megabytes; far beyond, it is not one.
constexpr std::size_t kMaxDetectionFileBytes = std::size_t{2} << 30;

bool IsDigits(std::string_view text) {
    for (char c : text) {
        if (c < '0' || c > '9') return false;
    }
    return !text.empty();
}

// Where a detection file stands among the others: its time stamp, then its number
// among the files of the same second ("-2", "-3": instances started together).
struct DetectionFileOrder {
    std::string stamp;
    std::size_t number = 1;
    bool operator>(const DetectionFileOrder& other) const {
        return stamp != other.stamp ? stamp > other.stamp : number > other.number;
    }
};

// "Lumivane-YYYYMMDD-HHMMSS.dat" or "Lumivane-YYYYMMDD-HHMMSS-<n>.dat"
bool IsDetectionFileName(std::string_view name, DetectionFileOrder& order) {
    constexpr std::string_view kPrefix = "Lumivane-";
    constexpr std::string_view kSuffix = ".dat";
    if (name.size() < kPrefix.size() + 15 + kSuffix.size()) return false;
    if (name.substr(0, kPrefix.size()) != kPrefix || name.substr(name.size() - kSuffix.size()) != kSuffix) return false;
    const std::string_view stamp = name.substr(kPrefix.size(), 15);
    if (!IsDigits(stamp.substr(0, 8)) || stamp[8] != '-' || !IsDigits(stamp.substr(9, 6))) return false;
    std::string_view rest = name.substr(kPrefix.size() + 15);
    rest.remove_suffix(kSuffix.size());
    order.stamp.assign(stamp);
    order.number = 1;
    if (rest.empty()) return true;
    if (rest.front() != '-' || rest.size() > 4) return false;
    rest.remove_prefix(1);
    if (!IsDigits(rest)) return false;
    std::from_chars(rest.data(), rest.data() + rest.size(), order.number);
    return order.number >= 2;
}

// "<seconds since 1970>.<hundredths>", the hundredths without a leading zero.
bool ReadAbsoluteTime(std::string_view text, CChrono& instant) {
    const std::size_t point = text.find('.');
    if (point == std::string_view::npos) return false;
    std::size_t seconds = 0;
    std::size_t hundredths = 0;
    if (!ReadWholeNumber(text.substr(0, point), seconds) || !ReadWholeNumber(text.substr(point + 1), hundredths)) return false;
    if (seconds > 0x7FFFFFFF || hundredths > 99) return false;
    instant = CChrono(static_cast<int32_t>(seconds), static_cast<uint16_t>(hundredths * 10));
    return true;
}

// Fields of one line without its line end; false unless there are exactly six.
bool CutFields(std::string_view line, std::string_view (&fields)[6]) {
    std::size_t count = 0;
    for (;;) {
        const std::size_t tab = line.find('\t');
        if (count == 6) return false;
        fields[count++] = line.substr(0, tab);
        if (tab == std::string_view::npos) break;
        line.remove_prefix(tab + 1);
    }
    return count == 6;
}

}  // namespace

std::string FindSessionToResume(const std::string& folder, int hours) {
    if (hours <= 0) return {};
    std::error_code error;
    std::string newest;
    DetectionFileOrder newestOrder;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        DetectionFileOrder order;
        if (IsDetectionFileName(name, order) && (newest.empty() || order > newestOrder)) {
            newest = name;
            newestOrder = order;
        }
    }
    if (newest.empty()) return {};
    const std::filesystem::path path = std::filesystem::path(folder) / newest;
    if (!std::filesystem::is_regular_file(path, error) || std::filesystem::file_size(path, error) == 0 || error) {
        return {};
    }
    const auto written = std::filesystem::last_write_time(path, error);
    if (error) return {};
    // A file written "in the future" (a clock set back) counts as just written.
    if (std::filesystem::file_time_type::clock::now() - written >= std::chrono::hours(hours)) return {};
    return path.string();
}

bool ReadBackSession(const std::string& path, const std::array<std::string, 4>& raceDays, ResumedSession& resumed,
                     std::string& problem) {
    resumed = ResumedSession{};
    resumed.path = path;
    std::string content;
    if (ReadWholeFile(path, kMaxDetectionFileBytes, content, &problem) != FileReadStatus::Ok) {
        if (problem.empty()) problem = "missing";
        return false;
    }
    // A line the power failure cut (or the zeros a file system leaves after one) is
    // not a detection: the file goes back to its last whole line.
    const std::size_t end = content.rfind('\n');
    const std::size_t whole = end == std::string::npos ? 0 : end + 1;
    if (whole < content.size()) {
        std::error_code error;
        std::filesystem::resize_file(path, whole, error);
        if (error) {
            problem = fmt::format("an unfinished last line could not be cut ({})", error.message());
            return false;
        }
        resumed.cutBytes = content.size() - whole;
        content.resize(whole);
    }
    std::string_view rest(content);
    std::size_t number = 0;
    while (!rest.empty()) {
        const std::size_t lineEnd = rest.find('\n');
        std::string_view line = rest.substr(0, lineEnd);
        rest.remove_prefix(lineEnd + 1);
        ++number;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        std::string_view fields[6];
        std::size_t readNumber = 0;
        CQoxResult record;
        bool ok = CutFields(line, fields) && ReadWholeNumber(fields[0], readNumber) && readNumber == number &&
                  fields[3] == "1" && (fields[5] == "1" || fields[5] == "2");
        if (ok && fields[5] == "2") {
            CChrono instant;
            int raceDay = 0;
            ok = ReadAbsoluteTime(fields[4], instant);
            if (ok) record.ofDay = RaceTimeOfDay(instant, CChrono(), std::string(), raceDays, raceDay);
        } else if (ok) {
            ok = record.ofDay.ParseTime(fields[4]);
        }
        if (!ok) {
            problem = fmt::format("line {} does not read", number);
            return false;
        }
        record.boxName = fields[1];
        record.label = fields[2];
        record.timeText = fields[4];
        record.absoluteTime = fields[5] == "2" ? 1 : 0;
        record.source = DetectionSource::Resumed;
        resumed.lastTime = record.timeText;
        resumed.records.push_back(std::move(record));
    }
    if (resumed.records.empty()) {
        problem = "no detection";
        return false;
    }
    std::string stateProblem;
    resumed.stateFound = LoadSessionState(SessionStatePath(path), resumed.state, &stateProblem);
    if (!resumed.stateFound) resumed.state = SessionState{};
    if (resumed.state.forwarded > resumed.records.size()) resumed.state.forwarded = resumed.records.size();
    for (const auto& range : resumed.state.removed.Ranges()) {
        for (std::size_t n = range.first; n <= range.second && n <= resumed.records.size(); ++n) {
            resumed.records[n - 1].active = 0;
        }
    }
    resumed.content = std::move(content);
    return true;
}

}  // namespace lv
