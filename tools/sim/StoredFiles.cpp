#include "StoredFiles.h"

#include <cstdio>

namespace sim::decoder {

const std::vector<StoredFile>& StoredFiles() {
    // Never destroyed: detached serving threads may still read it while the process exits.
    static const auto* files = new std::vector<StoredFile>{{"1001", 1520, "2024-05-01", "closed"},
                                                           {"1002", 87, "2024-05-02", "open"}};
    return *files;
}

std::string ListFilesAnswer() {
    std::string answer = "LISTFILES;" + std::to_string(StoredFiles().size());
    for (const StoredFile& file : StoredFiles())
        answer += ";" + file.id + "," + std::to_string(file.count) + "," + file.date + "," + file.details;
    return answer;
}

std::string StoredFileContent(const std::string& id) {
    for (const StoredFile& file : StoredFiles()) {
        if (file.id != id) continue;
        std::string content;
        for (int i = 0; i < file.count; ++i) {
            // Runners from 09:00:00 on, 2.35 s apart, chips C00001..C00200 in turn.
            const long ms = 9L * 3600 * 1000 + 2350L * i;
            char line[160];
            std::snprintf(line, sizeof line, "#P;%d;C%05d;%s;%02ld:%02ld:%02ld.%03ld;1;0;0;0;0;0;0;0;0;0;0;0;0\r\n",
                          i + 1, i % 200 + 1, file.date.c_str(), ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60,
                          ms % 1000);
            content += line;
        }
        return content;
    }
    return {};
}

void ServeStoredFile(const http::Request& request, http::Connection& connection) {
    const std::string prefix = "/media/passings_";
    const std::string suffix = ".txt";
    const std::string& target = request.target;
    if (request.method == "GET" && target.rfind(prefix, 0) == 0 && target.size() > prefix.size() + suffix.size() &&
        target.compare(target.size() - suffix.size(), suffix.size(), suffix) == 0) {
        const std::string content =
            StoredFileContent(target.substr(prefix.size(), target.size() - prefix.size() - suffix.size()));
        if (!content.empty()) return http::SendResponse(connection, 200, "text/plain", content);
    }
    http::SendResponse(connection, 404, "text/plain", "no such file\n");
}

}  // namespace sim::decoder
