#include "export/ExportFileSet.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <fmt/format.h>

#include "base/Environment.h"
#include "export/ExportFiles.h"
#include "export/ExportUploads.h"
#include "export/FtpExportUploads.h"
#include "export/ZipArchive.h"

namespace lv {

ExportFileSet::ExportFileSet(std::string folder, std::string_view genericName, bool zip)
    : genericName_(genericName),
      workingFolder_(zip ? JoinPath(folder, std::string(genericName)) : std::move(folder)),
      zip_(zip) {}

namespace {

bool EndsWith(std::string_view text, std::string_view end) {
    return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// A regular file (never a link) last written long enough ago that no export writes it.
bool IsStale(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    return std::time(nullptr) - info.st_mtime >= ExportFileSet::kStalePartSeconds;
}

}  // namespace

void ExportFileSet::RemoveStaleParts() const {
    // The names this export writes under: "<generic>-...qox.part", "<generic>-...-ljk.txt.part",
    // and the archive's "<generic>.zip.part" beside the working folder.
    // The generic name as the file names carry it, and its dash.
    const std::string prefix = LinesFileName(genericName_, "", 0, DisplayType::ClockTime).substr(0, genericName_.size() + 1);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(workingFolder_, error)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) != 0) continue;
        if (!EndsWith(name, ".qox.part") && !EndsWith(name, "-ljk.txt.part")) continue;
        const std::string path = JoinPath(workingFolder_, name);
        if (IsStale(path)) ::unlink(path.c_str());
    }
    if (zip_) {
        const std::string archivePart = workingFolder_ + ".zip.part";
        if (IsStale(archivePart)) ::unlink(archivePart.c_str());
    }
}

bool ExportFileSet::Prepare(ExportOutcome& outcome) {
    if (!zip_ || CreateFolderPath(workingFolder_)) {
        RemoveStaleParts();
        return true;
    }
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
    if (serverNames != nullptr) outcome.ftpServersMissing = uploads->MissingServers(*serverNames);
}

}  // namespace lv
