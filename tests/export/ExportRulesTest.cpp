// The two export dialogs' rules: rows, texts, checks, handicaps and what closing stores.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/SettingsSchema.h"
#include "export/DetectionsExportRules.h"
#include "export/ExportLinesRules.h"
#include "export/RecalageRules.h"
#include "support/UseDataFolder.h"
#include "ExportFixture.h"

namespace lv {
namespace {

using test::ReadFile;
using test::Time;
using test::Work;

WorkList ThreeDetectors() {
    return WorkList{Work("31", "5", "10:00:00.00", 1), Work("32", "5", "10:20:00.00", 2),
                    Work("33", "5", "10:40:00.00", 3), Work("31", "8", "10:01:00.00", 4),
                    Work("32", "8", "10:19:00.00", 5), Work("31", "8", "10:31:00.00", 6)};
}

class LinesRulesTest : public test::ExportTest {
protected:
    LinesDialogValues Values() {
        LinesDialogValues values;
        values.delta = "00:01:00";
        values.folder = folder.Path();
        values.genericName = "export";
        values.periodText = "2";
        return values;
    }
};

TEST_F(LinesRulesTest, FilterNeedsAParsableDeltaAndFillsOneRowPerDetector) {
    ExportLinesRules rules;
    LinesDialogValues values = Values();
    values.delta = "";
    rules.Open(values, ThreeDetectors());
    std::string message;
    EXPECT_FALSE(rules.Filter(message));
    EXPECT_EQ(message, "Temps invalide.\nLe format est 'hh:mn:ss' ou 'hh.mm.ss'");
    EXPECT_TRUE(rules.Rows().empty());
    EXPECT_FALSE(rules.ExportEnabled());
    EXPECT_EQ(rules.DataToExportLine(), "aucune");
    EXPECT_FALSE(rules.ExportNow(message).has_value());
    EXPECT_TRUE(message.empty());  // nothing to export: no message either

    setting::LinesHandicap.Write("32", "10:00:00.00");
    rules.Values().delta = "00:01:00";
    ASSERT_TRUE(rules.Filter(message));
    ASSERT_EQ(rules.Rows().size(), 3u);
    const CStatLineEntry& first = rules.Rows()[0];
    EXPECT_EQ(first.detector, "31");
    EXPECT_EQ(first.count, 3);
    EXPECT_EQ(first.maxPass, 2);
    EXPECT_EQ(first.bib, "5");
    EXPECT_EQ(rules.Rows()[1].handicap, Time("10:00:00"));
    EXPECT_EQ(rules.FileCount(), 4);
    EXPECT_EQ(rules.DataToExportLine(), "4 fichiers de détections - Heures de détections");

    ASSERT_TRUE(rules.ChooseDisplayType(DisplayType::Logica, message));
    EXPECT_EQ(setting::LinesDisplayType.Read(), 2);
    EXPECT_EQ(rules.BestTimeText(rules.Rows()[1]), "1900");  // 10:19 - 10:00
    EXPECT_EQ(rules.DataToExportLine(), "4 fichiers de détections - Temps format LOGICA");
    ASSERT_TRUE(rules.ChooseDisplayType(DisplayType::PassingTime, message));
    EXPECT_EQ(rules.BestTimeText(rules.Rows()[1]), "00:19:00.00");
    SetLanguage(Language::English);
    EXPECT_EQ(rules.DataToExportLine(), "4 detection files - Passing times");
}

TEST_F(LinesRulesTest, SelectionEnablesRealignmentForExactlyOneRow) {
    ExportLinesRules rules;
    rules.Open(Values(), ThreeDetectors());
    std::string message;
    ASSERT_TRUE(rules.Filter(message));
    EXPECT_EQ(rules.Selection({}).handicapText, "...");
    EXPECT_FALSE(rules.Selection({0, 1}).realignEnabled);
    const LinesSelectionState one = rules.Selection({1});
    EXPECT_TRUE(one.realignEnabled);
    EXPECT_TRUE(one.resetEnabled);
    EXPECT_EQ(one.handicapText, "00:00:00.00");

    // Re-alignment: runner 8's 10:19:00 at detector 32 is passing time 00:19:00.
    RecalageRules recalage = rules.Recalage(1);
    EXPECT_EQ(recalage.Passing(), 1);
    EXPECT_EQ(recalage.Bib(), "8");
    EXPECT_EQ(recalage.ClockTimeText(), "10:19:00.00");
    EXPECT_EQ(recalage.PresetText(), "10:19:00.00");
    std::string warning;
    EXPECT_FALSE(recalage.Accept("dix heures", warning));
    EXPECT_EQ(warning, "Temps invalide.\nLe format est 'hh:mn:ss.ct' ou 'hh.mm.ss.ct'\n"
                       "Les centièmes de secondes sont facultatifs");
    ASSERT_TRUE(recalage.Accept("00:19:00", warning));
    rules.SetHandicap(1, recalage.Handicap());
    EXPECT_EQ(rules.Selection({1}).handicapText, "10:00:00.00");
    EXPECT_EQ(setting::LinesHandicap.Read("32"), "10:00:00.00");
    rules.ResetHandicap(1);
    EXPECT_EQ(setting::LinesHandicap.Read("32"), "00:00:00.00");
}

TEST_F(LinesRulesTest, ExportNowChecksNameFolderAndServersThenWrites) {
    ExportLinesRules rules;
    rules.Open(Values(), ThreeDetectors());
    std::string message;
    ASSERT_TRUE(rules.Filter(message));
    rules.Values().genericName = "  ";
    EXPECT_FALSE(rules.ExportNow(message));
    EXPECT_EQ(message, "Nom de fichier obligatoire !");
    rules.Values().genericName = " race ";
    rules.Values().folder = "";
    EXPECT_FALSE(rules.ExportNow(message));
    EXPECT_EQ(message, "Nom de répertoire obligatoire !");
    rules.Values().folder = folder.Path();
    rules.Values().ftp = true;
    EXPECT_FALSE(rules.ExportNow(message));
    EXPECT_EQ(message, "Paramètres FTP non définis !");
    rules.Values().ftp = false;
    const auto outcome = rules.ExportNow(message);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->created.size(), 4u);
    EXPECT_EQ(ReadFile(folder / "race-31-2.qox"), "1\t31\t8\t1\t10:31:00.00\t1\r\n");
}

TEST_F(LinesRulesTest, FtpTargetLineAndServerSelection) {
    test::UseDataFolder(folder.Path());
    test::WriteFile(folder / "FtpServers.dat", "Main\tftp.example\tu\tp\t\nBackup\tftp2.example\tu\tp\t\n");
    ExportLinesRules rules;
    rules.Open(Values(), {});
    EXPECT_EQ(rules.FtpTargetLine(), "Transfert vers <Aucun serveur FTP>");
    EXPECT_EQ(rules.FtpTargetTooltip(), "Paramètres FTP non définis !");
    EXPECT_TRUE(rules.FtpSelectionNeeded());
    rules.SetSelectedServers({"Main", "Backup"});
    EXPECT_EQ(setting::LinesFtpServersList.Read(), "Main\\Backup");
    EXPECT_EQ(rules.FtpTargetLine(), "Transfert vers Main, Backup");
    EXPECT_EQ(rules.FtpTargetTooltip(), "");
    EXPECT_EQ(rules.SelectedServers(), (std::vector<std::string>{"Main", "Backup"}));
}

TEST_F(LinesRulesTest, ChosenServerThatTheServersFileCannotGiveIsShown) {
    // A ';' in Backup's password splits its line into six fields: the line is skipped,
    // and nothing would ever be sent to Backup.
    test::UseDataFolder(folder.Path());
    test::WriteFile(folder / "FtpServers.dat", "Main\tftp.example\tu\tp\t\nBackup\tftp2.example\tu\tp;w\t\n");
    ExportLinesRules rules;
    rules.Open(Values(), ThreeDetectors());
    rules.SetSelectedServers({"Main", "Backup"});
    const std::string missing = "Serveur(s) FTP absent(s) du fichier des serveurs, rien ne leur est envoyé : Backup";
    EXPECT_EQ(rules.FtpTargetLine(), "Transfert vers Main, Backup - " + missing);
    EXPECT_EQ(rules.FtpTargetTooltip(), missing);

    // Backup alone: the export's completion says why no transfer starts (the program's
    // own transfers, nothing queued).
    rules.SetSelectedServers({"Backup"});
    std::string message;
    ASSERT_TRUE(rules.Filter(message));
    rules.Values().ftp = true;
    const auto outcome = rules.ExportNow(message);
    ASSERT_TRUE(outcome.has_value()) << message;
    EXPECT_FALSE(outcome->ftpStarted);
    EXPECT_EQ(outcome->ftpServersMissing, (std::vector<std::string>{"Backup"}));
    EXPECT_NE(outcome->CompletionText().find("Erreur de lancement transfert FTP : " + missing), std::string::npos)
        << outcome->CompletionText();
}

TEST_F(LinesRulesTest, ClosingStoresEverySettingAndMendsThePeriod) {
    ExportLinesRules rules;
    LinesDialogValues values = Values();
    values.zip = true;
    values.backgroundExport = true;
    values.periodText = "0";
    rules.Open(values, {});
    rules.Close();
    EXPECT_EQ(setting::LinesDelta.Read(), "00:01:00");
    EXPECT_TRUE(setting::LinesZip.Read());
    EXPECT_TRUE(setting::BackgroundExportOn.Read());
    EXPECT_EQ(setting::BackgroundExportPeriod.Read(), 2);
    rules.Values().periodText = "abc";
    rules.Close();
    EXPECT_EQ(setting::BackgroundExportPeriod.Read(), 2);
    rules.Values().periodText = "7";
    rules.Close();
    EXPECT_EQ(setting::BackgroundExportPeriod.Read(), 7);
    // A long period is kept as it is, not cut to a maximum.
    rules.Values().periodText = "2000";
    rules.Close();

    ExportLinesRules reopened;
    reopened.Open();
    EXPECT_EQ(reopened.Values().periodText, "2000");
    EXPECT_TRUE(reopened.Values().zip);
    EXPECT_EQ(reopened.Values().folder, folder.Path());
}

class DetectionsRulesTest : public test::ExportTest {
protected:
    DetectionsDialogValues Values() {
        DetectionsDialogValues values;
        values.delta = "00:01:00";
        values.folder = folder.Path();
        values.genericName = "export";
        return values;
    }
};

TEST_F(DetectionsRulesTest, RowsNumberPassingsOfAllDetectorsTogether) {
    DetectionsExportRules rules;
    rules.Open(Values(), ThreeDetectors());
    EXPECT_EQ(rules.CountText(), "6 détections");
    std::string message;
    ASSERT_TRUE(rules.Filter(message));
    ASSERT_EQ(rules.Rows().size(), 3u);
    PassingRowTexts first = rules.RowTexts(rules.Rows()[0]);
    EXPECT_EQ(first.passing, "1");
    EXPECT_EQ(first.runners, "2 coureurs");
    EXPECT_EQ(first.bestTime, "10:00:00.00");
    EXPECT_EQ(first.bib, "5");
    PassingRowTexts third = rules.RowTexts(rules.Rows()[2]);
    EXPECT_EQ(third.runners, "2 coureurs");
    EXPECT_EQ(third.bib, "8");  // 10:31 beats 10:40
    SetLanguage(Language::English);
    EXPECT_EQ(rules.RowTexts(rules.Rows()[0]).runners, "2 runners");
}

TEST_F(DetectionsRulesTest, ExportWritesTheSelectedPassingsWithTheSingleHandicap) {
    DetectionsExportRules rules;
    rules.Open(Values(), ThreeDetectors());
    std::string message;
    ASSERT_TRUE(rules.Filter(message));
    RecalageRules recalage = rules.Recalage(1);
    EXPECT_EQ(recalage.Passing(), 2);
    EXPECT_EQ(recalage.Bib(), "8");
    std::string warning;
    ASSERT_TRUE(recalage.Accept("00:19:00.00", warning));
    rules.SetHandicap(recalage.Handicap());
    rules.Values().displayType = DisplayType::PassingTime;

    test::RecordingUploads uploads;
    InstallExportUploads(&uploads);
    rules.Values().ftp = true;
    EXPECT_FALSE(rules.Export({1}, "", message));
    EXPECT_EQ(message, "Paramètres FTP non définis !");
    const auto outcome = rules.Export({2, 0}, "ftp.example", message);
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(outcome->created, (std::vector<std::string>{folder / "export-3.qox", folder / "export-1.qox"}));
    EXPECT_EQ(uploads.settingsFiles, outcome->created);
    EXPECT_EQ(ReadFile(folder / "export-3.qox"),
              "1\t31\t8\t1\t00:31:00.00\t1\r\n"
              "2\t33\t5\t1\t00:40:00.00\t1\r\n");

    rules.Close();
    EXPECT_EQ(setting::DetectionsHandicap.Read(), "10:00:00.00");
    EXPECT_EQ(DetectionsExportRules::FtpTooltip(""), "Paramètres FTP non définis !");
    EXPECT_EQ(DetectionsExportRules::FtpTooltip("ftp.example"), "Transfert vers ftp.example");
    rules.ResetHandicap();
    EXPECT_FALSE(rules.Values().handicap.IsSet());
}

}  // namespace
}  // namespace lv
