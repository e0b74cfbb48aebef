// Temporary: stands in for CChrono, the environment and the log until their branches
// land. Removed at the merge.
#include <filesystem>
#include <fmt/printf.h>

#include "app/Environment.h"
#include "app/Log.h"
#include "core/Chrono.h"

namespace lv {

CChrono operator-(const CChrono& a, const CChrono& b) {
    int32_t s = a.Seconds() - b.Seconds();
    int ms = a.Milliseconds() - b.Milliseconds();
    if (ms < 0) { s -= 1; ms += 1000; }
    return CChrono(s, static_cast<uint16_t>(ms));
}
bool operator<(const CChrono& a, const CChrono& b) {
    if (a.IsSet() != b.IsSet()) return a.IsSet();
    if (a.Seconds() != b.Seconds()) return a.Seconds() < b.Seconds();
    return a.Milliseconds() < b.Milliseconds();
}
bool operator>(const CChrono& a, const CChrono& b) {
    if (a.IsSet() != b.IsSet()) return !a.IsSet();
    if (a.Seconds() != b.Seconds()) return a.Seconds() > b.Seconds();
    return a.Milliseconds() > b.Milliseconds();
}
std::string CChrono::FormatHundredths() const {
    long s = seconds_;
    return fmt::sprintf("%02ld:%02ld:%02ld.%02d", s / 3600, s / 60 % 60, s % 60, milliseconds_ / 10);
}

namespace {
std::string g_program, g_data;
}
void InitialiseEnvironment(const EnvironmentOptions& o) {
    g_program = std::filesystem::path(o.programPath).parent_path().string();
    g_data = o.dataFolderOverride;
    std::filesystem::create_directories(g_data);
}
std::string GetProgramFolder() { return g_program; }
std::string GetDataFolder() { return g_data; }
std::string JoinPath(const std::string& f, const std::string& n) { return f + "/" + n; }

Logger& Logger::Instance() { static Logger l; return l; }
void Logger::SetFilePath(const std::string& p) { std::lock_guard g(lock_); filePath_ = p; }
void Logger::SetWindowLevel(int l) { std::lock_guard g(lock_); windowLevel_ = l; }
void Logger::SetWindowOpen(bool o) { std::lock_guard g(lock_); windowOpen_ = o; }
void Logger::Log(int level, const std::string& m) {
    std::lock_guard g(lock_);
    if (windowOpen_ && level <= windowLevel_) windowLines_.push_back("stamp " + m);
}
std::vector<std::string> Logger::WindowLines() const {
    std::lock_guard g(lock_);
    return {windowLines_.begin(), windowLines_.end()};
}
void Logger::ClearWindow() { std::lock_guard g(lock_); windowLines_.clear(); }

}  // namespace lv
