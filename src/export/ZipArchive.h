#pragma once
// Packing the export files into one ZIP archive: one deflated entry per file, named
// without its folder and dated with the file's modification time.
#include <string>
#include <vector>

namespace lv {

// Writes the archive under a temporary name and renames it to `archivePath` once
// complete. False with `error` (what failed and why) otherwise; then nothing remains
// at `archivePath` from this attempt.
bool PackFilesIntoZip(const std::string& archivePath, const std::vector<std::string>& files,
                      std::string& error);

}  // namespace lv
