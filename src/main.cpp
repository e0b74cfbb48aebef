#include <cstdio>
#include <string>

#include "app/CloudCommand.h"
#include "app/CommandLine.h"
#include "app/HeadlessMain.h"
#include "app/ImportCommand.h"
#ifdef LUMIVANE_HAVE_GUI
#include "gui/GuiMain.h"
#endif

int main(int argc, char** argv) {
    lv::CommandLine options;
    std::string error;
    if (!lv::ParseCommandLine(argc, argv, options, error)) {
        std::fprintf(stderr, "lumivane: %s\n%s", error.c_str(), lv::CommandLineUsage());
        return lv::CommandLineErrorStatus(argc, argv);
    }
    if (options.help) {
        std::fputs(lv::CommandLineUsage(), stdout);
        return 0;
    }
    if (options.import) return lv::RunImportCommand(options, argv[0], stdout, stderr);
    if (options.cloud) return lv::RunCloudCommand(options, argv[0], stdout, stderr);
#ifdef LUMIVANE_HAVE_GUI
    if (!options.headless) return lv::RunGui(options, argc, argv);
#endif
    return lv::RunHeadless(options, argv[0]);
}
