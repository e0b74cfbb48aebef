#pragma once
// Decoding of one answer line of the timing application: what to log, what to show
// and what to speak. Pure: the caller (the direct-link session) applies the result.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Texts.h"
#include "core/DetectionRecords.h"
#include "link/DirectCodes.h"
#include "link/DirectLinkListener.h"

namespace lv {

struct DirectLogLine {
    int level = 0;
    std::string text;
};

struct DirectAnswer {
    // The answer's code: the error code, the runner's status, 105 after an
    // information or undecodable line, -20 after a runner answer that did not decode.
    int code = kResultInformation;
    std::vector<DirectLogLine> log;
    std::optional<RunnerDisplay> display;  // new runner displays
    std::optional<CSummaryItem> summary;   // a line for the summary window
    std::string speech;                    // the runner's name to speak; empty: none
    std::optional<QuilletVersion> version; // a version answer that converted
    bool versionIncompatible = false;      // older than "4.40_": alert and stop
};

// The fields of a runner answer (limits in characters).
struct RunnerAnswer {
    int passing = 0;
    double distance = 0;
    std::string nation;      // 255
    std::string race;        // 255
    int overallRank = 0;     // CLT-GAL, 0 = not ranked
    int categoryRank = 0;    // CLT-CAT
    int sexRank = 0;         // CLT-SEX
    int bib = 0;             // NUMBER
    std::string lastName;    // 255
    std::string firstName;   // 255
    std::string sex;         // 19
    std::string shortCategory;  // 19
    std::string category;    // 49
    std::string team;        // 255
    std::string time;        // 255
    std::string spare;       // 19
    int status = 0;
};

enum class RunnerLayout { Gm04, Gm05, Gm06 };

// Scans a tagged runner answer; returns the number of fields converted (the scan
// stops at the first field that does not convert). It matched when that number is
// the layout's field count and the first field is the layout's tag.
int ScanTaggedRunnerAnswer(std::string_view line, RunnerLayout layout, RunnerAnswer& answer,
                           bool& matched);

// Reads a "RES:1" runner answer (missing fields read empty or 0).
RunnerAnswer ReadRes1RunnerAnswer(std::string_view line);

// Interprets one answer line (line ends already removed).
DirectAnswer DecodeDirectResponse(std::string_view line, Language language);

}  // namespace lv
