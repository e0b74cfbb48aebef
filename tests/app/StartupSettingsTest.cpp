#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "app/StartupSettings.h"
#include "base/Environment.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

class StartupSettingsTest : public ::testing::Test {
protected:
    TempFolder folder;
    std::string path = folder / "Lumivane.ini";
    IniFile ini{path};
    const std::string exportFile = "/home/timer/Documents/Lumivane.qox";
};

TEST_F(StartupSettingsTest, FirstRunWritesEveryKeyInOrder) {
    StartupSettings s = ReadStartupSettings(ini, exportFile);
    // The keys read at start come first, in this order (the rest follow in their sections).
    const std::string head =
              "[Settings]\r\n"
              "GTarvexIgnoreInputMsDelta=50\r\n"
              "GTarvexIgnoreOutputMsDelta=300\r\n"
              "GTarvexReadMsDelta=1\r\n"
              "GTarvexEmptyDetectionsActions=-\r\n"
              "GTarvexExportFile=/home/timer/Documents/Lumivane.qox\r\n"
              "GTarvexSendNumbers=1\r\n"
              "GTarvexIgnoreUnknownTags=0\r\n"
              "GTarvexIgnoreLSDetections=0\r\n"
              "GTarvexIgnoreFSDetections=0\r\n"
              "SleepMilliAfterLeadingStart=3000\r\n"
              "SleepMilliAfterLeadingStop=3000\r\n"
              "SleepMilliAfterSetTime=2000\r\n"
              "GBoxReconnectSeconds=30\r\n"
              "GDaysToAdd=0\r\n"
        "ResumeHours=2\r\n"
        "BRecoverGaps=1\r\n"
              "LogMaxKilobytes=51200\r\n"
              "LogKeepFiles=10\r\n"
              "[DirectConnection]\r\n"
              "Port=8283\r\n"
              "Host=localhost\r\n"
              "ReconnectSeconds=15\r\n"
              "[URLs]\r\n"
              "GetLocalFilePassings=http://$BOXIP$/media/passings_$FILEID$.txt\r\n";
    const std::string text = ReadFile(path);
    std::size_t at = 0;
    for (std::size_t start = 0, end; (end = head.find("\r\n", start)) != std::string::npos; start = end + 2) {
        const std::string line = head.substr(start, end - start + 2);
        const std::size_t found = text.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " missing or out of order in\n" << text;
        at = found + line.size();
    }
    EXPECT_EQ(s.connectionTimeout, 2);
    EXPECT_TRUE(s.beepDetections);
    EXPECT_TRUE(s.beepWhenQuit);
    EXPECT_EQ(s.exportFile, exportFile);
    EXPECT_EQ(s.directConnectionHost, "localhost");

    // A second start changes nothing.
    const std::string afterFirst = ReadFile(path);
    ReadStartupSettings(ini, exportFile);
    EXPECT_EQ(ReadFile(path), afterFirst);
}

TEST_F(StartupSettingsTest, StoredValuesWinAndAreKept) {
    WriteFile(path,
              "[settings]\r\ngtarvexignoreinputmsdelta=80\r\nGTarvexConnectionTimeout=7\r\n"
              "GTarvexSendNumbers=5\r\nGTarvexBeepDetections=0\r\nGTarvexBeepWhenQuit=0\r\n"
              "GTarvexExportFile=/data/race.qox\r\nGDaysToAdd=2\r\n"
              "[DirectConnection]\r\nHost=timing-pc\r\nPort=9000\r\n");
    StartupSettings s = ReadStartupSettings(ini, exportFile);
    EXPECT_EQ(s.ignoreInputMsDelta, 80);
    EXPECT_EQ(s.connectionTimeout, 7);
    EXPECT_TRUE(s.sendNumbers);
    EXPECT_FALSE(s.beepDetections);
    EXPECT_FALSE(s.beepWhenQuit);
    EXPECT_EQ(s.exportFile, "/data/race.qox");
    EXPECT_EQ(s.daysToAdd, 2);
    EXPECT_EQ(s.directConnectionHost, "timing-pc");
    EXPECT_EQ(s.directConnectionPort, 9000);
    const std::string text = ReadFile(path);
    EXPECT_NE(text.find("gtarvexignoreinputmsdelta=80\r\n"), std::string::npos);
    EXPECT_NE(text.find("GTarvexSendNumbers=1\r\n"), std::string::npos);
    EXPECT_NE(text.find("GTarvexConnectionTimeout=7\r\n"), std::string::npos);
}

// Whoever declares boxes, exports or the cloud by editing the file finds every key
// there with its default; a key already there keeps its value.
TEST_F(StartupSettingsTest, EveryDeclaredKeyIsListedWithItsDefault) {
    WriteFile(path, "[TarvexBoxes]\r\nBoxHost1=10.0.0.7\r\nBoxPort1=3601\r\n");
    ReadStartupSettings(ini, exportFile);
    EXPECT_EQ(ini.ReadText("Settings", "GTarvexConnectionTimeout", ""), "2");
    EXPECT_EQ(ini.ReadText("Settings", "GTarvexBeepWhenQuit", ""), "1");
    EXPECT_EQ(ini.ReadText("TarvexBoxes", "BoxHost0", "?"), "");
    EXPECT_EQ(ini.ReadText("TarvexBoxes", "BoxHost1", ""), "10.0.0.7");
    EXPECT_EQ(ini.ReadText("TarvexBoxes", "BoxPort1", ""), "3601");
    EXPECT_EQ(ini.ReadText("TarvexBoxes", "BoxIdDetector3", ""), "31");
    EXPECT_EQ(ini.ReadText("ExportDetections", "Delta", ""), "00:01:00");
    EXPECT_EQ(ini.ReadText("ExportDetectionLines.BackgroundExport", "ExportPeriodMinutes", ""), "2");
    EXPECT_EQ(ini.ReadText("ExportDetectionLines", "ExportPath", ""), GetDocumentsFolder());
    EXPECT_TRUE(ini.HasKey("FtpSettings", "Site"));
    EXPECT_TRUE(ini.HasKey("URLs", "CloudApiBase"));
    EXPECT_TRUE(ini.HasKey("CustomerInfo", "ApiKey"));
    EXPECT_EQ(ini.ReadText("StatusPage", "Bind", ""), "127.0.0.1");
}

