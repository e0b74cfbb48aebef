#pragma once
// Files and folders for the core tests: a private temporary folder removed afterwards,
// whole-file reads and writes, and a look at the log window.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app/Log.h"

namespace lv::test {

class TempFolder {
public:
    TempFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "lumivane-core-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Opens the log window at the most detailed level and empties it.
inline void CaptureLog() {
    Logger::Instance().SetWindowLevel(100);
    Logger::Instance().SetWindowOpen(true);
    Logger::Instance().ClearWindow();
}

// Log window lines containing `text`.
inline int CountLogLines(const std::string& text) {
    int count = 0;
    for (const std::string& line : Logger::Instance().WindowLines()) {
        if (line.find(text) != std::string::npos) ++count;
    }
    return count;
}

}  // namespace lv::test
