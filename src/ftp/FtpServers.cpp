#include "ftp/FtpServers.h"

#include <fmt/printf.h>

#include "base/AtomicFile.h"
#include "base/Log.h"
#include "base/Texts.h"

namespace lv {

namespace {

bool IsFieldEnd(char c) { return c == '\t' || c == '\n' || c == ';'; }

// The fields of one line, each ended by a tab, ';' or the line feed the caller keeps
// at its end.
std::vector<std::string_view> SplitServerLine(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (!IsFieldEnd(line[i])) continue;
        fields.push_back(line.substr(start, i - start));
        start = i + 1;
    }
    if (start < line.size()) fields.push_back(line.substr(start));
    return fields;
}

}  // namespace

std::string TrimFtpText(std::string_view text) {
    const char* blanks = " \t\r\n";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(blanks);
    return std::string(text.substr(first, last - first + 1));
}

bool IsStorableFtpValue(std::string_view value) {
    return value.find_first_of(std::string_view("\t;\r\n\0", 5)) == std::string_view::npos;
}

FtpServerList ParseFtpServers(std::string_view text, std::size_t* skippedLines) {
    FtpServerList list;
    std::size_t skipped = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        // The last line counts as ended even without its line feed.
        std::string line(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
        start = end == std::string_view::npos ? text.size() : end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        if (line.size() > kFtpServerLineMax || line.find('\0') != std::string::npos) {
            ++skipped;
            continue;
        }
        line.push_back('\n');
        std::vector<std::string_view> fields = SplitServerLine(line);
        if (fields.size() != 5) {
            ++skipped;
            continue;
        }
        auto server = std::make_unique<CFtpServer>();
        server->label = fields[0];
        server->site = fields[1];
        server->user = fields[2];
        server->password = fields[3];
        server->directory = fields[4];
        list.push_back(std::move(server));
    }
    if (skippedLines) *skippedLines = skipped;
    return list;
}

std::string FormatFtpServers(const FtpServerList& list) {
    std::string text;
    for (const auto& server : list) {
        text += fmt::sprintf("%s\t%s\t%s\t%s\t%s\n", server->label, server->site, server->user,
                             server->password, server->directory);
    }
    return text;
}

int LoadFtpServers(FtpServerList& list, const std::string& path, std::string& error) {
    std::string text;
    std::string reason;
    FileReadStatus status = ReadWholeFile(path, kFtpServersFileMax, text, &reason);
    if (status == FileReadStatus::TooLarge) {
        error = reason;
        return -1;
    }
    if (status != FileReadStatus::Ok) {
        error = "File does not exist";
        return -1;
    }
    std::size_t skipped = 0;
    FtpServerList loaded = ParseFtpServers(text, &skipped);
    if (skipped > 0) {
        Log(60, fmt::sprintf(Tr("## %s: %u line(s) skipped (not a server definition)",
                                "## %s : %u ligne(s) ignorée(s) (pas une définition de serveur)"),
                             path, static_cast<unsigned>(skipped)));
    }
    for (auto& server : loaded) list.push_back(std::move(server));
    return 0;
}

int SaveFtpServers(const FtpServerList& list, const std::string& path, std::string& error) {
    for (const auto& server : list) {
        for (const std::string* value :
             {&server->label, &server->site, &server->user, &server->password, &server->directory}) {
            if (IsStorableFtpValue(*value)) continue;
            error = fmt::sprintf(Tr("Server \"%s\": a value holds a tab, ';' or a line break and "
                                    "cannot be stored",
                                    "Serveur \"%s\" : une valeur contient une tabulation, un ';' ou "
                                    "un saut de ligne et ne peut pas être enregistrée"),
                                 TrimFtpText(server->label));
            return -1;
        }
    }
    std::string reason;
    if (!ReplaceFileAtomically(path, FormatFtpServers(list), &reason, FileAccess::OwnerOnly)) {
        Log(20, "## " + reason);
        error = "Cannot create file";
        return -1;
    }
    return 0;
}

const CFtpServer* FindFtpServer(const FtpServerList& list, const std::string& label) {
    const std::string wanted = TrimFtpText(label);
    for (const auto& server : list) {
        if (server->label == wanted) return server.get();
    }
    return nullptr;
}

}  // namespace lv
