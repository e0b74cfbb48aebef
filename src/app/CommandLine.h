#pragma once
// The program's options.
#include <optional>
#include <string>

#include "app/Texts.h"

namespace lv {

struct CommandLine {
    bool headless = false;
    bool force = false;    // start even when another instance runs (stands for holding Control)
    bool direct = false;   // headless: switch the direct connection on at start
    bool help = false;
    std::string dataDir;
    std::optional<Language> language;
};

// False with an error text for an unknown option or a missing value.
bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string& error);
const char* CommandLineUsage();

}  // namespace lv
