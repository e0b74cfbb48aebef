#pragma once
// The start-up sequence shared by both front ends: language, folders, settings file,
// log file, start-up keys, race days and the single-instance guard.
#include <memory>
#include <string>

#include "app/CommandLine.h"

namespace lv {

class SingleInstanceGuard;

struct StartupOutcome {
    bool ok = false;               // false: start-up stopped (message in `error`)
    bool otherInstanceRunning = false;
    std::string error;
    std::string sessionFileName;   // the current detection file of this run
    // A recent detection file to continue (ResumeHours); empty when none. Not to be
    // used by a second instance started on purpose beside the first.
    std::string resumeFile;
};

class Startup {
public:
    Startup();
    ~Startup();

    // Steps before the single-instance check. programPath is argv[0].
    StartupOutcome Run(const CommandLine& options, const std::string& programPath);
    // The single-instance check; false when another instance holds the guard.
    bool AcquireInstance();
    // After the check (or when the user chose to go on anyway).
    void Finish();

    static const char* AlreadyStartedText();

private:
    std::unique_ptr<SingleInstanceGuard> guard_;
};

}  // namespace lv
