#pragma once
// The exports' hand-over to the FTP transfer jobs: one upload job per file and server.
#include "export/ExportUploads.h"

namespace lv {

class FtpExportUploads : public ExportUploads {
public:
    bool QueueToServers(const std::vector<std::string>& files, const std::string& serverNames,
                        std::string& error) override;
    bool QueueToSettingsServer(const std::vector<std::string>& files, std::string& error) override;
    std::string SettingsServerSite() const override;
    std::vector<std::string> MissingServers(const std::string& serverNames) const override;
};

// The names of `serverNames` (backslash separated) that no line of the servers file
// defines: a line that cannot be read leaves its server out.
std::vector<std::string> FtpServersNotDefined(const std::string& serverNames);

// The one the program uses when nothing else is installed.
ExportUploads& ProgramFtpUploads();

}  // namespace lv
