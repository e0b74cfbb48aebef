#include <cstdio>

#include "SimCommands.h"

namespace sim {
int RunDecoderSimulator(int, char**) {
    std::fprintf(stderr, "decoder simulator not built yet\n");
    return 2;
}
}  // namespace sim
