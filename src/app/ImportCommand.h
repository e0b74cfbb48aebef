#pragma once
// `lumivane import ...`: the import dialog's search and save without a window, for a
// timing point without a screen and for scripts. The dialog's log lines and the save's
// lines go to `out` (and the log file); a failure writes its message to `err` and
// gives 1.
#include <cstdio>

#include "app/CommandLine.h"

namespace lv {

int RunImportCommand(const CommandLine& options, const char* programPath, std::FILE* out, std::FILE* err);

}  // namespace lv
