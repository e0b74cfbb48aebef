#pragma once
// The program's options.
#include <optional>
#include <string>

#include "base/Texts.h"

namespace lv {

struct CommandLine {
    bool headless = false;
    bool force = false;    // start even when another instance runs (stands for holding Control)
    bool direct = false;   // switch the direct connection on at start
    // Window: connect the boxes and the direct connection at start, without the
    // configuration dialog (the demo).
    bool connectAtStart = false;
    bool help = false;
    std::string dataDir;
    // Window only: connect the boxes, switch the direct connection on, and after the
    // delay save a picture of the main window to this file and exit.
    std::string screenshotFile;
    int screenshotDelaySeconds = 8;
    std::optional<Language> language;
};

// False with an error text for an unknown option or a missing value.
bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string& error);
const char* CommandLineUsage();

}  // namespace lv
