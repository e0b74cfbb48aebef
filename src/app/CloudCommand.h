#pragma once
// `lumivane cloud ...`: the box files explorer's cloud requests without a window, for a
// timing point without a screen and for scripts. Results go to `out`, one item a line;
// a failure writes the explorer's message to `err` (and the log file) and gives 1.
#include <cstdio>

#include "app/CommandLine.h"

namespace lv {

int RunCloudCommand(const CommandLine& options, const char* programPath, std::FILE* out, std::FILE* err);

}  // namespace lv
