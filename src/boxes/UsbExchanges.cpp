#include "boxes/UsbExchanges.h"

#include <cstdio>
#include <fmt/printf.h>
#include <string>

#include "base/Log.h"
#include "base/Texts.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbAnswers.h"
#include "boxes/UsbExchangeSteps.h"

namespace lv::usb {

namespace {

// An English/French text; none when `english` is null.
struct Text {
    const char* english = nullptr;
    const char* french = nullptr;
};

enum class StatusRead {
    None,            // the reply has no status line worth reading
    Keyword,         // "KEYWORD;%d" on the status line
    AfterSemicolon,  // "%d" after the first ";" (the box answers under more than one keyword)
};

// Reads the value line into the answer's numbers; false when they are not all there.
using Decoder = bool (*)(const std::string& valueLine, uint32_t* numbers);

bool OneNumber(const std::string& line, uint32_t* numbers) {
    unsigned int n = 0;
    if (std::sscanf(line.c_str(), "%x", &n) != 1) return false;
    numbers[0] = n;
    return true;
}

bool TwoNumbers(const std::string& line, uint32_t* numbers) { return ReadHexPair(line, numbers[0], numbers[1]); }

bool FiveNumbers(const std::string& line, uint32_t* numbers) {
    const std::optional<UsbPassingCounts> counts = DecodePassingInfo(line);
    if (!counts) return false;
    numbers[0] = counts->count;
    numbers[1] = counts->firstIndex;
    numbers[2] = counts->firstTicks;
    numbers[3] = counts->lastIndex;
    numbers[4] = counts->lastTicks;
    return true;
}

bool ItemAndValue(const std::string& line, uint32_t* numbers) {
    const std::optional<UsbInfoValue> info = DecodeInfo(line);
    if (!info) return false;
    numbers[0] = info->item;
    numbers[1] = info->value;
    return true;
}

// The box restarts before it answers RESET.
constexpr int kResetSeconds = 8;

struct Exchange {
    ExchangeId id;
    const char* keyword;                     // the command, and the status line's keyword
    const char* argument = nullptr;          // the number after "KEYWORD;", as formatted; null: none
    const char* expected = nullptr;          // the answer's keyword(s), "A/B"
    int fixedSeconds = 0;                    // the wait; 0: the box's response wait
    bool pauseFirst = false;                 // the box's pause before the command
    Text noResponse{};                       // label, seconds waited
    StatusRead status = StatusRead::None;
    Text statusError{};                      // label, status line
    bool statusEnds = false;                 // a bad status fails the exchange; otherwise it is only logged
    Decoder decode = nullptr;                // null: the value line is not read
    Text decodeError{};                      // label, value line
};

// Some English texts end with a stray ")": that is their established wording, which
// log readers match on, so it is kept.
constexpr Exchange kExchanges[] = {
    {.id = ExchangeId::Reset,
     .keyword = "RESET",
     .expected = "RESTARTING/AUTOBOOT",
     .fixedSeconds = kResetSeconds},
    // Sent without the pause: the DTR pulse must follow at the announced second.
    {.id = ExchangeId::Synchronize,
     .keyword = "EPOCHREFSET",
     .argument = "%8x",
     .expected = "EPOCHREFSET",
     .status = StatusRead::Keyword,
     .statusError = {"+ %s : Error in synchronization response status: %s)",
                     "+ %s : Erreur dans le status de la synchronisation : %s"},
     .statusEnds = true,
     .decode = TwoNumbers,
     .decodeError = {"+ %s : Error while decoding Epoch Ref: %s)",
                     "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"}},
    {.id = ExchangeId::EpochReference,
     .keyword = "EPOCHREFGET",
     .expected = "EPOCHREFGET",
     .pauseFirst = true,
     .noResponse = {"+ %s : No response (%ds) for EPOCHREFGET", "+ %s : Pas de réponse (%ds) à EPOCHREFGET"},
     .status = StatusRead::Keyword,
     .statusError = {"+ %s : Error in timestamp response status: %s)",
                     "+ %s : Erreur dans le status de la demande d'heure : %s"},
     .decode = TwoNumbers,
     .decodeError = {"+ %s : Error while decoding Epoch Ref: %s",
                     "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"}},
    {.id = ExchangeId::AdjustEpoch,
     .keyword = "EPOCHREFADJ1D",
     .expected = "EPOCHREFADJ1D",
     .pauseFirst = true,
     .noResponse = {"+ %s : No response (%ds) for EPOCHREFADJ1D", "+ %s : Pas de réponse (%ds) à EPOCHREFADJ1D"},
     .status = StatusRead::Keyword,
     .statusError = {"+ %s : Error in Epoch Ref 1 day adjustment: %s",
                     "+ %s : Erreur dans le status de l'ajustement (1 jour) de l'horloge : %s"},
     .decode = TwoNumbers,
     .decodeError = {"+ %s : Error while decoding Epoch Ref: %s)",
                     "+ %s : Erreur dans le décodage de l'Epoch Ref : %s"}},
    {.id = ExchangeId::BoxTime,
     .keyword = "TIMESTAMPGET",
     .expected = "TIMESTAMPGET",
     .pauseFirst = true,
     .noResponse = {"+ %s : No response (%ds) for TIMESTAMPGET", "+ %s : Pas de réponse (%ds) à TIMESTAMPGET"},
     .status = StatusRead::Keyword,
     .statusError = {"+ %s : Error in timestamp response status: %s",
                     "+ %s : Erreur dans le status de la demande d'heure : %s"},
     .decode = OneNumber,
     .decodeError = {"+ %s : Error while decoding timestamp response: %s",
                     "+ %s : Erreur dans le décodage de la demande d'heure : %s"}},
    {.id = ExchangeId::PassingInfo,
     .keyword = "PASSINGINFOGET",
     .expected = "PASSINGINFOGET",
     .pauseFirst = true,
     .noResponse = {"+ %s : No response (%ds) for PASSINGINFOGET",
                    "+ %s : Pas de réponse (%ds) à PASSINGINFOGET"},
     .status = StatusRead::Keyword,
     .statusError = {"+ %s : Error in status response to PASSINGINFOGET: %s)",
                     "+ %s : Erreur dans le status de la réponse à PASSINGINFOGET : %s"},
     .decode = FiveNumbers,
     .decodeError = {"+ %s : Error in format in response to PASSINGINFOGET: %s",
                     "+ %s : Erreur de format dans la réponse à PASSINGINFOGET : %s"}},
    // Answered as INFOGET or INFOFGET: the status is read whatever the keyword.
    {.id = ExchangeId::BoxInfo,
     .keyword = "INFOGET",
     .argument = "%02x",
     .expected = "INFOGET/INFOFGET",
     .pauseFirst = true,
     .noResponse = {"+ %s : No response (%ds) for INFOGET", "+ %s : Pas de réponse (%ds) à INFOGET"},
     .status = StatusRead::AfterSemicolon,
     .statusError = {"+ %s : Error in status response to INFOGET: %s)",
                     "+ %s : Erreur dans le status de la réponse à INFOGET : %s"},
     .decode = ItemAndValue,
     .decodeError = {"+ %s : Error in format in response to INFOGET: %s",
                     "+ %s : Erreur de format dans la réponse à INFOGET : %s"}},
};

// The table is looked up by position.
constexpr bool TableInOrder() {
    int position = 0;
    for (const Exchange& exchange : kExchanges) {
        if (static_cast<int>(exchange.id) != position++) return false;
    }
    return true;
}
static_assert(TableInOrder(), "kExchanges must list the exchanges in the order of ExchangeId");

// The status on the status line, -1 when it does not read.
int StatusOf(const Exchange& entry, const std::string& statusLine) {
    if (entry.status == StatusRead::Keyword) return UsbReplyStatus(statusLine, entry.keyword);
    const std::size_t semicolon = statusLine.find(';');
    const std::string text = semicolon == std::string::npos ? statusLine : statusLine.substr(semicolon + 1);
    int status = -1;
    if (std::sscanf(text.c_str(), "%d", &status) != 1) return -1;
    return status;
}

void LogLine(const CTarvexBox& box, const Text& text, const std::string& line) {
    Log(0, fmt::sprintf(Tr(text.english, text.french), box.ExchangeLabel(), PrintableExcerpt(line)));
}

}  // namespace

bool RunExchange(CTarvexBox& box, CommandExchange& exchange, ExchangeId id, Answer& answer, uint32_t argument,
                 const std::function<void()>& afterSend) {
    const Exchange& entry = kExchanges[static_cast<int>(id)];
    std::string command = entry.keyword;
    if (entry.argument) command.append(";").append(fmt::sprintf(entry.argument, argument));
    const int seconds = entry.fixedSeconds > 0 ? entry.fixedSeconds : Seconds(box);

    const Asked asked = Ask(box, exchange, command, entry.expected, seconds, entry.pauseFirst, answer.reply, afterSend);
    if (asked == Asked::NoAnswer && entry.noResponse.english) {
        Log(0, fmt::sprintf(Tr(entry.noResponse.english, entry.noResponse.french), box.ExchangeLabel(), seconds));
    }
    if (asked != Asked::Answered) return false;

    if (entry.status != StatusRead::None && StatusOf(entry, answer.reply.statusLine) != 0) {
        LogLine(box, entry.statusError, answer.reply.statusLine);
        if (entry.statusEnds) return false;
    }
    if (entry.decode && !entry.decode(answer.reply.valueLine, answer.numbers)) {
        LogLine(box, entry.decodeError, answer.reply.valueLine);
        return false;
    }
    return true;
}

}  // namespace lv::usb
