#include "link/AnswerText.h"

#include <fmt/format.h>

#include <cctype>
#include <climits>
#include <cstdint>

namespace lv {
namespace {

// Length of the valid UTF-8 sequence at text[i], or 0 when it is not one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    if (lead < 0x80) return 1;
    std::size_t length;
    uint32_t minimum;
    uint32_t codePoint;
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        minimum = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        minimum = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        minimum = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

bool IsValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = Utf8SequenceLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

void AppendCodePoint(std::string& out, uint32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// Windows-1252 bytes 0x80..0x9F; the five unassigned ones give the replacement mark.
constexpr uint16_t kWindows1252High[32] = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178};

}  // namespace

namespace {

// A control byte would reach the log and the terminal as a command (colours, cursor
// moves, a cleared screen): it is written as \xNN instead.
void AppendEscaped(std::string& out, unsigned value) { out += fmt::format("\\x{:02X}", value); }

bool IsControl(unsigned char byte) { return (byte < 0x20 && byte != '\t') || byte == 0x7F; }

}  // namespace

std::string AnswerTextToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    if (IsValidUtf8(bytes)) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            auto byte = static_cast<unsigned char>(bytes[i]);
            if (byte == 0) {
                out += ' ';
            } else if (IsControl(byte)) {
                AppendEscaped(out, byte);
            } else if (byte == 0xC2 && i + 1 < bytes.size() && static_cast<unsigned char>(bytes[i + 1]) >= 0x80 &&
                       static_cast<unsigned char>(bytes[i + 1]) <= 0x9F) {
                // U+0080..U+009F: the 8-bit controls, which some terminals obey too.
                AppendEscaped(out, static_cast<unsigned char>(bytes[++i]));
            } else {
                out += static_cast<char>(byte);
            }
        }
        return out;
    }
    for (char c : bytes) {
        auto byte = static_cast<unsigned char>(c);
        if (byte == 0) {
            out += ' ';
        } else if (IsControl(byte)) {
            AppendEscaped(out, byte);
        } else if (byte < 0x80) {
            out += c;
        } else if (byte < 0xA0) {
            AppendCodePoint(out, kWindows1252High[byte - 0x80]);
        } else {
            AppendCodePoint(out, byte);
        }
    }
    return out;
}

std::string CutToChars(std::string_view utf8, std::size_t maxChars) {
    std::size_t i = 0;
    for (std::size_t count = 0; i < utf8.size() && count < maxChars; ++count) {
        std::size_t length = Utf8SequenceLength(utf8, i);
        i += length == 0 ? 1 : length;
    }
    return std::string(utf8.substr(0, i));
}

std::string PadToChars(std::string_view utf8, std::size_t width) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < utf8.size(); ++count) {
        std::size_t length = Utf8SequenceLength(utf8, i);
        i += length == 0 ? 1 : length;
    }
    std::string out(utf8);
    if (count < width) out.append(width - count, ' ');
    return out;
}

std::size_t ScanLeadingInt(std::string_view text, int& value) {
    std::size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
    std::size_t first = pos;
    long long magnitude = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        if (magnitude <= INT_MAX) magnitude = magnitude * 10 + (text[pos] - '0');
        ++pos;
    }
    if (pos == first) return 0;
    long long signedValue = negative ? -magnitude : magnitude;
    value = static_cast<int>(signedValue > INT_MAX ? INT_MAX
                             : signedValue < INT_MIN ? INT_MIN
                                                     : signedValue);
    return pos;
}

std::string TrimSpaces(std::string_view text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) return {};
    std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

}  // namespace lv
