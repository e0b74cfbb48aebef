// The import dialog's rules: its lists and menus, the checks of a search, what it
// remembers, the output name rule, and what it hands to the main window.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "base/Environment.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "import/DlgImportTarvex.h"
#include "import/ImportTestSupport.h"
#include "support/DataFolderFixture.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::TempFolder;
using test::WriteFile;

class DlgImportTarvexTest : public test::DataFolderFixture {
protected:
    void SetUp() override {
        DataFolderFixture::SetUp();
        CDlgImportTarvex::ForgetRememberedForTests();
        WriteFile(input, test::DetectionLine(1, "A", "2024-05-12", "10:00:00.000") + "\n");
    }
    void TearDown() override {
        CDlgImportTarvex::ForgetRememberedForTests();
        DataFolderFixture::TearDown();
    }

    CDlgImportTarvex::SearchStart Prepare(const std::string& start, const std::string& end, const std::string& path) {
        return dialog.PrepareSearch(day, start, end, path, false, header);
    }

    std::string input = folder / "in/passings.txt";
    CDlgImportTarvex dialog;
    CDlgImportTarvex::Date day{12, 5, 2024};
    std::vector<std::string> header;
};

TEST_F(DlgImportTarvexTest, BoxIdsCorrectionsAndSourceMenuAreListedInTheirOrder) {
    auto ids = CDlgImportTarvex::BoxIdEntries();
    ASSERT_EQ(ids.size(), 22u);
    EXPECT_EQ(ids[0], "31     CLASSIC");
    EXPECT_EQ(ids[1], "10     ");
    EXPECT_EQ(ids[21], "30     ");
    EXPECT_EQ(CDlgImportTarvex::BoxIdOf(ids[0]), "31");
    EXPECT_EQ(CDlgImportTarvex::BoxIdOf(ids[5]), "14");
    EXPECT_EQ(CDlgImportTarvex::CorrectionChoices().front(), "Use times as-is");
    EXPECT_EQ(CDlgImportTarvex::CorrectionLabel(0), "");
    EXPECT_EQ(CDlgImportTarvex::CorrectionLabel(3), "+72h");
    auto menu = CDlgImportTarvex::SourceMenu();
    ASSERT_EQ(menu.size(), 5u);
    EXPECT_EQ(menu[0].second, "Select a file on your disk");
    EXPECT_EQ(menu[3].first, CDlgImportTarvex::SourceEntry::Separator);
    SetLanguage(Language::French);
    EXPECT_EQ(CDlgImportTarvex::SourceMenu()[4].second, "Informations compte client Tarvex...");
    EXPECT_EQ(CDlgImportTarvex::CorrectionChoices()[1], "Ajouter 24h aux temps");
}

TEST_F(DlgImportTarvexTest, ASearchChecksTheTimesThenTheFileAndRemembersDateAndTimes) {
    auto badStart = Prepare("25:00:00", "12:00:00", input);
    EXPECT_FALSE(badStart.ok);
    EXPECT_EQ(badStart.message, "Start Time is invalid !");
    EXPECT_EQ(badStart.focus, CDlgImportTarvex::Field::StartTime);
    auto badEnd = Prepare("09:00:00", "noon", input);
    EXPECT_EQ(badEnd.message, "End Time is invalid !");
    EXPECT_EQ(badEnd.focus, CDlgImportTarvex::Field::EndTime);
    auto missing = Prepare("09:00:00", "12:00:00", folder / "none.txt");
    EXPECT_EQ(missing.message, "File to import is empty or does not exist\n" + (folder / "none.txt"));
    EXPECT_EQ(missing.focus, CDlgImportTarvex::Field::InputFile);
    EXPECT_FALSE(Prepare("09:00:00", "12:00:00", "").ok);
    EXPECT_FALSE(Prepare("09:00:00", "12:00:00", folder.Path()).ok);  // a folder is no file

    auto ok = Prepare("9.00.00", "12:00:00", input);
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(header, (std::vector<std::string>{"Import Tarvex detections from file " + input,
                                                "Import detections on Sun 12 May 2024 between 09:00:00 and 12:00:00"}));
    CChrono start;
    ASSERT_TRUE(start.ParseDateTimeCompact("20240512", "090000", 0));
    EXPECT_EQ(ok.request.rangeStart, start);
    EXPECT_EQ(ok.request.purgeIntervalMs, 50);
    EXPECT_TRUE(ok.request.sendNumbers);

    // The next opening, in this run, shows them again.
    auto opening = CDlgImportTarvex().Open(CDlgImportTarvex::Date{1, 1, 2025});
    EXPECT_EQ(opening.date.day, 12);
    EXPECT_EQ(opening.date.month, 5);
    EXPECT_EQ(opening.date.year, 2024);
    EXPECT_EQ(opening.startTime, "9.00.00");
    EXPECT_EQ(opening.endTime, "12:00:00");
    EXPECT_EQ(opening.parseDir, GetDocumentsFolder());
}

TEST_F(DlgImportTarvexTest, TheTimeMenusListTheMarkersOfTheLastSearch) {
    DecoderFileSearchResult result;
    result.markers.push_back({"20240512", "093000", "Wave 1", 0});
    result.markers.push_back({"20240512", "101500", "Wave 2", 0});
    dialog.TakeSearchResult(std::move(result));
    auto start = CDlgImportTarvex::StartTimeMenu();
    ASSERT_EQ(start.size(), 3u);
    EXPECT_EQ(start[0].text, "00:00:00 : Start of day");
    EXPECT_EQ(start[0].value, "00:00:00");
    EXPECT_EQ(start[1].text, "09:30:00 : Wave 1");
    EXPECT_EQ(start[1].value, "09:30:00");
    auto end = CDlgImportTarvex::EndTimeMenu();
    ASSERT_EQ(end.size(), 3u);
    EXPECT_EQ(end[1].text, "10:15:00 : Wave 2");
    EXPECT_EQ(end[2].text, "23:59:59 : End of day");
    EXPECT_EQ(end[2].value, "23:59:59");
}

