#include "boxes/DecoderProtocol.h"

#include <fmt/printf.h>

#include "base/Log.h"

namespace lv {

namespace {

struct Prefix {
    std::string_view keyword;
    int code;
};

// Compared in this order, each keyword over its own length.
constexpr Prefix kResponsePrefixes[] = {
    {"SETPUSHPASSINGS", kRespSetPushPassings},
    {"GETTIME", kRespGetTime},
    {"SETTIME", kRespSetTime},
    {"SETPROTOCOL", kRespSetProtocol},
    {"LISTFILES", kRespListFiles},
    {"SETBOUNCE", kRespSetBounce},
    {"STARTOPERATION", kRespStartOperation},
    {"STOPOPERATION", kRespStopOperation},
    {"ASCII", kRespAscii},
    {"TIMESTAMPGET", kRespTimestampGet},
    {"EPOCHREFGET", kRespEpochRefGet},
    {"EPOCHREFSET", kRespEpochRefSet},
    {"EPOCHREFADJ1D", kRespEpochRefAdjust1Day},
    {"PASSINGGET", kRespPassingGet},
    {"PASSINGINFOGET", kRespPassingInfoGet},
    {"INFOGET", kRespInfoGet},
    {"INFOFGET", kRespInfoGet},
    {"CONFGET", kRespConfGet},
    {"CONFSET", kRespConfSet},
    {"RESTARTING", kRespRestarting},
    {"COMMANDNOTEXISTING", kRespCommandNotExisting},
};

// Protocol traffic shows whole lines of any sensible length; beyond that, an excerpt.
constexpr std::size_t kTrafficLogBytes = 512;

bool IsLeadingSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

std::vector<std::string> SplitFields(std::string_view text, std::string_view separators) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t cut = text.find_first_of(separators, start);
        if (cut == std::string_view::npos) break;
        fields.emplace_back(text.substr(start, cut - start));
        start = cut + 1;
    }
    if (start < text.size()) fields.emplace_back(text.substr(start));
    return fields;
}

// find_first_of tests every character against the set; a single separator (";" of
// every passing line) is looked for with the library's fast search.
std::size_t FindSeparator(std::string_view text, std::string_view separators, std::size_t start) {
    return separators.size() == 1 ? text.find(separators[0], start) : text.find_first_of(separators, start);
}

std::size_t CountFields(std::string_view text, std::string_view separators) {
    std::size_t count = 0;
    std::size_t start = 0;
    for (;;) {
        std::size_t cut = FindSeparator(text, separators, start);
        if (cut == std::string_view::npos) break;
        ++count;
        start = cut + 1;
    }
    return start < text.size() ? count + 1 : count;
}

std::vector<std::string_view> SplitFieldViews(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> fields;
    fields.reserve(CountFields(text, separators));
    std::size_t start = 0;
    for (;;) {
        std::size_t cut = FindSeparator(text, separators, start);
        if (cut == std::string_view::npos) break;
        fields.push_back(text.substr(start, cut - start));
        start = cut + 1;
    }
    if (start < text.size()) fields.push_back(text.substr(start));
    return fields;
}

bool BuildCommandText(int code, const std::string& argument, std::string& command,
                      std::string& error) {
    error.clear();
    switch (code) {
        case kCmdSetTime: command = "SETTIME;" + argument; return true;
        case kCmdGetTime: command = "GETTIME"; return true;
        case kCmdSetPushPassings: command = "SETPUSHPASSINGS;" + argument; return true;
        case kCmdStartOperation: command = "STARTOPERATION"; return true;
        case kCmdStopOperation: command = "STOPOPERATION"; return true;
        case kCmdSetProtocol: command = "SETPROTOCOL;" + argument; return true;
        case kCmdAscii: command = "ASCII"; return true;
        case kCmdTimestampGet: command = "TIMESTAMPGET"; return true;
        case kCmdEpochRefGet: command = "EPOCHREFGET"; return true;
        case kCmdEpochRefSet: command = "EPOCHREFSET;" + argument; return true;
        case kCmdEpochRefAdjust1Day: command = "EPOCHREFADJ1D"; return true;
        default:
            command.clear();
            error = fmt::sprintf("Unknown command code: %d", code);
            return false;
    }
}

