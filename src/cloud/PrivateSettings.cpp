#include "cloud/PrivateSettings.h"

#include <sys/stat.h>

#include "base/Settings.h"

namespace lv {

void KeepSettingsPrivate() {
    const std::string& path = Settings().Path();
    if (!path.empty()) (void)::chmod(path.c_str(), S_IRUSR | S_IWUSR);
}

}  // namespace lv
