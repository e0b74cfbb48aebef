#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <thread>
#include <vector>
#include <ctime>
#include <filesystem>
#include <optional>

#include "base/Environment.h"
#include "base/Clock.h"
#include "support/LocalTime.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// Sets or clears an environment variable for one test.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedVariable() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

class EnvironmentTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(folder / "bin"); }
    void TearDown() override { InitialiseEnvironment({program, (folder / "unused")}); }

    TempFolder folder;
    std::string program = folder / "bin/lumivane";
    std::string home = folder / "home";
    ScopedVariable homeVariable{"HOME", home.c_str()};
    ScopedVariable dataVariable{"XDG_DATA_HOME", nullptr};
    std::string config = folder / "home/.config";
    ScopedVariable configVariable{"XDG_CONFIG_HOME", config.c_str()};
};

TEST_F(EnvironmentTest, ModernLayoutUsesTheXdgDataFolder) {
    const std::string xdg = folder / "xdg";
    ScopedVariable variable("XDG_DATA_HOME", xdg.c_str());
    InitialiseEnvironment({program, ""});
    EXPECT_TRUE(UseModernFolders());
    EXPECT_EQ(GetProgramFolder(), folder / "bin");
    EXPECT_EQ(GetDataFolder(), xdg + "/Orvanel/Lumivane");
    EXPECT_EQ(GetSettingsFilePath(), xdg + "/Orvanel/Lumivane/Lumivane.ini");
    EXPECT_EQ(GetFtpServersFilePath(), xdg + "/Orvanel/Lumivane/FtpServers.dat");
    EXPECT_EQ(GetLogFolder(), xdg + "/Orvanel/Lumivane/logfiles");
    EXPECT_EQ(GetLogFilePath(), xdg + "/Orvanel/Lumivane/logfiles/Lumivane.log");
    EXPECT_TRUE(fs::is_directory(GetLogFolder()));
    EXPECT_EQ(EnvironmentProblems(), "");
}

TEST_F(EnvironmentTest, WithoutXdgDataHomeTheFolderIsUnderHome) {
    InitialiseEnvironment({program, ""});
    EXPECT_EQ(GetDataFolder(), home + "/.local/share/Orvanel/Lumivane");
    EXPECT_TRUE(fs::is_directory(home + "/.local/share/Orvanel/Lumivane/logfiles"));
}

TEST_F(EnvironmentTest, UseXPdirsBesideTheProgramKeepsEverythingThere) {
    WriteFile(folder / "bin/_useXPdirs", "");
    InitialiseEnvironment({program, ""});
    EXPECT_FALSE(UseModernFolders());
    EXPECT_EQ(GetDataFolder(), folder / "bin");
    EXPECT_EQ(GetSettingsFilePath(), folder / "bin/Lumivane.ini");
    EXPECT_EQ(GetFtpServersFilePath(), folder / "bin/FtpServers.dat");
    EXPECT_EQ(GetLogFolder(), folder / "bin/logfiles");
    EXPECT_FALSE(fs::exists(home + "/.local"));
}

TEST_F(EnvironmentTest, DataDirWinsAndIsCreatedLevelByLevel) {
    WriteFile(folder / "bin/_useXPdirs", "");
    const std::string chosen = folder / "a/b/c";
    InitialiseEnvironment({program, chosen});
    EXPECT_EQ(GetDataFolder(), chosen);
    EXPECT_EQ(GetSettingsFilePath(), chosen + "/Lumivane.ini");
    EXPECT_EQ(GetLogFilePath(), chosen + "/logfiles/Lumivane.log");
    EXPECT_TRUE(fs::is_directory(chosen + "/logfiles"));
}

TEST_F(EnvironmentTest, ARelativeDataDirIsTakenFromTheCurrentFolder) {
    const fs::path previous = fs::current_path();
    fs::current_path(folder.Path());
    InitialiseEnvironment({program, "data"});
    fs::current_path(previous);
    EXPECT_EQ(GetDataFolder(), folder / "data");
}

TEST_F(EnvironmentTest, AFolderThatCannotBeCreatedKeepsItsPathAndIsReported) {
    WriteFile(folder / "blocker", "a file, not a folder");
    InitialiseEnvironment({program, folder / "blocker/data"});
    EXPECT_EQ(GetSettingsFilePath(), folder / "blocker/data/Lumivane.ini");
    EXPECT_NE(EnvironmentProblems().find(folder / "blocker/data"), std::string::npos);
}

