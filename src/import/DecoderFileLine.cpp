#include "import/DecoderFileLine.h"

namespace lv {

namespace {
bool IsTrimmed(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
}  // namespace

std::string_view TrimDecoderLine(std::string_view line) {
    while (!line.empty() && IsTrimmed(line.front())) line.remove_prefix(1);
    while (!line.empty() && IsTrimmed(line.back())) line.remove_suffix(1);
    return line;
}

std::size_t SplitDecoderFields(std::string_view line, std::string_view* fields, std::size_t max) {
    std::size_t count = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t semicolon = line.find(';', start);
        if (semicolon == std::string_view::npos) break;
        if (count < max) fields[count] = line.substr(start, semicolon - start);
        ++count;
        start = semicolon + 1;
    }
    if (start < line.size()) {
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