TEST_F(DlgImportTarvexTest, ImportAndSaveNeedDetectionsAndABoxId) {
    EXPECT_FALSE(dialog.CanFinish(true));
    DecoderFileSearchResult result;
    result.detections.push_back(CDetection{CChrono(36000, 0), CChrono(1715500800, 0), "12"});
    result.log = {"line one"};
    dialog.TakeSearchResult(std::move(result));
    EXPECT_EQ(dialog.Count(), 1u);
    EXPECT_FALSE(dialog.CanFinish(false));
    EXPECT_TRUE(dialog.CanFinish(true));

    auto end = dialog.Finish(CDlgImportTarvex::kSaveCode, "12     ", 2, "/tmp/x.qox");
    EXPECT_EQ(end.code, 17);
    EXPECT_EQ(end.boxId, "12");
    EXPECT_EQ(end.correction, 2);
    EXPECT_EQ(end.outputPath, "/tmp/x.qox");
    EXPECT_EQ(end.detections.size(), 1u);
    EXPECT_EQ(end.log, std::vector<std::string>{"line one"});
    EXPECT_EQ(dialog.Count(), 0u);
}

TEST_F(DlgImportTarvexTest, TheOutputNameEndsInQoxAndAnExistingFileIsOnlyReplacedOnAgreement) {
    EXPECT_EQ(CDlgImportTarvex::ForceQoxExtension("result.QOX"), "result.QOX");
    EXPECT_EQ(CDlgImportTarvex::ForceQoxExtension("result"), "result.qox");
    EXPECT_EQ(CDlgImportTarvex::ForceQoxExtension("result.txt"), "result.txt.qox");
    EXPECT_EQ(CDlgImportTarvex::ForceQoxExtension("qox"), "qox.qox");

    auto none = dialog.PrepareSave("");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.message, "No output file is specified...");
    EXPECT_EQ(none.focus, CDlgImportTarvex::Field::OutputFile);

    auto fresh = dialog.PrepareSave(folder / "out");
    EXPECT_TRUE(fresh.ok);
    EXPECT_EQ(fresh.path, folder / "out.qox");
    EXPECT_TRUE(fresh.question.empty());

    WriteFile(folder / "out.qox", "old");
    auto existing = dialog.PrepareSave(folder / "out");
    EXPECT_TRUE(existing.ok);
    EXPECT_EQ(existing.question,
              "File\n" + (folder / "out.qox") + "\nalready exists. It will be replaced by this operation.\nAre you sure?");
}

TEST_F(DlgImportTarvexTest, AFifoOrADeviceToImportIsNotARegularFile) {
    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero"), folder.Path()}) {
        auto refused = Prepare("09:00:00", "12:00:00", path);
        EXPECT_FALSE(refused.ok);
        EXPECT_EQ(refused.message, "File to import is not a regular file\n" + path);
        EXPECT_EQ(refused.focus, CDlgImportTarvex::Field::InputFile);
    }
}

TEST_F(DlgImportTarvexTest, TheFileBeingImportedIsNeverTheOutputWhateverItsName) {
    // The decoder's raw file is the only copy of the race: saving over it loses it.
    const std::string raw = folder / "in/TX_12.qox";
    WriteFile(raw, test::DetectionLine(1, "A", "2024-05-12", "10:00:00.000") + "\n");
    auto start = Prepare("09:00:00", "12:00:00", raw);
    ASSERT_TRUE(start.ok);
    dialog.TakeSearchResult(SearchDecoderFile(start.request, nullptr, nullptr));
    ASSERT_EQ(dialog.Count(), 1u);

    ASSERT_EQ(::symlink(raw.c_str(), (folder / "link.qox").c_str()), 0);
    ASSERT_EQ(::link(raw.c_str(), (folder / "hard.qox").c_str()), 0);
    for (const std::string& output : {raw, folder / "in/./TX_12.qox", folder / "in/TX_12", folder / "link.qox",
                                      folder / "hard.qox"}) {
        auto save = dialog.PrepareSave(output);
        EXPECT_FALSE(save.ok) << output;
        EXPECT_EQ(save.focus, CDlgImportTarvex::Field::OutputFile) << output;
        EXPECT_NE(save.message.find("is the file being imported"), std::string::npos) << save.message;
    }
    EXPECT_TRUE(dialog.PrepareSave(folder / "in/other").ok);
    EXPECT_EQ(test::ReadFile(raw), test::DetectionLine(1, "A", "2024-05-12", "10:00:00.000") + "\n");
}

TEST_F(DlgImportTarvexTest, ClosingStoresTheFoldersOfTheInputAndOutputFiles) {
    CDlgImportTarvex::SaveFolders(input, folder / "out/result.qox");
    EXPECT_EQ(ReadSettingText("ImportDetections", "CurrentParseDir", ""), folder / "in");
    EXPECT_EQ(ReadSettingText("ImportDetections", "CurrentSaveDir", ""), folder / "out");
    auto opening = dialog.Open(day);
    EXPECT_EQ(opening.parseDir, folder / "in");
    EXPECT_EQ(opening.saveDir, folder / "out");
}

}  // namespace
}  // namespace lv
