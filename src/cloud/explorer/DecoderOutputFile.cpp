#include "cloud/explorer/DecoderOutputFile.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include <fmt/format.h>

#include "base/Texts.h"
#include "cloud/json/Json.h"
#include "cloud/json/ParsedJson.h"
#include "core/CalendarTime.h"
#include "core/ChipTable.h"
#include "core/Chrono.h"

namespace lv {

namespace {

constexpr std::size_t kMaxDeviceIdLength = 63;

void AddLine(DecoderOutput& output, int number, const std::string& chip, const CChrono& instant,
             const std::string& device) {
    // FormatIsoMs gives the date and the time as two fields.
    output.lines += fmt::format("{};{};{};;;;;;;;;;;;;{}\r\n", number, chip, instant.FormatIsoMs(), device);
    ++output.written;
}

bool ConvertJson(const std::string& download, const std::string& device, DecoderOutput& output) {
    const ParsedJson parsed(download);
    const JsonNode* root = parsed.root();
    if (root == nullptr || root->kind != JsonArray) return false;
    int number = 0;
    for (const JsonNode* item = root->firstChild; item != nullptr; item = item->nextSibling, ++number) {
        const JsonNode* chip = JsonGet(item, "TranspCode");
        const JsonNode* time = JsonGet(item, "Time");
        CChrono instant;
        if (chip->kind != JsonString || !IsValidChipCode(FieldText(chip->text)) || time->kind != JsonString ||
            !instant.ParseIsoTimestamp(time->text, true)) {
            ++output.skipped;
            continue;
        }
        AddLine(output, number, FieldText(chip->text), instant, device);
    }
    return true;
}

// A box's "YYYY-MM-DD" and "hh:mm:ss.fff" in its local time.
bool ParseBoxInstant(std::string_view date, std::string_view time, CChrono& instant) {
    std::string compact;
    for (char c : date) {
        if (c != '-') compact.push_back(c);
    }
    std::string clock(time);
    CChrono::NormalizeFraction(clock);
    return compact.size() == 8 && instant.ParseDateTime(compact, clock);
}

// The box's passing lines; blank lines are passed over, other lines that are not
// passings count as skipped.
void ConvertPassingLines(const std::string& download, const std::string& device, DecoderOutput& output) {
    int number = 0;
    std::size_t start = 0;
    std::optional<int64_t> previous;  // the box's read before, for its repeated autumn hour
    while (start < download.size()) {
        std::size_t end = download.find('\n', start);
        if (end == std::string::npos) end = download.size();
        std::string_view line(download.data() + start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        std::vector<std::string_view> fields;
        for (std::size_t from = 0;;) {
            const std::size_t semicolon = line.find(';', from);
            fields.push_back(line.substr(from, semicolon == std::string_view::npos ? line.npos : semicolon - from));
            if (semicolon == std::string_view::npos) break;
            from = semicolon + 1;
        }
        CChrono instant;
        if (fields.size() < 5 || fields[0] != "#P" || !IsValidChipCode(FieldText(std::string(fields[2]))) ||
            !ParseBoxInstant(fields[3], fields[4], instant)) {
            ++output.skipped;
            ++number;
            continue;
        }
        const int64_t resolved = ResolveRepeatedLocal(instant.Seconds(), previous);
        if (FitsIn32Bits(resolved)) instant = CChrono(static_cast<int32_t>(resolved), instant.Milliseconds());
        previous = instant.Seconds();
        AddLine(output, number++, FieldText(std::string(fields[2])), instant, device);
    }
}

}  // namespace

std::string FieldText(const std::string& text) {
    std::string safe = text;
    for (char& c : safe) {
        if (c == ';' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '_';
    }
    return safe;
}

bool ConvertDetections(const std::string& download, const std::string& deviceId, DecoderOutput& output,
                       std::string& error) {
    output = DecoderOutput{};
    // The device id is not read back; kept short, every line stays far within what the
    // import reads as one line.
    std::string device = FieldText(deviceId);
    if (device.size() > kMaxDeviceIdLength) device.resize(kMaxDeviceIdLength);
    const std::size_t first = download.find_first_not_of(" \t\r\n");
    const bool json = first != std::string::npos && (download[first] == '[' || download[first] == '{');
    if (json || first == std::string::npos) {
        if (!ConvertJson(download, device, output)) {
            error = Tr("Invalid JSON data string", "Données JSON invalides");
            return false;
        }
        return true;
    }
    ConvertPassingLines(download, device, output);
    return true;
}

}  // namespace lv
