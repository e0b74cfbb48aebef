#pragma once
// The decoder line protocol: command texts, the classification of received texts, the
// splitting rule and the expected-response match. Pure functions, no I/O.
#include <string>
#include <string_view>
#include <vector>

namespace lv {

// Codes of the commands a caller builds with SendCommandCode.
enum CommandCode {
    kCmdSetTime = 1,
    kCmdGetTime = 2,
    kCmdSetPushPassings = 3,
    kCmdStartOperation = 4,
    kCmdStopOperation = 5,
    kCmdSetProtocol = 7,
    kCmdAscii = 101,
    kCmdTimestampGet = 102,
    kCmdEpochRefGet = 103,
    kCmdEpochRefSet = 104,
    kCmdEpochRefAdjust1Day = 105,
};

// Codes of the received texts (a second numbering).
enum ResponseCode {
    kRespNone = -1,
    kRespPassing = 0,
    kRespSetTime = 1,
    kRespGetTime = 2,
    kRespStartOperation = 3,
    kRespStopOperation = 4,
    kRespSetPushPassings = 5,
    kRespSetBounce = 6,
    kRespSetProtocol = 7,
    kRespListFiles = 8,
    kRespAscii = 101,
    kRespTimestampGet = 102,
    kRespEpochRefGet = 103,
    kRespEpochRefSet = 104,
    kRespEpochRefAdjust1Day = 105,
    kRespPassingGet = 106,
    kRespPassingInfoGet = 107,
    kRespConfGet = 108,
    kRespConfSet = 109,
    kRespInfoGet = 110,
    kRespRestarting = 120,
    kRespCommandNotExisting = 200,
};

// Number of ';' fields of a pushed passing line.
inline constexpr std::size_t kPassingFieldCount = 18;

// Cuts `text` at every occurrence of any separator: every field before a separator
// counts, even empty; the field after the last separator counts only when not empty.
std::vector<std::string> SplitFields(std::string_view text, std::string_view separators);
// The same fields as views into `text` (no copies: a passing line is cut once per
// passing), and their number alone.
std::vector<std::string_view> SplitFieldViews(std::string_view text, std::string_view separators);
std::size_t CountFields(std::string_view text, std::string_view separators);

// The command text of a code (without terminator). False for an unknown code, with
// "Unknown command code: %d" in `error`.
bool BuildCommandText(int code, const std::string& argument, std::string& command,
                      std::string& error);

// The line terminator of a command: "\n" for the serial box, "\r\n" for a decoder.
inline const char* CommandTerminator(bool serial) { return serial ? "\n" : "\r\n"; }

// Trims the received text, logs its lines as protocol traffic (level 100), and gives
// its response code. False for an unrecognised text (".. Unknown command: %s" at
// level 0, code stays -1).
bool ClassifyResponse(std::string_view received, std::string& response, int& code);
// The classification alone, without logging (same trimming, same order).
int ResponseCodeOf(std::string_view trimmed);

// What one received line is, for whoever reads it (the box thread's intake, a command
// exchange): the single judgement of a line both act on.
enum class ReceivedKind {
    Blank,     // nothing but white space: neither a response nor an error
    Invalid,   // cut by the transport, or not a text of the protocol
    Passing,   // a pushed passing line
    Response,  // any other text of the protocol
};
struct ReceivedLine {
    ReceivedKind kind = ReceivedKind::Blank;
    std::string text;  // trimmed; for Invalid, the line as received
    int code = -1;     // ResponseCode for Passing and Response
};
// Judges a line as received (without its line feed). `incomplete`: the transport cut it;
// such a line is Invalid without being looked at. Other lines go through
// ClassifyResponse (traffic logged at level 100, unknown texts at level 0).
ReceivedLine ClassifyReceivedLine(const std::string& line, bool incomplete);
// Leading white space, then trailing line feeds, carriage returns and spaces, removed.
std::string TrimReceived(std::string_view received);

// True when the response begins with one of the alternatives of `expected`, which are
// separated by any of "+\/-" (for example "ASCII/COMMANDNOTEXISTING").
bool MatchesExpected(std::string_view response, std::string_view expected);

// A received text fit for a log line: printable bytes kept, others shown as \xHH, long
// texts shortened with their byte count.
std::string PrintableExcerpt(std::string_view text, std::size_t maxBytes = 160);
// The same, appended to `shown` (a log line being made).
void AppendPrintableExcerpt(std::string& shown, std::string_view text, std::size_t maxBytes = 160);

}  // namespace lv
