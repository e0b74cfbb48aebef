#pragma once
// What an export did: the files it made, those it could not make and why, and whether
// their transfer started; and the text the user reads afterwards.
#include <mutex>
#include <string>
#include <vector>

namespace lv {

struct ExportOutcome {
    std::vector<std::string> created;     // paths, in the order written
    std::vector<std::string> notCreated;  // paths that could not be made whole
    std::vector<std::string> problems;    // one reason per failure, for the log
    bool ftpAsked = false;
    bool ftpStarted = false;
    std::string ftpError;
    // Servers named for the transfer that the servers file does not define (a line it
    // cannot read): nothing goes to them.
    std::vector<std::string> ftpServersMissing;

    // "Export de données terminé. ..." with the created files, the files not created
    // and the transfer's start.
    std::string CompletionText() const;
    // "FTP server(s) not in the servers file, nothing sent to them: a, b"; empty when none.
    std::string MissingServersText() const;
};

// The text of MissingServersText for the given names; empty when there are none.
std::string FtpServersMissingText(const std::vector<std::string>& names);

// Held by every export while it writes its files: two exports never write at once.
std::mutex& ExportWritingLock();

}  // namespace lv
