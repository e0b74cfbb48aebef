#include "status/StatusJson.h"

#include <ctime>

#include <fmt/format.h>

namespace lv {

namespace {

// Length of the valid UTF-8 sequence starting text[i], or 0 when it is not one.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    std::size_t length = 0;
    unsigned int value = 0;
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
        value = c & 0x1Fu;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        value = c & 0x0Fu;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        value = c & 0x07u;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0u) != 0x80u) return 0;
        value = (value << 6) | (byte(i + k) & 0x3Fu);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if ((length == 3 && value < 0x800) || (length == 4 && (value < 0x10000 || value > 0x10FFFF)) ||
        (value >= 0xD800 && value <= 0xDFFF)) {
        return 0;
    }
    return length;
}

void Field(std::string& out, const char* name, const std::string& value) {
    out += JsonQuoted(name);
    out += ':';
    out += JsonQuoted(value);
}

template <typename Value>
void Number(std::string& out, const char* name, Value value) {
    out += JsonQuoted(name);
    out += ':';
    out += fmt::format("{}", value);
}

void Bool(std::string& out, const char* name, bool value) {
    out += JsonQuoted(name);
    out += value ? ":true" : ":false";
}

}  // namespace

std::string JsonQuoted(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out.push_back('"');
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case '<': out += "\\u003c"; break;
            default:
                if (c < 0x20 || c == 0x7F) {
                    out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
                } else {
                    out.push_back(static_cast<char>(c));
                }
        }
        ++i;
    }
    out.push_back('"');
    return out;
}

std::string LocalClockText(std::int64_t secondsSince1970) {
    const std::time_t t = static_cast<std::time_t>(secondsSince1970);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string StatusJson(const StatusFacts& facts, std::int64_t now) {
    std::string out;
    out.reserve(4096 + facts.detections.size() * 160 + facts.alerts.size() * 120);
    out += '{';
    Field(out, "program", "Lumivane");
    out += ',';
    Field(out, "version", facts.version);
    out += ',';
    Field(out, "language", facts.language);
    out += ',';
    Field(out, "clock", LocalClockText(now));
    out += ',';
    Number(out, "time", now);
    out += ',';
    Number(out, "snapshotAgeSeconds", now >= facts.madeAt ? now - facts.madeAt : 0);
    out += ',';
    Bool(out, "stale", now - facts.madeAt > kStatusStaleSeconds);

    out += ",\"boxes\":[";
    for (std::size_t i = 0; i < facts.boxes.size(); ++i) {
        const StatusBox& box = facts.boxes[i];
        if (i > 0) out += ',';
        out += '{';
        Number(out, "number", box.number);
        out += ',';
        Bool(out, "declared", box.declared);
        out += ',';
        Field(out, "state", box.state);
        out += ',';
        Field(out, "stateText", box.stateText);
        out += ',';
        Field(out, "label", box.label);
        out += ',';
        Number(out, "reads", box.reads);
        out += ',';
        Number(out, "lastReadAgeSeconds", box.lastReadAgeSeconds);
        out += ',';
        Field(out, "lastReadText", box.lastReadText);
        out += ',';
        Bool(out, "lost", !box.lostText.empty());
        out += ',';
        Field(out, "lostText", box.lostText);
        out += '}';
    }
    out += "],\"link\":{";
    Field(out, "state", facts.linkState);
    out += ',';
    Field(out, "stateText", facts.linkStateText);
    out += ',';
    Number(out, "waiting", facts.linkWaiting);
    out += "},\"journal\":{";
    Number(out, "pendingLines", facts.journalPending);
    out += ',';
    Field(out, "file", facts.detectionFile);
    out += ',';
    Number(out, "lines", facts.detectionFileLines);
    out += "},\"detections\":[";
    for (std::size_t i = 0; i < facts.detections.size(); ++i) {
        const StatusDetection& detection = facts.detections[i];
        if (i > 0) out += ',';
        out += '{';
        Number(out, "number", detection.number);
        out += ',';
        Field(out, "time", detection.time);
        out += ',';
        Number(out, "box", detection.box);
        out += ',';
        Field(out, "detector", detection.boxName);
        out += ',';
        Field(out, "bib", detection.label);
        out += ',';
        Field(out, "runner", detection.runner);
        out += ',';
        Field(out, "answer", detection.answer);
        out += '}';
    }
    out += "],\"alerts\":[";
    for (std::size_t i = 0; i < facts.alerts.size(); ++i) {
        const StatusAlert& alert = facts.alerts[i];
        if (i > 0) out += ',';
        out += '{';
        Number(out, "at", alert.at);
        out += ',';
        Field(out, "time", alert.time);
        out += ',';
        Field(out, "text", alert.text);
        out += '}';
    }
    out += "]}";
    return out;
}

}  // namespace lv
