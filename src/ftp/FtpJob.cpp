#include "ftp/FtpJob.h"

#include <sys/stat.h>

#include <chrono>

#include "base/SettingsSchema.h"

namespace lv {

CFtpJob::CFtpJob(bool upload) : CFtpJob(upload, Settings()) {}

CFtpJob::CFtpJob(bool isUpload, const IniFile& settings) : upload(isUpload) {
    siteLabel = setting::FtpSiteLabel.Read(settings);
    site = setting::FtpSite.Read(settings);
    user = setting::FtpUser.Read(settings);
    password = setting::FtpPassword.Read(settings);
    directory = setting::FtpDirectory.Read(settings);
    putPassive = setting::BPutInPassiveMode.Read(settings);
    getPassive = setting::BGetInPassiveMode.Read(settings);
}

void CFtpJob::SetServer(const CFtpServer& server) {
    siteLabel = server.label;
    site = server.site;
    user = server.user;
    password = server.password;
    directory = server.directory;
}

void CFtpJob::SetLocalFile(const std::string& path) {
    localPath = path;
    struct stat info {};
    fileSize = ::stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
    binary = 1;
}

void CFtpJob::SetRemoteName(const std::string& name) { remoteName = name; }

std::uint32_t FtpTickNow() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace lv
