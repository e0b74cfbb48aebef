#include "link/DirectAnswerDecoder.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <cctype>
#include <charconv>

#include "link/AnswerText.h"

namespace lv {
namespace {

constexpr std::size_t kLongText = 255;
constexpr std::size_t kShortText = 19;
constexpr std::size_t kCategoryText = 49;
constexpr char kSeparator = '\\';

enum class Field {
    Tag, Pass, Dist, Nation, Race, Gal, CatRank, SexRank, Number, Last, First, Sex, Scat, Cat,
    Team, Time, Spare, Status
};

// The fields shared by every layout after the ranks.
#define LV_RUNNER_TAIL                                                                      \
    Field::Gal, Field::CatRank, Field::SexRank, Field::Number, Field::Last, Field::First,     \
        Field::Sex, Field::Scat, Field::Cat, Field::Team, Field::Time, Field::Spare, Field::Status

const std::vector<Field> kGm04 = {Field::Tag, Field::Pass, LV_RUNNER_TAIL};
const std::vector<Field> kGm05 = {Field::Tag, Field::Pass, Field::Dist, Field::Nation, LV_RUNNER_TAIL};
const std::vector<Field> kGm06 = {Field::Tag,    Field::Pass, Field::Dist,
                                  Field::Nation, Field::Race, LV_RUNNER_TAIL};
const std::vector<Field> kRes1 = {Field::Pass, Field::Dist, Field::Nation, Field::Race,
                                  LV_RUNNER_TAIL};
#undef LV_RUNNER_TAIL

bool IsNumberField(Field field) {
    switch (field) {
        case Field::Pass: case Field::Gal: case Field::CatRank: case Field::SexRank:
        case Field::Number: case Field::Status: case Field::Dist:
            return true;
        default:
            return false;
    }
}

std::size_t TextLimit(Field field) {
    switch (field) {
        case Field::Sex: case Field::Scat: case Field::Spare: return kShortText;
        case Field::Cat: return kCategoryText;
        default: return kLongText;
    }
}

std::string* TextTarget(RunnerAnswer& answer, Field field, std::string& tag) {
    switch (field) {
        case Field::Tag: return &tag;
        case Field::Nation: return &answer.nation;
        case Field::Race: return &answer.race;
        case Field::Last: return &answer.lastName;
        case Field::First: return &answer.firstName;
        case Field::Sex: return &answer.sex;
        case Field::Scat: return &answer.shortCategory;
        case Field::Cat: return &answer.category;
        case Field::Team: return &answer.team;
        case Field::Time: return &answer.time;
        case Field::Spare: return &answer.spare;
        default: return nullptr;
    }
}

int* IntTarget(RunnerAnswer& answer, Field field) {
    switch (field) {
        case Field::Pass: return &answer.passing;
        case Field::Gal: return &answer.overallRank;
        case Field::CatRank: return &answer.categoryRank;
        case Field::SexRank: return &answer.sexRank;
        case Field::Number: return &answer.bib;
        case Field::Status: return &answer.status;
        default: return nullptr;
    }
}

// A leading real as "%f" reads it (C locale). Returns the characters consumed.
std::size_t LeadingReal(std::string_view text, double& value) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    if (pos < text.size() && text[pos] == '+') {
        ++pos;
        if (pos < text.size() && text[pos] == '-') return 0;
    }
    double parsed = 0;
    auto [end, error] = std::from_chars(text.data() + pos, text.data() + text.size(), parsed);
    if (error != std::errc()) return 0;
    value = parsed;
    return static_cast<std::size_t>(end - text.data());
}

// The next field of a backslash-separated line, and the position after its separator
// (npos after the last field).
std::string_view NextField(std::string_view line, std::size_t& pos) {
    std::size_t end = line.find(kSeparator, pos);
    std::string_view field = line.substr(pos, end == std::string_view::npos ? std::string_view::npos
                                                                            : end - pos);
    pos = end == std::string_view::npos ? std::string_view::npos : end + 1;
    return field;
}

const std::vector<Field>& LayoutFields(RunnerLayout layout) {
    switch (layout) {
        case RunnerLayout::Gm04: return kGm04;
        case RunnerLayout::Gm05: return kGm05;
        default: return kGm06;
    }
}

const char* LayoutTag(RunnerLayout layout) {
    switch (layout) {
        case RunnerLayout::Gm04: return "gm04";
        case RunnerLayout::Gm05: return "gm05";
        default: return "gm06";
    }
}

DirectLogLine Line(int level, std::string text) { return DirectLogLine{level, std::move(text)}; }

void ShowRunner(const RunnerAnswer& runner, Language language, DirectAnswer& result) {
    result.code = runner.status;
    std::string name = PadToChars(runner.firstName + " " + runner.lastName, 30);
    if (runner.status == kResultControlTime) return;
    std::string resultText = ResultCodeText(runner.status, language);
    if (runner.status != kResultTimeRecorded) {
        result.log.push_back(Line(0, "------------------------ " + resultText));
    }
    std::string passing = runner.passing == 1 ? "." : fmt::format("p{}", runner.passing);
    std::string rank;
    if (runner.overallRank != 0) {
        rank = RankOrdinal(runner.overallRank, runner.sex, language) + " - " +
               RankOrdinal(runner.sexRank, runner.sex, language) + " " + runner.sex + " - " +
               RankOrdinal(runner.categoryRank, runner.sex, language) + " " + runner.shortCategory;
    } else {
        rank = runner.sex + " - " + runner.category;
    }
    std::string time = runner.time == "00:00:00" ? std::string(8, ' ') : runner.time;
    result.display = RunnerDisplay{name, rank, time};

    CSummaryItem item;
    item.name = name;
    item.bib = runner.bib;
    item.time = time;
    item.info = passing;
    if (runner.status == kResultTimeRecorded) {
        item.rank = rank;
        item.status = 0;
    } else {
        item.rank = resultText;
        item.status = 1;
    }
    result.summary = item;
    result.speech = TrimSpaces(runner.firstName + "  " + runner.lastName);
}

void DecodeInformation(std::string_view line, int code, Language language, DirectAnswer& result) {
    std::size_t space = line.find(' ');
    std::string_view value = space == std::string_view::npos ? std::string_view{}
                                                             : line.substr(space + 1);
    if (code == kInformationVersion && space != std::string_view::npos) {
        QuilletVersion version;
        if (ParseQuilletVersion(value, version) && !version.text.empty()) {
            result.version = version;
            result.versionIncompatible = IsOlderVersion(version, MinimumQuilletVersion());
        }
    }
    if (code == kInformationPing) return;
    std::string text = "$$$ " + InformationName(code, language);
    if (space != std::string_view::npos) text += ": " + std::string(value);
    result.log.push_back(Line(0, text));
}

}  // namespace

