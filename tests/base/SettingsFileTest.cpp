// Settings files as editors leave them: CR line ends, sections and keys listed twice,
// and a file read at every access but parsed only when it changed.
#include <gtest/gtest.h>

#include "base/Log.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "support/LogCapture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;
using test::WriteFile;

class SettingsFileTest : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(Language::English); }
    void TearDown() override { SetLanguage(Language::French); }

    TempFolder folder;
    std::string path = folder / "Lumivane.ini";
    IniFile ini{path};
    LogCapture log;
};

TEST_F(SettingsFileTest, ACarriageReturnOnlyFileIsReadLikeACrLfOne) {
    WriteFile(path, "[Settings]\rGBoxReconnectSeconds=45\rLogWinLevel=60\r[TarvexBoxes]\rBoxPort0=3601\r");
    EXPECT_EQ(ini.ReadInt("Settings", "GBoxReconnectSeconds", 30), 45);
    EXPECT_EQ(ini.ReadInt("Settings", "LogWinLevel", 50), 60);
    EXPECT_EQ(ini.ReadInt("TarvexBoxes", "BoxPort0", 0), 3601);
    // Written back with the line ends Windows programs expect, nothing lost.
    ASSERT_TRUE(ini.WriteInt("Settings", "LogWinLevel", 70));
    EXPECT_EQ(test::ReadFile(path),
              "[Settings]\r\nGBoxReconnectSeconds=45\r\nLogWinLevel=70\r\n[TarvexBoxes]\r\nBoxPort0=3601\r\n");
}

TEST_F(SettingsFileTest, SectionsAndKeysListedTwiceAreSaidOnceEach) {
    WriteFile(path, "[Settings]\r\nLogWinLevel=60\r\nlogwinlevel=20\r\n[TarvexBoxes]\r\nBoxPort0=1\r\n"
                    "[settings]\r\nBAbsClock=1\r\n");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(ini.ReadInt("Settings", "LogWinLevel", 50), 60);
    EXPECT_EQ(log.Count("## Settings file " + path + ": [Settings] logwinlevel listed twice, the first one is used"),
              1);
    EXPECT_EQ(log.Count("## Settings file " + path + ": [settings] listed twice, the first one is used"), 1);
    EXPECT_EQ(log.CountContaining("listed twice"), 2);
}

TEST_F(SettingsFileTest, TheFileIsParsedAgainOnlyWhenItChanged) {
    WriteFile(path, "[A]\r\nk=one\r\n");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(ini.ReadText("A", "k", ""), "one");
    EXPECT_EQ(ini.ParseCount(), 1u);
    // A change of the same size, made at once, is still seen: the text is compared.
    WriteFile(path, "[A]\r\nk=two\r\n");
    EXPECT_EQ(ini.ReadText("A", "k", ""), "two");
    EXPECT_EQ(ini.ParseCount(), 2u);
}

}  // namespace
}  // namespace lv
