#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <thread>
#include <vector>

#include "base/Log.h"
#include "base/Settings.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class SettingsStore : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder / "Lumivane.ini";
    IniFile ini{path};
};

TEST_F(SettingsStore, SectionsAndKeysMatchWithoutRegardToCase) {
    WriteFile(path, "[settings]\r\nport=5\r\n");
    EXPECT_EQ(ini.ReadInt("SETTINGS", "Port", 0), 5);
    ASSERT_TRUE(ini.WriteInt("Settings", "PORT", 7));
    // The existing line is updated in place with its own spelling, not duplicated.
    EXPECT_EQ(ReadFile(path), "[settings]\r\nport=7\r\n");
}

TEST_F(SettingsStore, ValuesAreReadFromTheFileAtEachAccess) {
    WriteFile(path, "[A]\r\nk=one\r\n");
    EXPECT_EQ(ini.ReadText("A", "k", ""), "one");
    WriteFile(path, "[A]\r\nk=two\r\n");
    EXPECT_EQ(ini.ReadText("A", "k", ""), "two");
}

TEST_F(SettingsStore, WritesGoThroughAtOnceAndAppendInPlace) {
    WriteFile(path, "; comment\r\n[A]\r\nx=1\r\ny=2\r\n; about B\r\n[B]\r\nz=3\r\n");
    ASSERT_TRUE(ini.WriteText("A", "new", "v"));
    ASSERT_TRUE(ini.WriteInt("C", "n", -4));
    ASSERT_TRUE(ini.WriteText("a", "Y", "20"));
    EXPECT_EQ(ReadFile(path),
              "; comment\r\n[A]\r\nx=1\r\ny=20\r\nnew=v\r\n; about B\r\n[B]\r\nz=3\r\n[C]\r\nn=-4\r\n");
    IniFile other(path);
    EXPECT_EQ(other.ReadInt("c", "N", 0), -4);
}

TEST_F(SettingsStore, DeletedKeysDisappearAndNothingElseMoves) {
    WriteFile(path, "[URLs]\r\na=1\r\nGetRemoteBoxesInfo=old\r\nb=2\r\ngetremoteboxesinfo=dup\r\n[X]\r\nGetRemoteBoxesInfo=keep\r\n");
    ASSERT_TRUE(ini.DeleteKey("urls", "GETREMOTEBOXESINFO"));
    EXPECT_EQ(ReadFile(path), "[URLs]\r\na=1\r\nb=2\r\n[X]\r\nGetRemoteBoxesInfo=keep\r\n");
    EXPECT_FALSE(ini.HasKey("URLs", "GetRemoteBoxesInfo"));
    EXPECT_EQ(ini.ReadText("URLs", "GetRemoteBoxesInfo", "gone"), "gone");
}

