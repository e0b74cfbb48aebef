#include "export/ExportFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <charconv>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fmt/format.h>

#include "base/WriteAll.h"
#include "core/DetectionRecords.h"

namespace lv {

namespace {

std::string FileNamePart(std::string_view text) {
    std::string part(text);
    for (char& c : part)
        if (c == '/' || c == '\0') c = '_';
    return part;
}

const char* Ending(DisplayType type) { return type == DisplayType::Logica ? "-ljk.txt" : ".qox"; }

void AppendNumber(std::string& line, std::size_t number) {
    char digits[24];
    line.append(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
}

}  // namespace

DisplayType DisplayTypeFromInt(int value) {
    if (value == 1) return DisplayType::PassingTime;
    if (value == 2) return DisplayType::Logica;
    return DisplayType::ClockTime;
}

std::string LinesFileName(std::string_view genericName, std::string_view detector, int passing,
                          DisplayType type) {
    return fmt::format("{}-{}-{}{}", FileNamePart(genericName), FileNamePart(detector), passing, Ending(type));
}

std::string PassingFileName(std::string_view genericName, int passing, DisplayType type) {
    return fmt::format("{}-{}{}", FileNamePart(genericName), passing, Ending(type));
}

std::string FormatShownTime(const CChrono& time, const CChrono& handicap, DisplayType type) {
    switch (type) {
        case DisplayType::ClockTime: return time.FormatHundredths();
        case DisplayType::PassingTime: return (time - handicap).FormatHundredths();
        case DisplayType::Logica: return (time - handicap).FormatDigits();
    }
    return time.FormatHundredths();
}

std::string FormatExportLines(const WorkRefs& results, DisplayType type, const CChrono& handicap) {
    std::string content;
    content.reserve(results.size() * 40 + 64);
    if (type == DisplayType::Logica) {
        content += "dossard\ttemps\tcommentaire\r\n";
        content += "dossard\tperformancen\tcommentaire\r\n";
    }
    std::size_t number = 0;
    for (const CWorkResult* result : results) {
        if (result->active == 0) continue;
        if (type == DisplayType::Logica) {
            AppendSingleLineField(content, result->label);
            content += '\t';
            content += (result->time - handicap).FormatDigits();
            content += "\t\r\n";
            continue;
        }
        AppendNumber(content, ++number);
        content += '\t';
        AppendSingleLineField(content, result->boxName);
        content += '\t';
        AppendSingleLineField(content, result->label);
        content += "\t1\t";
        if (type == DisplayType::ClockTime)
            AppendSingleLineField(content, result->timeText);
        else
            content += (result->time - handicap).FormatHundredths();
        content += result->absoluteTime != 0 ? "\t2\r\n" : "\t1\r\n";
    }
    return content;
}

bool WriteExportFile(const std::string& path, std::string_view content, std::string& error) {
    const std::string temporary = path + ".part";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = fmt::format("{}: {}", path, std::strerror(errno));
        return false;
    }
    int failure = WriteAll(fd, content);
    if (::close(fd) != 0 && failure == 0) failure = errno;
    if (failure == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) failure = errno;
    if (failure != 0) {
        ::unlink(temporary.c_str());
        error = fmt::format("{}: {}", path, std::strerror(failure));
        return false;
    }
    return true;
}

}  // namespace lv
