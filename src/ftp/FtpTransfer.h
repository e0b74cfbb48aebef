#pragma once
// The transfers themselves, over libcurl, each on one connection:
//  - upload: change to the directory, delete the name and the name + ".lock" (failures
//    ignored), store the file under name + ".lock" in blocks, then rename it to the
//    name. The rename is checked; a failed or aborted upload never renames the ".lock"
//    file, so a partial file never shows under the final name.
//  - download: fetch the remote name into a temporary file beside the local path, then
//    rename it over the local path, so a broken download leaves no partial file.
//  - listing: the entries of a remote folder matching a pattern, with their sizes.
// Every wait is bounded (FtpTimeouts); a server that stops answering fails the job.
#include <atomic>
#include <chrono>
#include <functional>
#include <string>

#include "ftp/FtpJob.h"

namespace lv {

struct FtpTimeouts {
    std::chrono::milliseconds connect{15000};   // TCP connection and login greeting
    std::chrono::milliseconds response{30000};  // any one server reply
    // A transfer moving less than one byte per second for this long has stalled.
    std::chrono::milliseconds stall{30000};
    std::chrono::milliseconds acceptActive{15000};  // active mode: the server's data connection
};

struct FtpConnectOptions {
    FtpTimeouts timeouts{};
    // Certificates trusted for "ftps://" sites instead of the system's authorities
    // (empty: the system's). Tests trust their own self-signed certificate with it.
    std::string caFile;
};

// What a running transfer reports to the worker and asks of it.
struct FtpJobControl {
    // Polled after each block and at least once a second: true ends the transfer.
    std::function<bool()> abortRequested;
    // Called at each state change of the job (from the calling thread).
    std::function<void(const CFtpJob&)> notify;
};

// Run a job to its end (states 1, 2, then 3, 4 or 6, each notified). 0 when it is done,
// 1 when it ended with an error text, −1 (missing local file) or −2 (no connection).
int RunFtpUpload(CFtpJob& job, const FtpConnectOptions& options, const FtpJobControl& control);
int RunFtpDownload(CFtpJob& job, const FtpConnectOptions& options, const FtpJobControl& control);

// Appends to `list` the files of `directory` on the server matching `pattern` ("*" when
// empty). Passive mode from BGetFileListInPassiveMode. 0 when done, 1 with an error
// text, −2 when the server cannot be reached, −3 when the directory cannot be entered.
int ListRemoteFiles(const std::string& site, const std::string& user, const std::string& password,
                    const std::string& directory, const std::string& pattern, FtpFileList& list,
                    std::string& error);
int ListRemoteFiles(const std::string& site, const std::string& user, const std::string& password,
                    const std::string& directory, const std::string& pattern, bool passive,
                    const FtpConnectOptions& options, FtpFileList& list, std::string& error);

// The URL schemes this build's libcurl offers among "ftp", "ftps" (explicit TLS) and
// "sftp", as a text for messages and the README ("ftp, ftps, sftp").
std::string SupportedFtpSchemes();

}  // namespace lv
