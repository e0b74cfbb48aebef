// The two export dialogs as views: what they show from the table, their checks'
// messages, the re-alignment, and what closing stores.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <filesystem>

#include "WindowFixture.h"
#include "base/SettingsSchema.h"
#include "core/DetectionTable.h"
#include "gui/ExportDetectionsDialog.h"
#include "gui/ExportLinesDialog.h"
#include "gui/RecalageDialog.h"

namespace lv {
namespace {

using test::WindowFixture;

class ExportDialogsTest : public WindowFixture {
protected:
    void Record(const char* label, const char* detector, const char* time) {
        CChrono ofDay;
        ASSERT_TRUE(ofDay.ParseTime(time));
        DetectionTable::Instance().AddResult(label, detector, CChrono(1700000000, 0), ofDay, false, false);
    }
    void Race() {
        Record("12", "31", "10:00:00.00");
        Record("12", "31", "10:00:20.00");
        Record("12", "31", "10:05:00.00");
        Record("7", "32", "10:01:05.50");
    }
};

TEST_F(ExportDialogsTest, LinesDialogFiltersShowsRowsAndExports) {
    Start(Language::French);
    Race();
    CDlgExportDetectionLines dialog(window.get());
    EXPECT_EQ(dialog.DetectorList()->topLevelItemCount(), 0);  // empty until Filter
    EXPECT_EQ(dialog.DataToExport()->text().toStdString(), "aucune");
    EXPECT_FALSE(dialog.ExportButton()->isEnabled());

    // A valid Delta from the start; an emptied one is refused.
    EXPECT_EQ(dialog.DeltaEdit()->text(), "00:01:00");
    dialog.DeltaEdit()->setText("");
    dialog.Filter();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages.back(), "Temps invalide.\nLe format est 'hh:mn:ss' ou 'hh.mm.ss'");

    dialog.DeltaEdit()->setText("00:00:30");
    dialog.Filter();
    ASSERT_EQ(dialog.DetectorList()->topLevelItemCount(), 2);
    QTreeWidgetItem* first = dialog.DetectorList()->topLevelItem(0);
    EXPECT_EQ(first->text(0).toStdString(), "31");
    EXPECT_EQ(first->text(1).toStdString(), "2");
    EXPECT_EQ(first->text(2).toStdString(), "2");
    EXPECT_EQ(first->text(3).toStdString(), "10:00:00.00");
    EXPECT_EQ(dialog.DataToExport()->text().toStdString(), "3 fichiers de détections - Heures de détections");
    EXPECT_EQ(dialog.HandicapDisplay()->text().toStdString(), "...");
    EXPECT_FALSE(dialog.RealignButton()->isEnabled());

    first->setSelected(true);
    EXPECT_EQ(dialog.HandicapDisplay()->text().toStdString(), "00:00:00.00");
    EXPECT_TRUE(dialog.RealignButton()->isEnabled());
    messages.answers.push_back(true);
    dialog.ResetHandicap();
    EXPECT_EQ(messages.questions.back(), "Voulez vous vraiment remettre à 0 le handicap ?");
    // The rows are drawn again (their items are new): the selection stays on the detector.
    EXPECT_TRUE(dialog.DetectorList()->topLevelItem(0)->isSelected());

    dialog.findChild<QLineEdit*>("folder")->setText(QString::fromStdString(folder.Path()));
    dialog.ExportNow();
    ASSERT_EQ(messages.icons.back(), MessageIcon::Information);
    EXPECT_EQ(messages.messages.back().rfind("Export de données terminé.", 0), 0u);
    EXPECT_TRUE(std::filesystem::exists(folder / "export-31-2.qox"));

    dialog.findChild<QRadioButton*>("logica")->click();
    EXPECT_EQ(setting::LinesDisplayType.Read(), 2);
    dialog.reject();
    EXPECT_EQ(setting::LinesDelta.Read(), "00:00:30");
    EXPECT_EQ(setting::LinesExportPath.Read(), folder.Path());
}

TEST_F(ExportDialogsTest, RecalageKeepsTheDialogOpenUntilTheTimeReads) {
    Start(Language::French);
    CChrono clock;
    ASSERT_TRUE(clock.ParseTime("10:19:00.00"));
    CDlgRecalage dialog(RecalageRules(1, "8", clock, CChrono()));
    EXPECT_EQ(dialog.TimeEdit()->text().toStdString(), "10:19:00.00");
    dialog.TimeEdit()->setText("n'importe");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    ASSERT_EQ(messages.icons.back(), MessageIcon::Warning);
    dialog.TimeEdit()->setText("00:19:00");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Handicap().FormatHundredths(), "10:00:00.00");
}

TEST_F(ExportDialogsTest, DetectionsDialogCountsFiltersAndStores) {
    Start(Language::English);
    Race();
    CDlgExportDetections dialog(window.get());
    EXPECT_EQ(dialog.CountLabel()->text().toStdString(), "4 detections");
    // Opens with a Delta that filters.
    EXPECT_EQ(dialog.DeltaEdit()->text(), "00:01:00");
    dialog.DeltaEdit()->setText("00:00:30");
    dialog.Filter();
    ASSERT_EQ(dialog.PassingList()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.PassingList()->topLevelItem(0)->text(1).toStdString(), "2 runners");
    EXPECT_EQ(dialog.PassingList()->topLevelItem(1)->text(1).toStdString(), "1 runner");
    dialog.reject();
    EXPECT_EQ(setting::DetectionsDelta.Read(), "00:00:30");
}

}  // namespace
}  // namespace lv
