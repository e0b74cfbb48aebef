#pragma once
// Where the exports hand their files for transfer: the FTP transfer jobs
// (FtpExportUploads) unless another is installed (tests).
#include <string>
#include <vector>

namespace lv {

class ExportUploads {
public:
    virtual ~ExportUploads() = default;

    // One upload job per file and per server named in `serverNames` (backslash
    // separated) that the FTP servers list defines; names matching none are skipped.
    // False with `error` when no job could be queued ("No FTP server defined...").
    virtual bool QueueToServers(const std::vector<std::string>& files, const std::string& serverNames,
                                std::string& error) = 0;
    // One upload job per file to the single server of the FTP settings.
    virtual bool QueueToSettingsServer(const std::vector<std::string>& files, std::string& error) = 0;
    // The address of that single server; empty when none is set.
    virtual std::string SettingsServerSite() const = 0;
    // The names of `serverNames` that no server of the list defines.
    virtual std::vector<std::string> MissingServers(const std::string& serverNames) const {
        (void)serverNames;
        return {};
    }
};

// Process-wide; null removes it. The installer keeps it alive until it removes it.
void InstallExportUploads(ExportUploads* uploads);
ExportUploads* InstalledExportUploads();

}  // namespace lv
