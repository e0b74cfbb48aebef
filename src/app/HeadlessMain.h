#pragma once
#include "app/CommandLine.h"

namespace lv {

// The program without a window: starts as the window would, connects the declared
// boxes, acquires until SIGINT or SIGTERM, then exits as the window's Exit does.
int RunHeadless(const CommandLine& options, const char* programPath);

}  // namespace lv
