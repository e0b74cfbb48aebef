#pragma once
// The folders and files the program uses. Paths are built once and kept.
//   data folder: $XDG_DATA_HOME/Orvanel/Lumivane (default ~/.local/share/...), or the
//                program folder when a file "_useXPdirs" lies beside the program, or
//                the folder given with --data-dir;
//   settings file, FTP servers file and "logfiles" live in the data folder;
//   documents folder: `xdg-user-dir DOCUMENTS`, else $HOME.
// A folder that cannot be created keeps its path (later opens fail and are reported
// where they happen); EnvironmentProblems() says which ones failed.
#include <string>

namespace lv {

struct EnvironmentOptions {
    std::string programPath;     // argv[0] or /proc/self/exe; empty: found from /proc
    std::string dataFolderOverride;  // --data-dir
};

// Builds every path (creating the data and log folders). Call once at start; tests
// may call it again with other options.
void InitialiseEnvironment(const EnvironmentOptions& options);

std::string GetProgramFolder();
bool UseModernFolders();
std::string GetDataFolder();
std::string GetDocumentsFolder();
// documents folder + "/Lumivane.qox": the default export file.
std::string GetDefaultExportFilePath();
std::string GetSettingsFilePath();
std::string GetFtpServersFilePath();
std::string GetLogFolder();
std::string GetLogFilePath();
// log folder + "/Lumivane-YYYYMMDD-HHMMSS.dat" for the present local time.
std::string MakeSessionFileName();
// Creates a new, empty detection file exclusively and returns its name: `wanted`, or,
// when that name is taken (another instance started in the same second, a reset within
// it), the first free "<name>-2.dat", "<name>-3.dat", ... A name is taken when the file
// or the state file beside it (".sent") exists, so a new session never shares either.
// When the folder refuses the creation itself, `wanted` comes back unchanged (the
// journal reports it and keeps trying).
std::string ClaimSessionFile(const std::string& wanted);
// The folders InitialiseEnvironment could not create, as a text for the log in the
// language of the interface; empty when all is well.
std::string EnvironmentProblems();
// Creates every missing level; true when the folder exists afterwards.
bool CreateFolderPath(const std::string& path);
// The program folder as found from a program path: everything before the last '/'
// ("/" for a program at the root); empty when the path has no '/'.
std::string ProgramFolderOf(const std::string& programPath);
// Joins a folder and a name with one separator.
std::string JoinPath(const std::string& folder, const std::string& name);
// The last part of a path: the file's own name.
std::string FileNameOf(const std::string& path);

}  // namespace lv