TEST_F(SettingsStore, DeletingFromAMissingFileCreatesNothing) {
    EXPECT_TRUE(ini.DeleteKey("CustomerInfo", "Password"));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(SettingsStore, DeletedSectionTakesItsLinesAlong) {
    WriteFile(path, "[A]\r\nx=1\r\n[B]\r\n; c\r\ny=2\r\n[C]\r\nz=3\r\n");
    ASSERT_TRUE(ini.DeleteSection("b"));
    EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\n[C]\r\nz=3\r\n");
}

TEST_F(SettingsStore, MalformedLinesAreKeptAndNeverTakenForKeys) {
    const std::string original =
        "stray before any section\r\n"
        "[A]\r\n"
        "no equals sign\r\n"
        "=value without key\r\n"
        "[unterminated\r\n"
        "k=1\r\n"
        "   \r\n"
        "\x01\x02 binary\r\n";
    WriteFile(path, original);
    // An unterminated '[' does not open a section: k stays in A.
    EXPECT_EQ(ini.ReadInt("A", "k", 0), 1);
    EXPECT_FALSE(ini.HasKey("unterminated", "k"));
    EXPECT_FALSE(ini.HasKey("A", "no equals sign"));
    ASSERT_TRUE(ini.WriteInt("A", "k", 2));
    ASSERT_TRUE(ini.WriteInt("A", "added", 3));
    std::string expected = original;
    expected.replace(expected.find("k=1"), 3, "k=2\r\nadded=3");
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(SettingsStore, ReadsLfFilesAndWritesCrLf) {
    WriteFile(path, "[A]\nx=1\n; note\n[B]\ny= spaced value \nlast=no end");
    EXPECT_EQ(ini.ReadText("B", "y", ""), "spaced value");
    EXPECT_EQ(ini.ReadText("B", "last", ""), "no end");
    ASSERT_TRUE(ini.WriteInt("A", "x", 5));
    EXPECT_EQ(ReadFile(path), "[A]\r\nx=5\r\n; note\r\n[B]\r\ny= spaced value \r\nlast=no end\r\n");
}

TEST_F(SettingsStore, ByteOrderMarkIsKeptAndIgnored) {
    WriteFile(path, "\xEF\xBB\xBF[A]\r\nx=1\r\n");
    EXPECT_EQ(ini.ReadInt("A", "x", 0), 1);
    ASSERT_TRUE(ini.WriteInt("A", "x", 2));
    EXPECT_EQ(ReadFile(path), "\xEF\xBB\xBF[A]\r\nx=2\r\n");
}

TEST_F(SettingsStore, IntegersAreReadLikeThePrivateProfileReader) {
    WriteFile(path,
              "[N]\r\nplain=42\r\ntrailing= 17abc\r\nneg=-8\r\nplus=+9\r\nwords=abc\r\nempty=\r\n"
              "huge=99999999999999999999\r\nnhuge=-99999999999999999999\r\nquoted=\"12\"\r\n");
    EXPECT_EQ(ini.ReadInt("N", "plain", 1), 42);
    EXPECT_EQ(ini.ReadInt("N", "trailing", 1), 17);
    EXPECT_EQ(ini.ReadInt("N", "neg", 1), -8);
    EXPECT_EQ(ini.ReadInt("N", "plus", 1), 9);
    EXPECT_EQ(ini.ReadInt("N", "words", 1), 0);
    EXPECT_EQ(ini.ReadInt("N", "empty", 8283), 8283);
    EXPECT_EQ(ini.ReadInt("N", "missing", 8283), 8283);
    EXPECT_EQ(ini.ReadInt("N", "huge", 1), INT_MAX);
    EXPECT_EQ(ini.ReadInt("N", "nhuge", 1), INT_MIN);
    EXPECT_EQ(ini.ReadInt("N", "quoted", 1), 12);
    EXPECT_TRUE(ini.ReadBool("N", "neg", false));
    EXPECT_FALSE(ini.ReadBool("N", "words", true));
    EXPECT_TRUE(ini.ReadBool("N", "missing", true));
}

TEST_F(SettingsStore, TextValuesAreBoundedAndLongLinesSurvive) {
    const std::string longValue(5000, 'v');
    const std::string longJunk(100000, 'j');
    WriteFile(path, "[A]\r\n" + longJunk + "\r\n");
    ASSERT_TRUE(ini.WriteText("A", "long", longValue));
    EXPECT_EQ(ini.ReadText("A", "long", ""), std::string(IniFile::kMaxTextLength, 'v'));
    EXPECT_EQ(ini.ReadText("A", "missing", longValue).size(), IniFile::kMaxTextLength);
    // A new key follows the last key of its section (here: the header).
    EXPECT_EQ(ReadFile(path), "[A]\r\nlong=" + longValue + "\r\n" + longJunk + "\r\n");
}

TEST_F(SettingsStore, MatchingQuotesAreStrippedOnRead) {
    WriteFile(path, "[A]\r\nq=\"C:\\Data\\x.qox\"\r\ns='one'\r\nodd=\"half\r\n");
    EXPECT_EQ(ini.ReadText("A", "q", ""), "C:\\Data\\x.qox");
    EXPECT_EQ(ini.ReadText("A", "s", ""), "one");
    EXPECT_EQ(ini.ReadText("A", "odd", ""), "\"half");
}

TEST_F(SettingsStore, WritesThatWouldBreakTheFileAreRefused) {
    WriteFile(path, "[A]\r\nx=1\r\n");
    EXPECT_FALSE(ini.WriteText("A", "x", "1\r\n[Injected]\r\ny=2"));
    EXPECT_FALSE(ini.WriteText("A", "a=b", "1"));
    EXPECT_FALSE(ini.WriteText("A]", "k", "1"));
    EXPECT_FALSE(ini.WriteText("", "k", "1"));
    EXPECT_FALSE(ini.WriteText("A", "", "1"));
    EXPECT_FALSE(ini.LastError().empty());
    EXPECT_EQ(ReadFile(path), "[A]\r\nx=1\r\n");
}

TEST_F(SettingsStore, AFileThatCannotBeReadIsNeverReplaced) {
    std::filesystem::create_directory(path);  // a folder where the file should be
    EXPECT_FALSE(ini.WriteInt("A", "x", 1));
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_EQ(ini.ReadInt("A", "x", 9), 9);
}

TEST_F(SettingsStore, AnOversizedFileIsLeftAlone) {
    const std::string big = "[A]\r\nx=1\r\n" + std::string(IniFile::kMaxFileSize, ';');
    WriteFile(path, big);
    EXPECT_EQ(ini.ReadInt("A", "x", 9), 9);
    EXPECT_FALSE(ini.WriteInt("A", "x", 2));
    EXPECT_EQ(std::filesystem::file_size(path), big.size());
}

TEST_F(SettingsStore, ReplacementKeepsPermissionsAndSymbolicLinks) {
    const std::string target = folder / "real.ini";
    WriteFile(target, "[A]\r\nx=1\r\n");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    ASSERT_TRUE(ini.WriteInt("A", "x", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(ReadFile(target), "[A]\r\nx=2\r\n");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

// The file holds passwords (FTP, cloud): never readable by others.
TEST_F(SettingsStore, NewFileIsItsOwnersAndOthersLoseTheirRights) {
    ASSERT_TRUE(ini.WriteInt("A", "x", 1));
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    ASSERT_TRUE(ini.WriteInt("A", "x", 2));
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0660u);
}

TEST_F(SettingsStore, ReplacementLeavesNoTemporaryFiles) {
    for (int i = 0; i < 20; ++i) ASSERT_TRUE(ini.WriteInt("A", "x", i));
    std::size_t entries = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) {
        (void)entry;
        ++entries;
    }
    EXPECT_EQ(entries, 1u);
}

// A reader never sees a half-written file: every read finds either the old or the new
// text, complete.
TEST_F(SettingsStore, ConcurrentReadersSeeEitherTheOldOrTheNewFile) {
    const std::string first = std::string(200000, 'a');
    const std::string second = std::string(200000, 'b');
    ASSERT_TRUE(ini.WriteText("A", "v", first));
    const std::string firstText = ReadFile(path);
    ASSERT_TRUE(ini.WriteText("A", "v", second));
    const std::string secondText = ReadFile(path);

    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!done.load()) {
            std::string seen = ReadFile(path);
            if (seen != firstText && seen != secondText) torn.fetch_add(1);
        }
    });
    for (int i = 0; i < 60; ++i) ASSERT_TRUE(ini.WriteText("A", "v", i % 2 ? first : second));
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

std::string KeyName(int number) {
    std::string key = "k";
    key += std::to_string(number);
    return key;
}

TEST_F(SettingsStore, ConcurrentWritersLoseNoKey) {
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t) {
        writers.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) ini.WriteInt("T", KeyName(t * 10 + i), i);
        });
    }
    for (auto& writer : writers) writer.join();
    for (int k = 0; k < 40; ++k) EXPECT_EQ(ini.ReadInt("T", KeyName(k), -1), k % 10);
}

