#include <cstdio>

#include "SimCommands.h"

namespace sim {
int RunTimingAppSimulator(int, char**) {
    std::fprintf(stderr, "timing application simulator not built yet\n");
    return 2;
}
}  // namespace sim
