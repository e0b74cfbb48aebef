#include "app/CommandLine.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace lv {

namespace {

bool TakeLanguage(const std::string& word, CommandLine& out, std::string& error) {
    Language language;
    if (!ParseLanguage(word, language)) {
        error = "unknown language '" + word + "' (en or fr)";
        return false;
    }
    out.language = language;
    return true;
}

// The value after the option at argv[i] (i moves onto it); false with the error when
// there is none (or, with refuseEmpty, when it is empty).
bool TakeValue(int argc, char** argv, int& i, std::string& into, std::string& error, bool refuseEmpty = false) {
    if (i + 1 >= argc || (refuseEmpty && argv[i + 1][0] == '\0')) {
        error = std::string("missing value after ") + argv[i];
        return false;
    }
    into = argv[++i];
    return true;
}

enum class CommonOption { Taken, Other, Failed };

// The options every sub-command takes beside its own: --data-dir, --lang, --help; any
// other option is refused, naming the command.
CommonOption TakeCommonOption(int argc, char** argv, int& i, const char* command, CommandLine& out,
                              std::string& error, bool refuseEmpty) {
    const std::string arg = argv[i];
    if (arg == "--data-dir") {
        return TakeValue(argc, argv, i, out.dataDir, error, refuseEmpty) ? CommonOption::Taken : CommonOption::Failed;
    }
    if (arg == "--lang") {
        std::string word;
        return TakeValue(argc, argv, i, word, error, refuseEmpty) && TakeLanguage(word, out, error)
                   ? CommonOption::Taken
                   : CommonOption::Failed;
    }
    if (arg == "--help" || arg == "-h") {
        out.help = true;
        return CommonOption::Taken;
    }
    if (!arg.empty() && arg[0] == '-') {
        error = "unknown option " + arg + " for " + command;
        return CommonOption::Failed;
    }
    return CommonOption::Other;
}

bool IsCloudCommand(int argc, char** argv) { return argc >= 2 && std::strcmp(argv[1], "cloud") == 0; }

// `cloud ACTION [DEVICE [FILE]] [--to FOLDER]`; --data-dir and --lang as for the program.
bool ParseCloudCommand(int argc, char** argv, CommandLine& out, std::string& error) {
    CloudCommandOptions cloud;
    std::vector<std::string> words;
    bool folderGiven = false;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--to") {
            if (!TakeValue(argc, argv, i, cloud.folder, error, /*refuseEmpty=*/true)) return false;
            folderGiven = true;
            continue;
        }
        switch (TakeCommonOption(argc, argv, i, "cloud", out, error, /*refuseEmpty=*/true)) {
            case CommonOption::Taken: break;
            case CommonOption::Failed: return false;
            case CommonOption::Other: words.push_back(arg); break;
        }
    }
    if (out.help) return true;
    if (words.empty()) {
        error = "cloud needs devices, files or fetch";
        return false;
    }
    const std::string& action = words[0];
    std::size_t wanted = 0;
    if (action == "devices") {
        cloud.action = CloudCommandOptions::Action::Devices;
        wanted = 1;
    } else if (action == "files") {
        cloud.action = CloudCommandOptions::Action::Files;
        wanted = 2;
    } else if (action == "fetch") {
        cloud.action = CloudCommandOptions::Action::Fetch;
        wanted = 3;
    } else {
        error = "unknown cloud command '" + action + "' (devices, files or fetch)";
        return false;
    }
    if (words.size() < wanted) {
        error = wanted == 2 ? "cloud files needs DEVICE" : "cloud fetch needs DEVICE and FILE";
        return false;
    }
    if (words.size() > wanted) {
        error = "cloud " + action + " does not take '" + words[wanted] + "'";
        return false;
    }
    if (folderGiven && cloud.action != CloudCommandOptions::Action::Fetch) {
        error = "--to goes with cloud fetch only";
        return false;
    }
    if (wanted >= 2) cloud.device = words[1];
    if (wanted >= 3) cloud.file = words[2];
    out.cloud = std::move(cloud);
    return true;
}

