#include "TimingAppAnswers.h"

#include <fmt/format.h>

#include <cctype>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace sim {
namespace {

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : text) {
        if (c == separator) {
            parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    parts.push_back(part);
    return parts;
}

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

std::string Join(const std::vector<std::string>& fields) {
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) line += '\\';
        line += fields[i];
    }
    return line;
}

}  // namespace

std::string ShownTime(const std::string& timeText) {
    if (timeText.find(':') != std::string::npos) {
        return timeText.substr(0, timeText.find('.'));
    }
    char* end = nullptr;
    long long seconds = std::strtoll(timeText.c_str(), &end, 10);
    if (end == timeText.c_str()) return "00:00:00";
    std::time_t when = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&when, &local);
    return fmt::format("{:02}:{:02}:{:02}", local.tm_hour, local.tm_min, local.tm_sec);
}

TimingAppResponder::TimingAppResponder(const TimingAppOptions& options, SimRace& race)
    : options_(options), race_(race) {}

std::string TimingAppResponder::Answer(const std::string& line) {
    if (line == "Ping()") return "NFO:20";
    if (line == "GetMode()") return "NFO:24 " + options_.application;
    if (line == "GetUserName()") return "NFO:25 " + options_.user;
    if (line == "GetCompetitionName()") return "NFO:5 " + options_.competition;
    if (line == "GetFilename()") return "NFO:6 " + options_.filename;
    if (line == "GetVersion()") return "NFO:27 " + options_.version;
    if (line == "GetPrintableVersion()") return "NFO:28 " + options_.printableVersion;
    if (line == "GetDetectorList()") return "NFO:7 " + options_.detectors;
    const std::string push = "AddQoxClock(";
    if (line.compare(0, push.size(), push) == 0) {
        if (line.back() != ')') return "ERR:104";
        return AnswerPush(line.substr(push.size(), line.size() - push.size() - 1));
    }
    if (line.empty()) return {};
    return "ERR:103";
}

std::string TimingAppResponder::AnswerPush(const std::string& record) {
    // "1<TAB>detector<TAB>label<TAB>1<TAB>time"
    std::vector<std::string> fields = SplitAt(record, '\t');
    if (fields.size() != 5 || fields[0] != "1" || fields[3] != "1" || fields[1].empty() ||
        fields[4].empty()) {
        return "ERR:104";
    }
    const std::string& label = fields[2];
    if (!AllDigits(label)) return "ERR:-2";
    int bib = std::atoi(label.c_str());
    const SimRunner* runner = race_.Find(bib);
    if (runner == nullptr) return "ERR:-5";
    auto chosen = options_.statusByBib.find(bib);
    int status = chosen == options_.statusByBib.end() ? 3 : chosen->second;
    SimStanding standing = status == 3 ? race_.CountPassing(bib) : race_.Standing(bib);
    return RunnerAnswer(*runner, standing, fields[1], fields[4], status);
}

std::string TimingAppResponder::RunnerAnswer(const SimRunner& runner, const SimStanding& standing,
                                             const std::string& detector,
                                             const std::string& timeText, int status) const {
    std::string pass = std::to_string(standing.passes);
    std::string distance = fmt::format("{:.1f}", standing.passes * options_.lapKm);
    std::vector<std::string> ranks = {std::to_string(standing.overall),
                                      std::to_string(standing.inCategory),
                                      std::to_string(standing.inSex)};
    std::vector<std::string> identity = {std::to_string(runner.bib), runner.lastName,
                                         runner.firstName,           runner.sex,
                                         runner.shortCategory,       runner.category,
                                         runner.team,                ShownTime(timeText),
                                         "-",                        std::to_string(status)};
    std::vector<std::string> fields;
    if (options_.layout == "gm04") {
        fields = {"gm04", pass};
    } else if (options_.layout == "gm05") {
        fields = {"gm05", pass, distance, runner.nation};
    } else if (options_.layout == "gm06") {
        fields = {"gm06", pass, distance, runner.nation, runner.race};
    } else {
        // The two fields after "RES:1": the detector and the pushed time.
        fields = {"RES:1", detector, timeText, pass, distance, runner.nation, runner.race};
    }
    fields.insert(fields.end(), ranks.begin(), ranks.end());
    fields.insert(fields.end(), identity.begin(), identity.end());
    return Join(fields);
}

}  // namespace sim
