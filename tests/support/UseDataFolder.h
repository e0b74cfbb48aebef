#pragma once
// Points the program at a data folder of the caller's: its settings file and its log.
#include <string>

#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"

namespace lv::test {

inline void UseDataFolder(const std::string& path) {
    EnvironmentOptions options;
    options.dataFolderOverride = path;
    InitialiseEnvironment(options);
    InstallSettingsFile(GetSettingsFilePath());
    Logger::Instance().SetFilePath(GetLogFilePath());
}

}  // namespace lv::test
