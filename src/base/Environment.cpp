#include "base/Environment.h"

#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include <fmt/printf.h>

#include "base/Texts.h"
#include "base/Clock.h"

extern char** environ;

namespace lv {

namespace {

struct Folders {
    std::string programFolder;
    bool modernFolders = true;
    std::string dataFolder;
    std::string documentsFolder;
    std::string settingsFile;
    std::string ftpServersFile;
    std::string logFolder;
    std::string logFile;
    std::string problems;
};

std::mutex g_lock;
Folders g_folders;

// One field of the folders, read under the lock.
template <typename T>
T Current(T Folders::*field) {
    std::lock_guard<std::mutex> guard(g_lock);
    return g_folders.*field;
}

bool IsFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

std::string CurrentFolder() {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return ".";
    return buffer;
}

std::string Absolute(const std::string& path) {
    if (path.empty() || path.front() == '/') return path;
    return JoinPath(CurrentFolder(), path);
}

std::string RunningProgramPath() {
    char buffer[PATH_MAX];
    ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0) return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

std::string HomeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') return home;
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return found->pw_dir;
    }
    return CurrentFolder();
}

std::string XdgDataHome() {
    const char* configured = std::getenv("XDG_DATA_HOME");
    // Relative values are invalid and must be ignored.
    if (configured != nullptr && configured[0] == '/') return configured;
    return JoinPath(HomeFolder(), ".local/share");
}

// The output of `xdg-user-dir DOCUMENTS`, or empty when the tool is missing or fails.
std::string XdgDocumentsFolder() {
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    char program[] = "xdg-user-dir";
    char which[] = "DOCUMENTS";
    char* arguments[] = {program, which, nullptr};
    pid_t child = -1;
    int spawned = ::posix_spawnp(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        return {};
    }
    std::string output;
    char buffer[1024];
    for (;;) {
        ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (output.size() < PATH_MAX) output.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return {};
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (output.size() >= PATH_MAX || output.find('\n') != std::string::npos) return {};
    return output;
}

std::string DocumentsFolder() {
    std::string documents = XdgDocumentsFolder();
    if (!documents.empty() && documents.front() == '/' && IsFolder(documents)) return documents;
    return HomeFolder();
}

void NoteProblem(Folders& folders, const std::string& folder) {
    if (!folders.problems.empty()) folders.problems += "\n";
    folders.problems += fmt::sprintf(Tr("### Cannot create the folder \"%s\"",
                                        "### Impossible de créer le dossier \"%s\""),
                                     folder);
}

}  // namespace

std::string ProgramFolderOf(const std::string& programPath) {
    std::size_t slash = programPath.rfind('/');
    if (slash == std::string::npos) return {};
    if (slash == 0) return "/";
    return programPath.substr(0, slash);
}

void InitialiseEnvironment(const EnvironmentOptions& options) {
    Folders folders;

    std::string programPath = options.programPath;
    // A bare name was found through PATH: ask the system where the program lies.
    if (programPath.find('/') == std::string::npos) programPath = RunningProgramPath();
    folders.programFolder = ProgramFolderOf(Absolute(programPath));
    if (folders.programFolder.empty()) folders.programFolder = CurrentFolder();

    folders.modernFolders = !Exists(JoinPath(folders.programFolder, "_useXPdirs"));
    if (!options.dataFolderOverride.empty()) {
        folders.dataFolder = Absolute(options.dataFolderOverride);
    } else if (!folders.modernFolders) {
        folders.dataFolder = folders.programFolder;
    } else {
        folders.dataFolder = JoinPath(XdgDataHome(), "Orvanel/Lumivane");
    }
    if (!CreateFolderPath(folders.dataFolder)) NoteProblem(folders, folders.dataFolder);

    folders.settingsFile = JoinPath(folders.dataFolder, "Lumivane.ini");
    folders.ftpServersFile = JoinPath(folders.dataFolder, "FtpServers.dat");
    folders.logFolder = JoinPath(folders.dataFolder, "logfiles");
    if (IsFolder(folders.dataFolder) && !CreateFolderPath(folders.logFolder)) {
        NoteProblem(folders, folders.logFolder);
    }
    folders.logFile = JoinPath(folders.logFolder, "Lumivane.log");
    folders.documentsFolder = DocumentsFolder();

    std::lock_guard<std::mutex> guard(g_lock);
    g_folders = std::move(folders);
}

std::string GetProgramFolder() { return Current(&Folders::programFolder); }

bool UseModernFolders() { return Current(&Folders::modernFolders); }

std::string GetDataFolder() { return Current(&Folders::dataFolder); }

std::string GetDocumentsFolder() { return Current(&Folders::documentsFolder); }

std::string GetDefaultExportFilePath() { return JoinPath(GetDocumentsFolder(), "Lumivane.qox"); }

std::string GetSettingsFilePath() { return Current(&Folders::settingsFile); }

std::string GetFtpServersFilePath() { return Current(&Folders::ftpServersFile); }

std::string GetLogFolder() { return Current(&Folders::logFolder); }

std::string GetLogFilePath() { return Current(&Folders::logFile); }

std::string EnvironmentProblems() { return Current(&Folders::problems); }

std::string MakeSessionFileName() {
    const std::time_t now = std::chrono::system_clock::to_time_t(WallNow());
    std::tm local {};
    ::localtime_r(&now, &local);
    return JoinPath(GetLogFolder(),
                    fmt::sprintf("Lumivane-%4d%02d%02d-%02d%02d%02d.dat", local.tm_year + 1900,
                                 local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                                 local.tm_sec));
}

std::string ClaimSessionFile(const std::string& wanted) {
    constexpr std::string_view kEnding = ".dat";
    const bool dat = wanted.size() > kEnding.size() && wanted.compare(wanted.size() - kEnding.size(), kEnding.size(), kEnding) == 0;
    const std::string stem = dat ? wanted.substr(0, wanted.size() - kEnding.size()) : wanted;
    constexpr int kMaxTries = 1000;
    for (int n = 1; n <= kMaxTries; ++n) {
        const std::string base = n == 1 ? stem : fmt::sprintf("%s-%d", stem, n);
        const std::string name = dat ? base + std::string(kEnding) : base;
        struct stat info {};
        if (dat && ::lstat((base + ".sent").c_str(), &info) == 0) continue;
        // O_EXCL: of two instances creating the same name at once, exactly one succeeds.
        const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST) return wanted;
    }
    return wanted;
}

bool CreateFolderPath(const std::string& path) {
    std::string folder = path;
    if (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty()) return false;
    if (IsFolder(folder)) return true;
    if (::mkdir(folder.c_str(), 0777) == 0) return true;
    if (errno != ENOENT) return IsFolder(folder);
    // Some parent levels are missing: make each in turn.
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos;
         slash = folder.find('/', slash + 1)) {
        std::string level = folder.substr(0, slash);
        if (IsFolder(level)) continue;
        if (::mkdir(level.c_str(), 0777) != 0 && !(errno == EEXIST && IsFolder(level))) return false;
    }
    if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) return false;
    return IsFolder(folder);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (name.empty()) return folder;
    std::string_view tail = name;
    while (!tail.empty() && tail.front() == '/') tail.remove_prefix(1);
    std::string joined = folder;
    if (joined.back() != '/') joined += '/';
    joined += tail;
    return joined;
}

std::string FileNameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace lv
