// The timing application's answer lines over the direct connection: errors and
// information ("ERR:", "NFO:"), tagged runner answers and "RES:1" answers. Every field
// stays within its limit, whatever the line.
#include "FuzzSupport.h"
#include "link/DirectAnswerDecoder.h"

using namespace lv;

namespace {

// Limits count characters (UTF-8 sequences), not bytes.
std::size_t Chars(const std::string& text) {
    std::size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

void CheckLimits(const RunnerAnswer& answer) {
    for (const std::string* text : {&answer.nation, &answer.race, &answer.team, &answer.lastName,
                                    &answer.firstName, &answer.time}) {
        FUZZ_CHECK(Chars(*text) <= 255);
    }
    FUZZ_CHECK(Chars(answer.sex) <= 19 && Chars(answer.shortCategory) <= 19 && Chars(answer.spare) <= 19);
    FUZZ_CHECK(Chars(answer.category) <= 49);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    for (Language language : {Language::French, Language::English}) {
        const DirectAnswer answer = DecodeDirectResponse(line, language);
        for (const DirectLogLine& log : answer.log) FUZZ_CHECK(log.text.size() <= 4 * size + 1024);
    }
    for (RunnerLayout layout : {RunnerLayout::Gm04, RunnerLayout::Gm05, RunnerLayout::Gm06}) {
        RunnerAnswer answer;
        bool matched = false;
        const int converted = ScanTaggedRunnerAnswer(line, layout, answer, matched);
        FUZZ_CHECK(converted >= 0);
        CheckLimits(answer);
    }
    CheckLimits(ReadRes1RunnerAnswer(line));
    return 0;
}