// The options of the import command; --data-dir and --lang as for the program.
bool ParseImportCommand(int argc, char** argv, CommandLine& out, std::string& error) {
    ImportCommandOptions import;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        std::string* target = nullptr;
        if (arg == "--date") {
            target = &import.date;
        } else if (arg == "--from") {
            target = &import.from;
        } else if (arg == "--to") {
            target = &import.to;
        } else if (arg == "--box") {
            target = &import.box;
        } else if (arg == "--save") {
            target = &import.save;
        }
        if (target) {
            if (!TakeValue(argc, argv, i, *target, error)) return false;
            continue;
        }
        if (arg == "--add-hours") {
            std::string hours;
            if (!TakeValue(argc, argv, i, hours, error)) return false;
            if (hours != "24" && hours != "48" && hours != "72") {
                error = "--add-hours takes 24, 48 or 72";
                return false;
            }
            import.addHours = std::atoi(hours.c_str());
            continue;
        }
        switch (TakeCommonOption(argc, argv, i, "import", out, error, /*refuseEmpty=*/false)) {
            case CommonOption::Taken: break;
            case CommonOption::Failed: return false;
            case CommonOption::Other:
                if (!import.file.empty()) {
                    error = "import takes one file, not also " + arg;
                    return false;
                }
                import.file = arg;
                break;
        }
    }
    if (out.help) return true;
    const std::pair<const std::string*, const char*> required[] = {
        {&import.file, "FILE"}, {&import.date, "--date"}, {&import.from, "--from"},
        {&import.to, "--to"},   {&import.box, "--box"},   {&import.save, "--save"}};
    for (const auto& [field, name] : required) {
        if (field->empty()) {
            error = std::string("import needs ") + name;
            return false;
        }
    }
    out.import = std::move(import);
    return true;
}

}  // namespace

bool ParseCommandLine(int argc, char** argv, CommandLine& out, std::string& error) {
    if (argc >= 2 && std::strcmp(argv[1], "import") == 0) return ParseImportCommand(argc, argv, out, error);
    if (IsCloudCommand(argc, argv)) return ParseCloudCommand(argc, argv, out, error);
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& into) { return TakeValue(argc, argv, i, into, error); };
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
            if (!TakeLanguage(word, out, error)) return false;
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
           "  --screenshot-delay SECONDS  delay before the picture (default 8)\n"
           "\n"
           "       lumivane import FILE --date DD/MM/YYYY --from HH:MM:SS --to HH:MM:SS --box ID\n"
           "                [--add-hours 24|48|72] --save OUT [--data-dir DIR] [--lang en|fr]\n"
           "  saves the detections of a decoder output file between the two times of the day\n"
           "  into the detection file OUT (\".qox\" added when missing), with the chip table and\n"
           "  the settings of the data folder; exits with 1 and the reason on a failure\n"
           "\n"
           "       lumivane cloud devices [--data-dir DIR] [--lang en|fr]\n"
           "       lumivane cloud files DEVICE [--data-dir DIR] [--lang en|fr]\n"
           "       lumivane cloud fetch DEVICE FILE [--to FOLDER] [--data-dir DIR] [--lang en|fr]\n"
           "  the customer's cloud account, with the address, credentials and CA file of the\n"
           "  data folder's settings: devices prints one device id a line; files prints one\n"
           "  line a file of DEVICE (file id, count, creation date and time, tab-separated);\n"
           "  fetch writes TX_<FILE>.txt into FOLDER (default: the download folder setting)\n"
           "  and prints its size and path; exits with 1 and the reason on a failure\n";
}

int CommandLineErrorStatus(int argc, char** argv) { return IsCloudCommand(argc, argv) ? 1 : 2; }

}  // namespace lv