// A key declared later and forgotten in the list of defaults would be missing from
// new files: every declared key of the schema is checked against a new file.
TEST_F(StartupSettingsTest, NoDeclaredKeyIsLeftOutOfANewFile) {
    ReadStartupSettings(ini, exportFile);
    const std::string schema = ReadFile(std::string(LUMIVANE_SOURCE_DIR) + "/src/base/SettingsSchema.h");
    // Kept out on purpose: the token cache, the program's own location, and the
    // read-only device map of serial ports.
    const std::set<std::string> notListed = {"AccessTokenValue", "AccessTokenDateTime", "SoftwareLocation",
                                             "SerialPortDevice"};
    const std::regex declaration(R"re(inline constexpr (Int|Bool|Text|SlotInt|SlotText)Setting (\w+)\{(k\w+), "([^"]+)")re");
    const std::map<std::string, std::string> sections = {
        {"kSettings", "Settings"}, {"kDirectConnection", "DirectConnection"}, {"kUrls", "URLs"},
        {"kCustomerInfo", "CustomerInfo"}, {"kApplication", "Application"}, {"kTarvexBoxes", "TarvexBoxes"},
        {"kExportDetectionLines", "ExportDetectionLines"},
        {"kExportDetectionLinesBackground", "ExportDetectionLines.BackgroundExport"},
        {"kExportDetections", "ExportDetections"}, {"kFtpSettings", "FtpSettings"},
        {"kDownloadTarvex", "DownloadTarvex"}, {"kImportDetections", "ImportDetections"},
        {"kStatusPage", "StatusPage"}};
    int checked = 0;
    for (auto it = std::sregex_iterator(schema.begin(), schema.end(), declaration); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        if (notListed.count(m[2])) continue;
        ASSERT_TRUE(sections.count(m[3])) << "unknown section constant " << m[3];
        const std::string key = m[1].str().rfind("Slot", 0) == 0 ? m[4].str() + "0" : m[4].str();
        EXPECT_TRUE(ini.HasKey(sections.at(m[3]), key)) << m[2] << ": [" << sections.at(m[3]) << "] " << key;
        ++checked;
    }
    EXPECT_GT(checked, 60);
}

TEST_F(StartupSettingsTest, ObsoleteKeysAreDeletedAndTheirNeighboursKept) {
    WriteFile(path,
              "[URLs]\r\nGetRemoteFilePassings=a\r\nGetRemoteBoxesInfo=b\r\nOther=c\r\n"
              "GetLocalFilePassings=old\r\n"
              "[CustomerInfo]\r\nLogin=me\r\nPassword=secret\r\n");
    ReadStartupSettings(ini, exportFile);
    EXPECT_FALSE(ini.HasKey("URLs", "GetRemoteFilePassings"));
    EXPECT_FALSE(ini.HasKey("URLs", "GetRemoteBoxesInfo"));
    EXPECT_FALSE(ini.HasKey("CustomerInfo", "Password"));
    EXPECT_EQ(ini.ReadText("URLs", "Other", ""), "c");
    EXPECT_EQ(ini.ReadText("CustomerInfo", "Login", ""), "me");
    EXPECT_EQ(ini.ReadText("URLs", "GetLocalFilePassings", ""), kLocalFilePassingsUrl);
    EXPECT_EQ(ReadFile(path).find("secret"), std::string::npos);
}

TEST_F(StartupSettingsTest, SoftwareLocationIsTheProgramFolder) {
    WriteSoftwareLocation(ini, "/opt/lumivane");
    EXPECT_EQ(ReadFile(path), "[Application]\r\nSoftwareLocation=/opt/lumivane\r\n");
}

TEST_F(StartupSettingsTest, LanguageComesFromTheCommandLineThenTheSetting) {
    EXPECT_EQ(ChooseLanguage(ini, ""), Language::French);
    EXPECT_EQ(ini.ReadText("Application", "Language", ""), "fr");
    EXPECT_EQ(ChooseLanguage(ini, "en"), Language::English);

    ini.WriteText("Application", "Language", "EN");
    EXPECT_EQ(ChooseLanguage(ini, ""), Language::English);
    EXPECT_EQ(ChooseLanguage(ini, "fr"), Language::French);
    EXPECT_EQ(ChooseLanguage(ini, "klingon"), Language::English);

    ini.WriteText("Application", "Language", "de");
    EXPECT_EQ(ChooseLanguage(ini, ""), Language::French);
    EXPECT_EQ(ini.ReadText("Application", "Language", ""), "de");
}

}  // namespace
}  // namespace lv
