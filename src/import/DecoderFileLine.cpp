#include "import/DecoderFileLine.h"

#include <cstdint>
#include <cstring>

namespace lv {

namespace {
bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::string_view TrimDecoderLine(std::string_view line) {
    while (!line.empty() && IsTrimmed(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsTrimmed(line.back())) line.remove_suffix(1);
    return line;
}

namespace {

// The number of ';' in the text, eight bytes at a time (every line of files of a
// million lines is counted).
std::size_t CountSemicolons(const char* data, std::size_t size) {
    constexpr uint64_t kSemicolons = 0x3b3b3b3b3b3b3b3bULL;
    constexpr uint64_t kLow7 = 0x7f7f7f7f7f7f7f7fULL;
    std::size_t count = 0;
    std::size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        const uint64_t x = word ^ kSemicolons;  // a ';' byte becomes zero
        const uint64_t zero = ~(((x & kLow7) + kLow7) | x | kLow7);
        count += static_cast<std::size_t>(__builtin_popcountll(zero));
    }
    for (; i < size; ++i) count += data[i] == ';';
    return count;
}

}  // namespace

std::size_t SplitDecoderFields(std::string_view line, std::string_view* fields, std::size_t max) {
    std::size_t count = 0;
    std::size_t start = 0;
    const char* data = line.data();
    const std::size_t size = line.size();
    while (count < max) {
        const void* found = start < size ? std::memchr(data + start, ';', size - start) : nullptr;
        if (!found) break;
        const std::size_t semicolon = static_cast<std::size_t>(static_cast<const char*>(found) - data);
        fields[count++] = std::string_view(data + start, semicolon - start);
        start = semicolon + 1;
    }
    if (count == max) {
        // Only the number of the further fields matters.
        const std::size_t more = CountSemicolons(data + start, size - start);
        count += more;
        if (more > 0) start = static_cast<std::size_t>(std::string_view(data, size).rfind(';')) + 1;
    }
    if (start < size) {
        if (count < max) fields[count] = line.substr(start);
        ++count;
    }
    return count;
}

bool IsMarkerLine(std::string_view line) { return line.substr(0, kMarkerPrefix.size()) == kMarkerPrefix; }

bool ParseMarkerLine(std::string_view line, CTarvexMarker& marker) {
    if (!IsMarkerLine(line) || line.size() < kMarkerFixedLength) return false;
    std::string_view rest = line.substr(kMarkerPrefix.size());
    marker.markerDate.assign(rest.substr(0, 8));
    marker.markerTime.assign(rest.substr(8, 6));
    marker.markerLabel.assign(rest.substr(8 + 6 + 1));
    marker.value = 0;
    return true;
}

std::string CompactDate(std::string_view date) {
    std::string compact;
    compact.reserve(date.size());
    for (char c : date) {
        if (c != '-') compact.push_back(c);
    }
    return compact;
}

std::string PrintableLine(std::string_view line) {
    std::string shown(line);
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) c = '.';
    }
    return shown;
}

std::string CTarvexMarker::ClockText() const {
    std::string text;
    if (markerTime.size() < 6) return markerTime;
    text.append(markerTime, 0, 2).append(":").append(markerTime, 2, 2).append(":").append(markerTime, 4, 2);
    return text;
}

}  // namespace lv
