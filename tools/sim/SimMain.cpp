#include <cstdio>
#include <cstring>

#include "SimCommands.h"

namespace {
void PrintUsage() {
    std::fprintf(stderr,
                 "usage: lumivane-sim decoder [options]    stand-in for a network decoder\n"
                 "       lumivane-sim timingapp [options]  stand-in for the timing application\n"
                 "       lumivane-sim cloud [options]      stand-in for the vendor's cloud service (HTTPS)\n"
                 "       lumivane-sim <command> --help     options of a command\n");
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintUsage();
        return 2;
    }
    if (std::strcmp(argv[1], "decoder") == 0) return sim::RunDecoderSimulator(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "timingapp") == 0) return sim::RunTimingAppSimulator(argc - 1, argv + 1);
    if (std::strcmp(argv[1], "cloud") == 0) return sim::RunCloudSimulator(argc - 1, argv + 1);
    PrintUsage();
    return 2;
}