TEST_F(SettingsStore, ReadBackWritesTheValueObtained) {
    WriteFile(path, "[Settings]\r\nB=5\r\n");
    EXPECT_EQ(ReadBackSettingInt(ini, "Settings", "A", 50), 50);
    EXPECT_TRUE(ReadBackSettingBool(ini, "Settings", "B", false));
    EXPECT_EQ(ReadBackSettingText(ini, "Settings", "C", "-"), "-");
    EXPECT_EQ(ReadFile(path), "[Settings]\r\nB=1\r\nA=50\r\nC=-\r\n");
}

TEST_F(SettingsStore, AFailedWriteOfTheProgramSettingsIsLoggedOnce) {
    const std::string logFile = folder / "Lumivane.log";
    Logger::Instance().SetFilePath(logFile);
    std::filesystem::create_directory(path);  // the settings file cannot be replaced
    InstallSettingsFile(path);
    WriteSettingInt("Settings", "GDaysToAdd", 1);
    WriteSettingInt("Settings", "GDaysToAdd", 2);
    const std::string log = ReadFile(logFile);
    EXPECT_NE(log.find(" : ### "), std::string::npos);
    EXPECT_EQ(log.find(" : ### "), log.rfind(" : ### "));
    InstallSettingsFile("");
    Logger::Instance().SetFilePath("");
}

}  // namespace
}  // namespace lv
