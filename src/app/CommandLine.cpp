#include "app/CommandLine.h"

#include <cstdlib>
#include <cstring>

namespace lv {

bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc) {
                error = "missing value after " + arg;
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (arg == "--headless") {
            out.headless = true;
        } else if (arg == "--force") {
            out.force = true;
        } else if (arg == "--direct") {
            out.direct = true;
        } else if (arg == "--connect") {
            out.connectAtStart = true;
        } else if (arg == "--help" || arg == "-h") {
            out.help = true;
        } else if (arg == "--data-dir") {
            if (!value(out.dataDir)) return false;
        } else if (arg.rfind("--data-dir=", 0) == 0) {
            out.dataDir = arg.substr(std::strlen("--data-dir="));
        } else if (arg == "--screenshot") {
            if (!value(out.screenshotFile)) return false;
        } else if (arg == "--screenshot-delay") {
            std::string seconds;
            if (!value(seconds)) return false;
            char* end = nullptr;
            long n = std::strtol(seconds.c_str(), &end, 10);
            if (seconds.empty() || *end != '\0' || n < 1 || n > 600) {
                error = "--screenshot-delay takes a number of seconds from 1 to 600";
                return false;
            }
            out.screenshotDelaySeconds = static_cast<int>(n);
        } else if (arg == "--lang" || arg.rfind("--lang=", 0) == 0) {
            std::string word;
            if (arg == "--lang") {
                if (!value(word)) return false;
            } else {
                word = arg.substr(std::strlen("--lang="));
            }
            Language language;
            if (!ParseLanguage(word, language)) {
                error = "unknown language '" + word + "' (en or fr)";
                return false;
            }
            out.language = language;
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    return true;
}

const char* CommandLineUsage() {
    return "usage: lumivane [--headless] [--direct] [--connect] [--data-dir DIR] [--lang en|fr] [--force]\n"
           "                [--screenshot FILE [--screenshot-delay SECONDS]]\n"
           "  --headless       run without a window; the log goes to standard output\n"
           "  --direct         switch the direct connection on at start\n"
           "  --connect        (window) connect the boxes and the direct connection at start,\n"
           "                   without the configuration dialog\n"
           "  --data-dir DIR   keep settings, logs and detection files in DIR\n"
           "  --lang en|fr     language of the texts (default: setting Application/Language, else fr)\n"
           "  --force          start even when another instance is running\n"
           "  --screenshot FILE  (window) connect the boxes and the direct connection, save a\n"
           "                   PNG picture of the main window after the delay, then exit\n"
           "  --screenshot-delay SECONDS  delay before the picture (default 8)\n";
}

}  // namespace lv