int ScanTaggedRunnerAnswer(std::string_view line, RunnerLayout layout, RunnerAnswer& answer,
                           bool& matched) {
    const std::vector<Field>& fields = LayoutFields(layout);
    std::string tag;
    int converted = 0;
    std::size_t pos = 0;
    matched = false;
    for (std::size_t index = 0; index < fields.size(); ++index) {
        if (pos == std::string_view::npos) break;
        Field field = fields[index];
        std::string_view text = NextField(line, pos);
        bool last = index + 1 == fields.size();
        if (field == Field::Dist) {
            std::size_t used = LeadingReal(text, answer.distance);
            if (used == 0) break;
            ++converted;
            if (used != text.size() && !last) break;
        } else if (IsNumberField(field)) {
            std::size_t used = ScanLeadingInt(text, *IntTarget(answer, field));
            if (used == 0) break;
            ++converted;
            // Anything after the number stops the scan, as a literal separator would.
            if (used != text.size() && !last) break;
        } else {
            *TextTarget(answer, field, tag) = CutToChars(text, TextLimit(field));
            ++converted;
        }
    }
    matched = converted == static_cast<int>(fields.size()) && tag == LayoutTag(layout);
    return converted;
}

RunnerAnswer ReadRes1RunnerAnswer(std::string_view line) {
    RunnerAnswer answer;
    std::string unusedTag;
    // "RES:1", one separator, two skipped fields, then the fields of the layout.
    std::size_t pos = line.size() > 6 ? 6 : std::string_view::npos;
    for (int skipped = 0; skipped < 2 && pos != std::string_view::npos; ++skipped) {
        NextField(line, pos);
    }
    for (Field field : kRes1) {
        std::string_view text = pos == std::string_view::npos ? std::string_view{}
                                                              : NextField(line, pos);
        if (field == Field::Dist) {
            answer.distance = 0;
            LeadingReal(text, answer.distance);
        } else if (IsNumberField(field)) {
            int* target = IntTarget(answer, field);
            *target = 0;
            ScanLeadingInt(text, *target);
        } else {
            *TextTarget(answer, field, unusedTag) = CutToChars(text, TextLimit(field));
        }
    }
    return answer;
}

DirectAnswer DecodeDirectResponse(std::string_view rawLine, Language language) {
    DirectAnswer result;
    std::string line = AnswerTextToUtf8(rawLine);
    std::string_view view(line);
    bool isError = view.substr(0, 4) == "ERR:";
    bool isInformation = view.substr(0, 4) == "NFO:";
    if (isError || isInformation) {
        int code = 0;
        if (ScanLeadingInt(view.substr(4), code) == 0) {
            result.log.push_back(Line(0, "$$$ Can't decode " + line));
            return result;
        }
        if (isError) {
            result.code = code;
            result.log.push_back(Line(0, "$$$ " + ResultCodeText(code, language)));
        } else {
            DecodeInformation(view, code, language, result);
        }
        return result;
    }
    RunnerAnswer runner;
    if (view.substr(0, 5) == "RES:1") {
        runner = ReadRes1RunnerAnswer(view);
    } else {
        bool matched = false;
        int converted = 0;
        for (RunnerLayout layout : {RunnerLayout::Gm04, RunnerLayout::Gm05, RunnerLayout::Gm06}) {
            runner = RunnerAnswer{};
            converted = ScanTaggedRunnerAnswer(view, layout, runner, matched);
            if (matched) break;
        }
        if (!matched) {
            result.code = kResultDecodingFailed;
            result.display = RunnerDisplay{"Decoding", "", "Error"};
            const char* format = language == Language::English
                                     ? "Error decoding response: (ret=%d)"
                                     : "Erreur décodage réponse: (ret=%d)";
            result.log.push_back(Line(0, fmt::sprintf(format, converted)));
            return result;
        }
    }
    ShowRunner(runner, language, result);
    return result;
}

}  // namespace lv
