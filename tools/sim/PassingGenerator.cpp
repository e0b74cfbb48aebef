#include "PassingGenerator.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <sstream>

namespace sim::decoder {

namespace {

// The fields after the time of a passing line (13 of them: 5 + 13 = 18).
constexpr const char* kTrailingFields = "1;0;0;-62;1;0;0;0;0;0;0;0;SIM";

bool LocalMidnightMs(int year, int month, int day, long long& ms) {
    std::tm fields{};
    fields.tm_year = year - 1900;
    fields.tm_mon = month - 1;
    fields.tm_mday = day;
    fields.tm_hour = 12;  // noon, then back to midnight: immune to the zone's changes of hour
    fields.tm_isdst = -1;
    std::time_t noon = std::mktime(&fields);
    if (noon == static_cast<std::time_t>(-1)) return false;
    std::tm check{};
    localtime_r(&noon, &check);
    if (check.tm_year != year - 1900 || check.tm_mon != month - 1 || check.tm_mday != day) return false;
    fields = check;
    fields.tm_hour = 0;
    fields.tm_min = 0;
    fields.tm_sec = 0;
    fields.tm_isdst = -1;
    ms = static_cast<long long>(std::mktime(&fields)) * 1000;
    return true;
}

std::string FormatLine(long long number, const std::string& chip, long long ms, bool zeroDate) {
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char date[48];
    if (zeroDate) {
        std::snprintf(date, sizeof date, "0000-00-00");
    } else {
        std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    }
    char line[256];
    std::snprintf(line, sizeof line, "#P;%lld;%s;%s;%02d:%02d:%02d.%03d;%s", number, chip.c_str(), date,
                  local.tm_hour, local.tm_min, local.tm_sec, static_cast<int>(ms % 1000), kTrailingFields);
    return line;
}

}  // namespace

bool LoadChipCodes(const std::string& path, std::vector<std::string>& chips, std::string& error) {
    std::ifstream file(path);
    if (!file) {
        error = "cannot read the chip table " + path;
        return false;
    }
    std::string line;
    while (std::getline(file, line)) {
        if (line.empty() || line[0] == '#' || line[0] == ';') continue;
        std::istringstream words(line);
        std::string bib, chip;
        if (words >> bib >> chip) chips.push_back(chip);
    }
    if (chips.empty()) {
        error = "no chip code in " + path;
        return false;
    }
    return true;
}

std::vector<std::string> GeneratedChipCodes(int runners) {
    std::vector<std::string> chips;
    chips.reserve(static_cast<std::size_t>(runners));
    char code[16];
    for (int i = 1; i <= runners; ++i) {
        std::snprintf(code, sizeof code, "C%05d", i);
        chips.emplace_back(code);
    }
    return chips;
}

bool PassingGenerator::Setup(const Options& options, std::vector<std::string> chips, std::string& error) {
    options_ = options;
    chips_ = std::move(chips);
    if (static_cast<int>(chips_.size()) > options_.runners) chips_.resize(static_cast<std::size_t>(options_.runners));
    random_.seed(options_.seed);

    auto now = std::chrono::system_clock::now();
    std::time_t nowSeconds = std::chrono::system_clock::to_time_t(now);
    std::tm today{};
    localtime_r(&nowSeconds, &today);
    int year = today.tm_year + 1900, month = today.tm_mon + 1, day = today.tm_mday;
    zeroDate_ = options_.date == "zero";
    if (options_.date != "today" && !zeroDate_) {
        if (std::sscanf(options_.date.c_str(), "%d-%d-%d", &year, &month, &day) != 3) {
            error = "bad date " + options_.date;
            return false;
        }
    }
    long long midnight = 0;
    if (!LocalMidnightMs(year, month, day, midnight)) {
        error = "date out of the calendar: " + options_.date;
        return false;
    }
    long long ofDayMs = 0;
    if (options_.start.empty()) {
        auto sinceEpoch = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count();
        ofDayMs = (today.tm_hour * 3600LL + today.tm_min * 60 + today.tm_sec) * 1000 + sinceEpoch % 1000;
    } else {
        int hours = 0, minutes = 0, seconds = 0, millis = 0;
        int read = std::sscanf(options_.start.c_str(), "%d:%d:%d.%d", &hours, &minutes, &seconds, &millis);
        if (read < 3 || hours > 23 || minutes > 59 || seconds > 59 || millis > 999) {
            error = "bad start time " + options_.start;
            return false;
        }
        ofDayMs = (hours * 3600LL + minutes * 60 + seconds) * 1000 + millis;
    }
    baseMs_ = midnight + ofDayMs;
    return true;
}

const std::string& PassingGenerator::RunnerChip(long long index) {
    long long runners = static_cast<long long>(chips_.size());
    long long lap = index / runners;
    if (lap != lapNumber_) {
        lapNumber_ = lap;
        lapOrder_.resize(chips_.size());
        for (std::size_t i = 0; i < lapOrder_.size(); ++i) lapOrder_[i] = static_cast<int>(i);
        // Fisher-Yates with the raw engine output: the same order on every platform.
        for (std::size_t i = lapOrder_.size(); i > 1; --i) {
            std::size_t j = random_() % i;
            std::swap(lapOrder_[i - 1], lapOrder_[j]);
        }
    }
    return chips_[static_cast<std::size_t>(lapOrder_[static_cast<std::size_t>(index % runners)])];
}

std::string PassingGenerator::Line(long long index, int read, const std::string& chip) {
    long long ms = baseMs_ + index * options_.stepMs + static_cast<long long>(read) * options_.spreadMs;
    return FormatLine(index + 1, chip, ms, zeroDate_);
}

std::string PassingGenerator::StampedLine(long long number, const std::string& chip, long long ms) {
    return FormatLine(number, chip, ms, false);
}

std::vector<std::string> PassingGenerator::Reads(long long index) {
    const std::string chip = RunnerChip(index);
    std::vector<std::string> reads;
    reads.reserve(static_cast<std::size_t>(options_.repeats));
    for (int read = 0; read < options_.repeats; ++read) reads.push_back(Line(index, read, chip));
    return reads;
}

std::string PassingGenerator::HalfLine(long long index) {
    std::string line = Line(index, 0, chips_[0]);
    return line.substr(0, line.size() / 2);
}

std::string PassingGenerator::Malformed(long long which) {
    std::string valid = Line(0, 0, chips_[0]);
    switch (which % 5) {
        case 0:  // 17 fields
            return valid.substr(0, valid.rfind(';'));
        case 1:  // 19 fields
            return valid + ";X";
        case 2: {  // a date out of the calendar
            std::string bad = valid;
            std::size_t dateStart = bad.find(';', bad.find(';', 3) + 1) + 1;
            bad.replace(dateStart, 10, "2024-13-45");
            return bad;
        }
        case 3:  // binary bytes
        {
            static const char kBinary[] = "#P\x00\x01\xfe\xff;\x80\x81;\x1b[0m;binary";
            return std::string(kBinary, sizeof kBinary - 1);
        }
        default:  // several kilobytes before the line feed
            return std::string(6000, 'Z');
    }
}

}  // namespace sim::decoder
