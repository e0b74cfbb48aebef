#include "StoredFiles.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

namespace sim::decoder {

DayFile::DayFile() { signal_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC); }

void DayFile::Open(const std::string& date) {
    std::lock_guard<std::mutex> guard(lock_);
    open_ = true;
    date_ = date;
    lines_.clear();
}

bool DayFile::IsOpen() const {
    std::lock_guard<std::mutex> guard(lock_);
    return open_;
}

void DayFile::Add(const std::string& line, const std::string& date) {
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (lines_.empty()) date_ = date;
        lines_.push_back(line);
    }
    const uint64_t one = 1;
    if (signal_ >= 0 && ::write(signal_, &one, sizeof one) < 0) {
        // The counter is full only if nobody ever drains it: nothing waits on it then.
    }
}

long long DayFile::Count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return static_cast<long long>(lines_.size());
}

std::vector<std::string> DayFile::ReadsFrom(long long first) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (first < 0 || first >= static_cast<long long>(lines_.size())) return {};
    return std::vector<std::string>(lines_.begin() + first, lines_.end());
}

StoredFile DayFile::Entry() const {
    std::lock_guard<std::mutex> guard(lock_);
    return StoredFile{kId, static_cast<long long>(lines_.size()), date_, "open"};
}

std::string DayFile::Content() const {
    std::lock_guard<std::mutex> guard(lock_);
    std::string content;
    for (const std::string& line : lines_) {
        content += line;
        content += "\r\n";
    }
    return content;
}

void DayFile::DrainSignal() const {
    uint64_t count = 0;
    if (signal_ >= 0 && ::read(signal_, &count, sizeof count) < 0) {
        // Nothing pending.
    }
}

const std::vector<StoredFile>& StoredFiles() {
    // Never destroyed: detached serving threads may still read it while the process exits.
    static const auto* files = new std::vector<StoredFile>{{"1001", 1520, "2024-05-01", "closed"},
                                                           {"1002", 87, "2024-05-02", "open"}};
    return *files;
}

DayFile& TheDayFile() {
    // Never destroyed, for the same reason.
    static auto* file = new DayFile;
    return *file;
}

std::string ListFilesAnswer() {
    std::vector<StoredFile> files = StoredFiles();
    if (TheDayFile().IsOpen()) files.push_back(TheDayFile().Entry());
    std::string answer = "LISTFILES;" + std::to_string(files.size());
    for (const StoredFile& file : files)
        answer += ";" + file.id + "," + std::to_string(file.count) + "," + file.date + "," + file.details;
    return answer;
}

bool StoredFileContent(const std::string& id, std::string& content) {
    content.clear();
    if (id == DayFile::kId && TheDayFile().IsOpen()) {
        content = TheDayFile().Content();
        return true;
    }
    for (const StoredFile& file : StoredFiles()) {
        if (file.id != id) continue;
        for (long long i = 0; i < file.count; ++i) {
            // Runners from 09:00:00 on, 2.35 s apart, chips C00001..C00200 in turn.
            const long long ms = 9LL * 3600 * 1000 + 2350LL * i;
            char line[160];
            std::snprintf(line, sizeof line,
                          "#P;%lld;C%05lld;%s;%02lld:%02lld:%02lld.%03lld;1;0;0;0;0;0;0;0;0;0;0;0;0\r\n", i + 1,
                          i % 200 + 1, file.date.c_str(), ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60,
                          ms % 1000);
            content += line;
        }
        return true;
    }
    return false;
}

void ServeStoredFile(const http::Request& request, http::Connection& connection) {
    const std::string prefix = "/media/passings_";
    const std::string suffix = ".txt";
    const std::string& target = request.target;
    if (request.method == "GET" && target.rfind(prefix, 0) == 0 && target.size() > prefix.size() + suffix.size() &&
        target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0) {
        std::string content;
        if (StoredFileContent(target.substr(prefix.size(), target.size() - prefix.size() - suffix.size()), content))
            return http::SendResponse(connection, 200, "text/plain", content);
    }
    http::SendResponse(connection, 404, "text/plain", "no such file\n");
}

}  // namespace sim::decoder
