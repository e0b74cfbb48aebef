#pragma once
// The program's options.
#include <optional>
#include <string>

#include "base/Texts.h"

namespace lv {

// `lumivane import FILE --date DD/MM/YYYY --from HH:MM:SS --to HH:MM:SS --box ID
//  [--add-hours 24|48|72] --save OUT`: a decoder output file saved into a detection
// file without a window.
struct ImportCommandOptions {
    std::string file;
    std::string date;
    std::string from;
    std::string to;
    std::string box;
    int addHours = 0;
    std::string save;
};

// `lumivane cloud devices | files DEVICE | fetch DEVICE FILE [--to FOLDER]`: the
// customer's cloud account without a window, as the box files explorer reaches it.
struct CloudCommandOptions {
    enum class Action { Devices, Files, Fetch };
    Action action = Action::Devices;
    std::string device;
    std::string file;
    std::string folder;  // --to; empty: the download folder setting
};

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
    std::optional<ImportCommandOptions> import;
    std::optional<CloudCommandOptions> cloud;
};

// False with an error text for an unknown option or a missing value.
bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string& error);
const char* CommandLineUsage();
// The exit status for a command line that does not parse: 1 for the cloud commands
// (scripts test for 0 or 1), 2 otherwise.
int CommandLineErrorStatus(int argc, char** argv);

}  // namespace lv
