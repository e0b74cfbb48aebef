#include "export/FtpExportUploads.h"

#include <memory>

#include "base/Environment.h"
#include "base/SettingsSchema.h"
#include "export/ExportOutcome.h"
#include "ftp/FtpJob.h"
#include "ftp/FtpServers.h"
#include "ftp/FtpWorker.h"

namespace lv {

namespace {

std::vector<std::string> SplitNames(const std::string& names) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= names.size()) {
        std::size_t end = names.find('\\', start);
        if (end == std::string::npos) end = names.size();
        if (end > start) parts.push_back(names.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

bool FtpExportUploads::QueueToServers(const std::vector<std::string>& files, const std::string& serverNames,
                                      std::string& error) {
    FtpServerList servers;
    std::string loadError;
    LoadFtpServers(servers, GetFtpServersFilePath(), loadError);
    if (servers.empty()) {
        error = "No FTP server defined...";
        return false;
    }
    const std::vector<std::string> names = SplitNames(serverNames);
    bool anyServer = false;
    for (const std::string& name : names) anyServer = anyServer || FindFtpServer(servers, name) != nullptr;
    if (!anyServer) {
        error = FtpServersMissingText(FtpServersNotDefined(serverNames));
        if (error.empty()) error = "No FTP server defined...";
        return false;
    }
    for (const std::string& file : files) {
        for (const std::string& name : names) {
            // Names that match no server are skipped.
            const CFtpServer* server = FindFtpServer(servers, name);
            if (server == nullptr) continue;
            auto job = std::make_unique<CFtpJob>(true);
            job->SetServer(*server);
            job->SetLocalFile(file);
            job->SetRemoteName(FileNameOf(file));
            QueueFtpJob(std::move(job));
        }
    }
    return true;
}

bool FtpExportUploads::QueueToSettingsServer(const std::vector<std::string>& files, std::string&) {
    for (const std::string& file : files) {
        // The job takes the server of the FTP settings.
        auto job = std::make_unique<CFtpJob>(true);
        job->SetLocalFile(file);
        job->SetRemoteName(FileNameOf(file));
        QueueFtpJob(std::move(job));
    }
    return true;
}

std::vector<std::string> FtpServersNotDefined(const std::string& serverNames) {
    FtpServerList servers;
    std::string loadError;
    LoadFtpServers(servers, GetFtpServersFilePath(), loadError);
    std::vector<std::string> missing;
    for (const std::string& name : SplitNames(serverNames)) {
        if (TrimFtpText(name).empty()) continue;
        if (FindFtpServer(servers, name) == nullptr) missing.push_back(TrimFtpText(name));
    }
    return missing;
}

std::vector<std::string> FtpExportUploads::MissingServers(const std::string& serverNames) const {
    return FtpServersNotDefined(serverNames);
}

std::string FtpExportUploads::SettingsServerSite() const { return setting::FtpSite.Read(); }

ExportUploads& ProgramFtpUploads() {
    static FtpExportUploads uploads;
    return uploads;
}

}  // namespace lv
