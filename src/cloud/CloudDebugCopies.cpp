#include "cloud/CloudDebugCopies.h"

#include <sys/stat.h>

#include "base/AtomicFile.h"
#include "base/Environment.h"
#include "base/Log.h"

namespace lv {

std::string CloudDebugFolder() { return JoinPath(GetDataFolder(), "CloudReplies"); }

void WriteCloudDebugCopy(const std::string& name, const std::string& reply) {
    const std::string folder = CloudDebugFolder();
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return;
    std::string error;
    if (!ReplaceFileAtomically(JoinPath(folder, name), reply, &error)) Log(75, "### " + error);
}

}  // namespace lv
