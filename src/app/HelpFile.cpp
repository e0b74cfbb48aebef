#include "app/HelpFile.h"

#include <sys/stat.h>

#include <filesystem>

#include "base/Environment.h"

namespace lv {

std::vector<std::string> HelpFileCandidates(const std::string& programFolder) {
    // <prefix>/bin -> <prefix>/share/doc/lumivane, by name: bin is not followed.
    std::string bin = programFolder;
    while (bin.size() > 1 && bin.back() == '/') bin.pop_back();
    const std::filesystem::path prefix = std::filesystem::path(bin).lexically_normal().parent_path();
    return {JoinPath(programFolder, kHelpFileName), (prefix / "share/doc/lumivane" / kHelpFileName).string()};
}

std::string FindHelpFile(const std::string& programFolder) {
    for (const std::string& path : HelpFileCandidates(programFolder)) {
        struct stat info {};
        if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return path;
    }
    return {};
}

}  // namespace lv
