#include "base/IniDocument.h"

#include <algorithm>

namespace lv {

namespace ini {

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
}  // namespace

bool EqualNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::string_view> SectionName(std::string_view line) {
    std::string_view body = Trim(line);
    if (body.empty() || body.front() != '[') return std::nullopt;
    std::size_t close = body.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(body.substr(1, close - 1));
}

std::optional<std::string_view> KeyName(std::string_view line) {
    std::string_view body = Trim(line);
    if (body.empty() || body.front() == ';' || body.front() == '#' || body.front() == '[') {
        return std::nullopt;
    }
    std::size_t equals = body.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::string_view key = Trim(body.substr(0, equals));
    if (key.empty()) return std::nullopt;
    return key;
}

std::string_view KeyValue(std::string_view line) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return {};
    return Trim(line.substr(equals + 1));
}

}  // namespace ini

namespace {
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string Joined(std::string_view first, std::string_view middle, std::string_view last) {
    std::string text;
    text.reserve(first.size() + middle.size() + last.size());
    text.append(first).append(middle).append(last);
    return text;
}
}  // namespace

IniDocument IniDocument::Parse(std::string_view text) {
    IniDocument document;
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        document.byteOrderMark_ = std::string(kByteOrderMark);
        text.remove_prefix(kByteOrderMark.size());
    }
    while (!text.empty()) {
        // LF, CR LF, and CR alone (old Mac editors) all end a line.
        std::size_t end = text.find_first_of("\r\n");
        std::string_view line = text.substr(0, end);
        std::size_t skip = end == std::string_view::npos ? text.size() : end + 1;
        if (end != std::string_view::npos && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
            ++skip;
        }
        text.remove_prefix(skip);
        document.lines_.emplace_back(line);
    }
    return document;
}

std::vector<std::string> IniDocument::Duplicates() const {
    std::vector<std::string> found;
    std::vector<std::string> sections;  // lower-cased names seen
    std::vector<std::pair<std::string, std::string>> keys;
    std::string current;
    std::string currentName;
    bool inSection = false;
    auto lower = [](std::string_view text) {
        std::string out(text);
        for (char& c : out) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        return out;
    };
    for (const std::string& line : lines_) {
        if (auto name = ini::SectionName(line)) {
            current = lower(*name);
            currentName = std::string(*name);
            inSection = true;
            if (std::find(sections.begin(), sections.end(), current) != sections.end()) {
                found.push_back(Joined("[", *name, "]"));
            } else {
                sections.push_back(current);
            }
            continue;
        }
        if (!inSection) continue;
        if (auto key = ini::KeyName(line)) {
            std::pair<std::string, std::string> entry{current, lower(*key)};
            if (std::find(keys.begin(), keys.end(), entry) != keys.end()) {
                found.push_back(Joined("[", currentName, "] ") + std::string(*key));
            } else {
                keys.push_back(std::move(entry));
            }
        }
    }
    return found;
}

std::string IniDocument::Serialise() const {
    std::size_t size = byteOrderMark_.size();
    for (const std::string& line : lines_) size += line.size() + 2;
    std::string text;
    text.reserve(size);
    text += byteOrderMark_;
    for (const std::string& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

std::optional<IniDocument::Range> IniDocument::FindSection(std::string_view section) const {
    std::string_view wanted = ini::Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        auto name = ini::SectionName(lines_[i]);
        if (!name || !ini::EqualNoCase(*name, wanted)) continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && !ini::SectionName(lines_[end])) ++end;
        return Range{i, end};
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    auto range = FindSection(section);
    if (!range) return std::nullopt;
    std::string_view wanted = ini::Trim(key);
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        auto name = ini::KeyName(lines_[i]);
        if (name && ini::EqualNoCase(*name, wanted)) return std::string(ini::KeyValue(lines_[i]));
    }
    return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    std::string_view wantedKey = ini::Trim(key);
    auto range = FindSection(section);
    if (!range) {
        lines_.push_back(Joined("[", ini::Trim(section), "]"));
        lines_.push_back(Joined(wantedKey, "=", value));
        return;
    }
    // A new key goes after the last key of the section rather than after trailing
    // comments, which usually introduce the next section.
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
        auto name = ini::KeyName(lines_[i]);
        if (!name) continue;
        if (ini::EqualNoCase(*name, wantedKey)) {
            // Keep the spelling already in the file.
            lines_[i] = Joined(*name, "=", value);
            return;
        }
        insertAt = i + 1;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(insertAt),
                  Joined(wantedKey, "=", value));
}

bool IniDocument::Remove(std::string_view section, std::string_view key) {
    auto range = FindSection(section);
    if (!range) return false;
    std::string_view wantedKey = ini::Trim(key);
    bool removed = false;
    std::size_t i = range->header + 1;
    std::size_t end = range->end;
    while (i < end) {
        auto name = ini::KeyName(lines_[i]);
        if (name && ini::EqualNoCase(*name, wantedKey)) {
            lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
            --end;
            removed = true;
        } else {
            ++i;
        }
    }
    return removed;
}

bool IniDocument::RemoveSection(std::string_view section) {
    auto range = FindSection(section);
    if (!range) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
    return true;
}

}  // namespace lv
