#pragma once
// The files of one export: written in the working folder (the destination folder, or
// "<folder>/<generic name>" when they are to be zipped), then packed into
// "<working folder>.zip" and handed to the transfers.
#include <string>
#include <string_view>

#include "export/ExportOutcome.h"

namespace lv {

class ExportFileSet {
public:
    ExportFileSet(std::string folder, std::string_view genericName, bool zip);

    // Files this program's exports leave under a temporary name (".part") when they are
    // killed while writing, older than this, are removed by the next export.
    static constexpr int kStalePartSeconds = 30;

    const std::string& WorkingFolder() const { return workingFolder_; }

    // Creates the working folder when zipping; false (recorded in the outcome) when it
    // cannot be created. Removes the stale ".part" files of earlier exports of the same
    // generic name (see kStalePartSeconds); nobody else's file is touched.
    bool Prepare(ExportOutcome& outcome);
    // Writes one file of the set; a failure is recorded as not created.
    void Write(std::string_view fileName, std::string_view content, ExportOutcome& outcome);
    // When zipping and a file was made: the archive; once it is whole, the files and
    // the working folder go and the archive alone is listed as created. A failed
    // archive leaves the files in place and is listed as not created.
    void Pack(ExportOutcome& outcome);

private:
    void RemoveStaleParts() const;

    std::string genericName_;
    std::string workingFolder_;
    bool zip_;
};

// Hands the created files to the installed transfers (see ExportUploads): to the
// named servers, or to the single server of the FTP settings when `serverNames` is null.
void QueueExportUploads(ExportOutcome& outcome, const std::string* serverNames);

}  // namespace lv
