#include "export/ExportFileSet.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "base/Environment.h"
#include "export/ExportFiles.h"
#include "export/ExportUploads.h"
#include "export/FtpExportUploads.h"
#include "export/ZipArchive.h"

namespace lv {

ExportFileSet::ExportFileSet(std::string folder, std::string_view genericName, bool zip)
    : workingFolder_(zip ? JoinPath(folder, std::string(genericName)) : std::move(folder)), zip_(zip) {}

bool ExportFileSet::Prepare(ExportOutcome& outcome) {
    if (!zip_ || CreateFolderPath(workingFolder_)) return true;
    outcome.problems.push_back(fmt::format("{}: {}", workingFolder_, std::strerror(errno != 0 ? errno : EIO)));
    outcome.notCreated.push_back(workingFolder_);
    return false;
}

void ExportFileSet::Write(std::string_view fileName, std::string_view content, ExportOutcome& outcome) {
    const std::string path = JoinPath(workingFolder_, std::string(fileName));
    std::string error;
    if (WriteExportFile(path, content, error)) {
        outcome.created.push_back(path);
    } else {
        outcome.notCreated.push_back(path);
        outcome.problems.push_back(error);
    }
}

void ExportFileSet::Pack(ExportOutcome& outcome) {
    if (!zip_ || outcome.created.empty()) return;
    const std::string archive = workingFolder_ + ".zip";
    std::string error;
    if (!PackFilesIntoZip(archive, outcome.created, error)) {
        outcome.notCreated.push_back(archive);
        outcome.problems.push_back(error);
        return;
    }
    for (const std::string& file : outcome.created) ::unlink(file.c_str());
    // Only when nothing else lives there: the folder may have been there before.
    ::rmdir(workingFolder_.c_str());
    outcome.created.assign(1, archive);
}

void QueueExportUploads(ExportOutcome& outcome, const std::string* serverNames) {
    outcome.ftpAsked = true;
    if (serverNames != nullptr && serverNames->empty()) {
        outcome.ftpError = "No FTP server selected...";
        return;
    }
    ExportUploads* uploads = InstalledExportUploads();
    if (uploads == nullptr) uploads = &ProgramFtpUploads();
    std::string error;
    outcome.ftpStarted = serverNames != nullptr ? uploads->QueueToServers(outcome.created, *serverNames, error)
                                                : uploads->QueueToSettingsServer(outcome.created, error);
    if (!outcome.ftpStarted) outcome.ftpError = error;
}

}  // namespace lv
