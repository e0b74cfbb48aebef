#pragma once
// One FTP transfer (upload or download) and its states. A job is created on the UI
// thread, filled, then handed to the worker (QueueFtpJob, ftp/FtpWorker.h), which runs
// it and deletes it after its final notification.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "ftp/FtpServers.h"

namespace lv {

enum FtpJobState : int {
    kFtpJobCreated = 0,
    kFtpJobStarted = 1,       // connecting
    kFtpJobTransferring = 2,
    kFtpJobDone = 3,
    kFtpJobAborted = 4,
    kFtpJobFailed = 6,
};

class CFtpJob {
public:
    // Loads the server (SiteLabel, Site, User, Password, Directory) and the passive-mode
    // flags from section FtpSettings of the program's settings (`Settings()`).
    explicit CFtpJob(bool upload);
    // The same from another settings file (tests).
    CFtpJob(bool upload, const IniFile& settings);
    virtual ~CFtpJob() = default;

    // Copies label, site, user, password and directory.
    void SetServer(const CFtpServer& server);
    // Sets localPath, fileSize (its size now, 0 when it cannot be read) and binary = 1.
    void SetLocalFile(const std::string& path);
    void SetRemoteName(const std::string& name);

    std::string localPath;   // source of an upload, destination of a download
    std::string remoteName;  // relative to the remote folder
    int binary = 0;          // 1 once a local file is set; transfers are always binary
    std::string siteLabel;   // shown in messages
    std::string site;
    std::string user;
    std::string password;
    std::string directory;
    std::int64_t fileSize = 0;
    std::int64_t transferred = 0;  // bytes handed to the connection so far
    std::string errorText;         // empty, or why the job failed
    int state = kFtpJobCreated;
    bool upload = true;
    std::uint32_t startTick = 0;   // steady-clock milliseconds when the job started
    bool putPassive = true;
    bool getPassive = true;
};

// One entry of a remote listing.
class CFtpFileDesc {
public:
    virtual ~CFtpFileDesc() = default;

    std::string name;
    std::int64_t size = 0;  // -1 when the server did not tell
};

using FtpFileList = std::vector<std::unique_ptr<CFtpFileDesc>>;

// Milliseconds of the steady clock, as a job's start tick.
std::uint32_t FtpTickNow();

}  // namespace lv
