#include "app/Startup.h"

#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/SingleInstance.h"
#include "app/StartupSettings.h"
#include "base/Texts.h"
#include "core/SessionResume.h"
#include "ftp/FtpWorker.h"

namespace lv {

Startup::Startup() = default;
// The FTP worker lives as long as the program: it ends with the start-up's owner, after
// the window's exit sequence has stopped its transfers.
Startup::~Startup() { EndFtpWorker(); }

StartupOutcome Startup::Run(const CommandLine& options, const std::string& programPath) {
    StartupOutcome outcome;
    InitialiseTimeLocale();

    EnvironmentOptions environment;
    environment.programPath = programPath;
    environment.dataFolderOverride = options.dataDir;
    InitialiseEnvironment(environment);

    InstallSettingsFile(GetSettingsFilePath());
    const char* langWord = "";
    if (options.language) langWord = *options.language == Language::English ? "en" : "fr";
    SetLanguage(ChooseLanguage(Settings(), langWord));

    Logger::Instance().SetFilePath(GetLogFilePath());
    outcome.sessionFileName = MakeSessionFileName();
    std::string problems = EnvironmentProblems();
    if (!problems.empty()) Log(0, problems);

    const StartupSettings settings = ReadStartupSettings(GetDefaultExportFilePath());
    Logger::Instance().SetRotation(static_cast<std::uint64_t>(settings.logMaxKilobytes) * 1024,
                                   settings.logKeepFiles);
    outcome.resumeFile = FindSessionToResume(GetLogFolder(), settings.resumeHours);
    outcome.ok = true;
    return outcome;
}

bool Startup::AcquireInstance() {
    guard_ = std::make_unique<SingleInstanceGuard>();
    if (guard_->Acquire(InstanceLockFilePath())) return true;
    if (!guard_->AnotherInstanceRunning()) {
        // The lock file itself is unusable: nothing tells of another instance, go on.
        Log(0, "### " + guard_->Error());
        return true;
    }
    return false;
}

void Startup::Finish() {
    WriteSoftwareLocation(GetProgramFolder());
    // Background exports queue uploads in both front ends.
    StartFtpWorker();
}

const char* Startup::AlreadyStartedText() { return lv::AlreadyStartedText(); }

}  // namespace lv