TEST_F(EnvironmentTest, ABareProgramNameIsFoundFromTheSystem) {
    InitialiseEnvironment({"lumivane", folder / "data"});
    char self[4096];
    ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    EXPECT_EQ(GetProgramFolder(), ProgramFolderOf(std::string(self, static_cast<std::size_t>(length))));
}

TEST_F(EnvironmentTest, DocumentsFolderComesFromXdgUserDirsOrHome) {
    if (std::system("command -v xdg-user-dir >/dev/null 2>&1") != 0) GTEST_SKIP() << "no xdg-user-dir";
    fs::create_directories(home + "/Dokumente");
    fs::create_directories(config);
    WriteFile(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
    InitialiseEnvironment({program, folder / "data"});
    EXPECT_EQ(GetDocumentsFolder(), home + "/Dokumente");
    EXPECT_EQ(GetDefaultExportFilePath(), home + "/Dokumente/Lumivane.qox");

    fs::remove(config + "/user-dirs.dirs");
    InitialiseEnvironment({program, folder / "data"});
    EXPECT_EQ(GetDocumentsFolder(), home);
}

TEST_F(EnvironmentTest, AConfiguredDocumentsFolderThatDoesNotExistFallsBackToHome) {
    fs::create_directories(config);
    WriteFile(config + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/Missing\"\n");
    InitialiseEnvironment({program, folder / "data"});
    EXPECT_EQ(GetDocumentsFolder(), home);
}

TEST_F(EnvironmentTest, SessionFileNameUsesTheLocalTime) {
    const auto instant = test::LocalInstant(2025, 7, 4, 8, 7, 9);
    SetWallClockSourceForTests([instant] { return instant; });
    InitialiseEnvironment({program, folder / "data"});
    EXPECT_EQ(MakeSessionFileName(), folder / "data/logfiles/Lumivane-20250704-080709.dat");
    SetWallClockSourceForTests({});
}

TEST(ClaimSessionFile, TwoStartsInTheSameSecondNeverShareADetectionFile) {
    TempFolder folder;
    const std::string wanted = folder / "Lumivane-20250704-080709.dat";
    EXPECT_EQ(ClaimSessionFile(wanted), wanted);
    EXPECT_TRUE(fs::exists(wanted));
    EXPECT_EQ(fs::file_size(wanted), 0u);
    WriteFile(wanted, "1\t31\t12\t1\t08:07:10.00\t1\r\n");
    // The second takes the next free name, and leaves the first file as it was.
    EXPECT_EQ(ClaimSessionFile(wanted), folder / "Lumivane-20250704-080709-2.dat");
    EXPECT_EQ(ReadFile(wanted), "1\t31\t12\t1\t08:07:10.00\t1\r\n");
    // A state file left without its detection file still holds the name: a new session
    // never takes over another's state.
    WriteFile(folder / "Lumivane-20250704-080709-3.sent", "sent 0000000007\n");
    EXPECT_EQ(ClaimSessionFile(wanted), folder / "Lumivane-20250704-080709-4.dat");
    // A folder that refuses the creation: the name comes back, for the journal to report.
    EXPECT_EQ(ClaimSessionFile(folder / "missing/Lumivane-20250704-080709.dat"),
              folder / "missing/Lumivane-20250704-080709.dat");
}

TEST(ClaimSessionFile, InstancesClaimingAtOnceEachGetTheirOwnFile) {
    TempFolder folder;
    const std::string wanted = folder / "Lumivane-20250704-080709.dat";
    constexpr int kInstances = 8;
    std::vector<std::string> names(kInstances);
    std::vector<std::thread> starts;
    for (int i = 0; i < kInstances; ++i) starts.emplace_back([&, i] { names[i] = ClaimSessionFile(wanted); });
    for (auto& start : starts) start.join();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(std::unique(names.begin(), names.end()), names.end());
    for (const auto& name : names) EXPECT_TRUE(fs::exists(name)) << name;
}

TEST(CreateFolderPath, CreatesEveryMissingLevelAndReportsFailure) {
    TempFolder folder;
    EXPECT_TRUE(CreateFolderPath(folder / "x/y/z/"));
    EXPECT_TRUE(fs::is_directory(folder / "x/y/z"));
    EXPECT_TRUE(CreateFolderPath(folder / "x/y"));  // already there
    WriteFile(folder / "file", "");
    EXPECT_FALSE(CreateFolderPath(folder / "file"));
    EXPECT_FALSE(CreateFolderPath(folder / "file/below"));
    EXPECT_FALSE(CreateFolderPath(""));
}

}  // namespace
}  // namespace lv
