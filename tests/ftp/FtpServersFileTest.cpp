// The servers file: what a line must look like to define a server, what is skipped,
// and how the file is rewritten.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "base/Texts.h"
#include "ftp/FtpServers.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

std::unique_ptr<CFtpServer> Server(const std::string& label, const std::string& site, const std::string& user,
                                   const std::string& password, const std::string& directory) {
    auto server = std::make_unique<CFtpServer>();
    server->label = label;
    server->site = site;
    server->user = user;
    server->password = password;
    server->directory = directory;
    return server;
}

TEST(FtpServersFile, LinesGivingFiveFieldsAreServers) {
    std::size_t skipped = 0;
    FtpServerList list = ParseFtpServers(
        "Club\tftp.club.org\tjuge\tpw1\t/results\n"
        "Empty dir\t10.0.0.2\tu\tp\t\n"        // four tabs then the line feed
        "Semicolon\th\tu\tp;w\td\n"             // ';' in the password: six fields
        "Short\th\tu\tp\n"                      // four fields
        "\n"
        "Windows\th2\tu2\tp2\td2\r\n"           // CR LF line
        "Last\th3\tu3\tp3\td3",                 // no line feed at the end
        &skipped);
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0]->label, "Club");
    EXPECT_EQ(list[0]->site, "ftp.club.org");
    EXPECT_EQ(list[0]->user, "juge");
    EXPECT_EQ(list[0]->password, "pw1");
    EXPECT_EQ(list[0]->directory, "/results");
    EXPECT_EQ(list[1]->label, "Empty dir");
    EXPECT_EQ(list[1]->directory, "");
    EXPECT_EQ(list[2]->label, "Windows");
    EXPECT_EQ(list[2]->directory, "d2");
    EXPECT_EQ(list[3]->label, "Last");
    EXPECT_EQ(list[3]->directory, "d3");
    EXPECT_EQ(skipped, 2u);
}

TEST(FtpServersFile, BadLinesAreSkippedWithoutHarmingTheOthers) {
    std::string text = "A\th\tu\tp\td\n";
    text += std::string("Bin\th\0\tu\tp\td\n", 14);                  // a NUL byte
    text += "Long\th\tu\tp\t" + std::string(1100, 'x') + "\n";       // longer than a line may be
    text += "\x01\xff\xfe\tbinary\tbytes\t\x80\t\x7f\n";             // odd bytes but five fields
    text += "B\th\tu\tp\td\n";
    std::size_t skipped = 0;
    FtpServerList list = ParseFtpServers(text, &skipped);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0]->label, "A");
    EXPECT_EQ(list[1]->site, "binary");
    EXPECT_EQ(list[2]->label, "B");
    EXPECT_EQ(skipped, 2u);
}

TEST(FtpServersFile, LargeFileLoadsEveryServer) {
    TempFolder folder;
    std::string text;
    for (int i = 0; i < 10000; ++i) text += "S" + std::to_string(i) + "\thost\tuser\tpass\tdir\n";
    WriteFile(folder / "FtpServers.dat", text);
    FtpServerList list;
    std::string error;
    ASSERT_EQ(LoadFtpServers(list, folder / "FtpServers.dat", error), 0);
    ASSERT_EQ(list.size(), 10000u);
    EXPECT_EQ(list.back()->label, "S9999");
    EXPECT_NE(FindFtpServer(list, "S5000"), nullptr);
}

TEST(FtpServersFile, MissingFileSaysSo) {
    TempFolder folder;
    FtpServerList list;
    std::string error;
    EXPECT_EQ(LoadFtpServers(list, folder / "none.dat", error), -1);
    EXPECT_EQ(error, "File does not exist");
    EXPECT_TRUE(list.empty());
}

TEST(FtpServersFile, SaveWritesTabSeparatedLinesOwnerOnlyAndLoadsBack) {
    TempFolder folder;
    const std::string path = folder / "FtpServers.dat";
    // An older file readable by everyone is no longer once rewritten.
    WriteFile(path, "old\th\tu\tp\td\n");
    ::chmod(path.c_str(), 0644);
    FtpServerList list;
    list.push_back(Server("Club", "ftp.club.org:2121", "juge", "s3cr3t é", "/res"));
    list.push_back(Server("Local", "127.0.0.1", "u", "p", ""));
    std::string error;
    ASSERT_EQ(SaveFtpServers(list, path, error), 0) << error;
    EXPECT_EQ(ReadFile(path), "Club\tftp.club.org:2121\tjuge\ts3cr3t é\t/res\nLocal\t127.0.0.1\tu\tp\t\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    // Nothing but the file itself is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.Path()), {}), 1);

    FtpServerList loaded;
    ASSERT_EQ(LoadFtpServers(loaded, path, error), 0);
    ASSERT_EQ(loaded.size(), 2u);
    EXPECT_EQ(loaded[0]->password, "s3cr3t é");
    EXPECT_EQ(loaded[1]->directory, "");
}

TEST(FtpServersFile, NewFileIsOwnerOnly) {
    TempFolder folder;
    FtpServerList list;
    list.push_back(Server("A", "h", "u", "p", "d"));
    std::string error;
    ASSERT_EQ(SaveFtpServers(list, folder / "new.dat", error), 0);
    struct stat info {};
    ASSERT_EQ(::stat((folder / "new.dat").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(FtpServersFile, ValuesThatCannotBeStoredAreRefusedAndTheFileKept) {
    TempFolder folder;
    const std::string path = folder / "FtpServers.dat";
    WriteFile(path, "Kept\th\tu\tp\td\n");
    for (const char* bad : {"pa;ss", "pa\tss", "pa\nss", "pa\rss"}) {
        FtpServerList list;
        list.push_back(Server("Club", "h", "u", bad, "d"));
        std::string error;
        SetLanguage(Language::English);
        EXPECT_EQ(SaveFtpServers(list, path, error), -1) << bad;
        EXPECT_NE(error.find("cannot be stored"), std::string::npos) << error;
        EXPECT_EQ(ReadFile(path), "Kept\th\tu\tp\td\n");
    }
    SetLanguage(Language::French);
}

TEST(FtpServersFile, UnwritableFolderGivesCannotCreateFile) {
    FtpServerList list;
    list.push_back(Server("A", "h", "u", "p", "d"));
    std::string error;
    EXPECT_EQ(SaveFtpServers(list, "/nonexistent-folder/FtpServers.dat", error), -1);
    EXPECT_EQ(error, "Cannot create file");
}

TEST(FtpServersFile, FindTrimsTheLabelAndComparesExactly) {
    FtpServerList list;
    list.push_back(Server("Club", "h1", "u", "p", ""));
    list.push_back(Server("club", "h2", "u", "p", ""));
    list.push_back(Server("Club", "h3", "u", "p", ""));
    const CFtpServer* found = FindFtpServer(list, "  Club\t");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->site, "h1");  // the first match
    EXPECT_EQ(FindFtpServer(list, "club")->site, "h2");
    EXPECT_EQ(FindFtpServer(list, "CLUB"), nullptr);
    EXPECT_EQ(FindFtpServer(list, ""), nullptr);
}

}  // namespace
}  // namespace lv