std::string TrimReceived(std::string_view received) {
    std::size_t begin = 0;
    while (begin < received.size() && IsLeadingSpace(received[begin])) ++begin;
    std::size_t end = received.size();
    while (end > begin &&
           (received[end - 1] == '\n' || received[end - 1] == '\r' || received[end - 1] == ' ')) {
        --end;
    }
    return std::string(received.substr(begin, end - begin));
}

int ResponseCodeOf(std::string_view trimmed) {
    // No keyword begins with '#': a passing line is told at once.
    if (trimmed.substr(0, 2) == "#P") {
        return CountFields(trimmed, ";") == kPassingFieldCount ? kRespPassing : kRespNone;
    }
    for (const Prefix& prefix : kResponsePrefixes) {
        if (trimmed.substr(0, prefix.keyword.size()) == prefix.keyword) return prefix.code;
    }
    return kRespNone;
}

bool ClassifyResponse(std::string_view received, std::string& response, int& code) {
    code = kRespNone;
    response = TrimReceived(received);
    std::size_t start = 0;
    bool first = true;
    while (start <= response.size()) {
        std::size_t feed = response.find('\n', start);
        std::size_t end = feed == std::string::npos ? response.size() : feed;
        // Every received line is logged: made without a format string.
        std::string traffic = first ? "<<-<< " : "<<--- ";
        AppendPrintableExcerpt(traffic, std::string_view(response).substr(start, end - start), kTrafficLogBytes);
        Log(100, traffic);
        first = false;
        if (feed == std::string::npos) break;
        start = feed + 1;
    }
    code = ResponseCodeOf(response);
    if (code == kRespNone) {
        Log(0, fmt::sprintf(".. Unknown command: %s", PrintableExcerpt(response)));
        return false;
    }
    return true;
}

ReceivedLine ClassifyReceivedLine(const std::string& line, bool incomplete) {
    ReceivedLine received;
    // Blank when trimming would leave nothing; checked without making the copy.
    bool blank = true;
    for (char c : line) {
        if (!IsLeadingSpace(c)) {
            blank = false;
            break;
        }
    }
    if (!incomplete && blank) return received;
    if (incomplete || !ClassifyResponse(line, received.text, received.code)) {
        received.kind = ReceivedKind::Invalid;
        received.text = line;
        return received;
    }
    received.kind = received.code == kRespPassing ? ReceivedKind::Passing : ReceivedKind::Response;
    return received;
}

bool MatchesExpected(std::string_view response, std::string_view expected) {
    for (const std::string& alternative : SplitFields(expected, "+\\/-")) {
        // An empty alternative ("A//B") would match anything: it names no response.
        if (alternative.empty()) continue;
        if (response.substr(0, alternative.size()) == alternative) return true;
    }
    return false;
}

std::string PrintableExcerpt(std::string_view text, std::size_t maxBytes) {
    std::string shown;
    AppendPrintableExcerpt(shown, text, maxBytes);
    return shown;
}

void AppendPrintableExcerpt(std::string& shown, std::string_view text, std::size_t maxBytes) {
    const std::size_t limit = text.size() > maxBytes ? maxBytes : text.size();
    shown.reserve(shown.size() + limit + 32);
    // Runs of printable bytes (the whole of a well-formed line) are copied at once.
    std::size_t run = 0;
    for (std::size_t i = 0; i < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c >= 0x20 && c < 0x7F) || c == '\r' || c == '\t') continue;
        shown.append(text.substr(run, i - run));
        shown += fmt::sprintf("\\x%02X", static_cast<unsigned>(c));
        run = i + 1;
    }
    shown.append(text.substr(run, limit - run));
    if (limit < text.size()) shown += fmt::sprintf("... (%u bytes)", static_cast<unsigned>(text.size()));
}

}  // namespace lv
