// The import dialog's window: a search read off the UI thread with its progress and
// cancel, the count and buttons, the time menus, and the main window's import of the
// outcome into the running list.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressDialog>
#include <QPushButton>
#include <QToolButton>

#include "WindowFixture.h"
#include "core/DetectionTable.h"
#include "gui/ImportDialog.h"
#include "import/ImportTestSupport.h"

namespace lv {
namespace {

using test::WindowFixture;

class ImportDialogTest : public WindowFixture {
protected:
    std::unique_ptr<ImportDialog> Open(ImportSourceHooks hooks = {}) {
        auto dialog = std::make_unique<ImportDialog>(std::move(hooks), window.get());
        dialog->show();
        return dialog;
    }

    void WritePassings(int count) {
        std::string content = "GMark-20240512093000 Wave 1\n";
        for (int i = 0; i < count; ++i) {
            content += test::DetectionLine(i, "C" + std::to_string(i % 500), "2024-05-12",
                                           fmt::format("10:{:02d}:{:02d}.000", (i / 60) % 60, i % 60)) + "\n";
        }
        test::WriteFile(folder / "passings.txt", content);
    }

    void Fill(ImportDialog& dialog) {
        dialog.InputEdit()->setText(QString::fromStdString(folder / "passings.txt"));
        dialog.DateEdit()->setDate(QDate(2024, 5, 12));
        dialog.StartEdit()->setText("09:00:00");
        dialog.EndEdit()->setText("12:00:00");
    }

    bool WaitSearch(ImportDialog& dialog) {
        QElapsedTimer timer;
        timer.start();
        while (dialog.Searching() || dialog.findChild<QProgressDialog*>("searchProgress")) {
            if (timer.elapsed() > 20000) return false;
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        return true;
    }
};

TEST_F(ImportDialogTest, ASearchFillsTheCountAndLogAndTheButtonsWaitForABoxId) {
    Start(Language::English);
    WritePassings(1000);
    auto dialog = Open();
    EXPECT_FALSE(dialog->ImportButton()->isEnabled());
    Fill(*dialog);
    dialog->Search();
    ASSERT_TRUE(WaitSearch(*dialog));
    EXPECT_EQ(dialog->CountLabel()->text(), "1000");
    ASSERT_GT(dialog->LogList()->count(), 3);
    EXPECT_EQ(dialog->LogList()->item(0)->text().toStdString(),
              "Import Tarvex detections from file " + (folder / "passings.txt"));
    EXPECT_EQ(dialog->LogList()->item(dialog->LogList()->count() - 1)->text(), "+++ Parsing Tarvex detections file done");
    EXPECT_FALSE(dialog->SaveButton()->isEnabled());
    dialog->BoxIdCombo()->setCurrentIndex(3);  // "12     "
    EXPECT_TRUE(dialog->SaveButton()->isEnabled());
    dialog->CorrectionCombo()->setCurrentIndex(1);
    EXPECT_EQ(dialog->CorrectionLabel()->text(), "+24h");

    // The marker of the file is offered in the time menus.
    dialog->ChooseTime(false, 0);
    EXPECT_EQ(dialog->EndEdit()->text(), "09:30:00");
    dialog->ChooseTime(true, 0);
    EXPECT_EQ(dialog->StartEdit()->text(), "00:00:00");

    messages.answers.push_back(true);  // the merge question
    dialog->Import();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    ImportDialogResult result = dialog->TakeResult();
    EXPECT_EQ(result.code, 16);
    EXPECT_EQ(result.boxId, "12");
    EXPECT_EQ(result.correction, 1);
    EXPECT_EQ(result.detections.size(), 1000u);

    controller->HandleImportResult(std::move(result));
    QElapsedTimer timer;
    timer.start();
    while (controller->ImportBusy() && timer.elapsed() < 20000) QApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(DetectionTable::Instance().CountActive(), 1000);
}

TEST_F(ImportDialogTest, ACancelledSearchOffersWhatItFound) {
    Start(Language::English);
    WritePassings(300000);
    auto dialog = Open();
    Fill(*dialog);
    dialog->BoxIdCombo()->setCurrentIndex(0);
    dialog->Search();
    auto* progress = dialog->findChild<QProgressDialog*>("searchProgress");
    ASSERT_NE(progress, nullptr);
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    ASSERT_TRUE(WaitSearch(*dialog));
    EXPECT_FALSE(dialog->LogList()
                     ->findItems("* Reading cancelled: the detections read so far are kept", Qt::MatchExactly)
                     .isEmpty());
    // Whatever was read before the cancel is counted and can be imported.
    const int count = dialog->CountLabel()->text().toInt();
    EXPECT_GT(count, 0);
    EXPECT_LT(count, 300000);
    EXPECT_EQ(dialog->ImportButton()->isEnabled(), count > 0);
}

TEST_F(ImportDialogTest, TheSearchRefusesBadTimesAndAMissingFileAndTheSourceMenuWaitsForTheExplorer) {
    Start(Language::French);
    auto dialog = Open();
    dialog->StartEdit()->setText("25:61:00");
    dialog->Search();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Heure de début invalide !");
    dialog->StartEdit()->setText("09:00:00");
    dialog->InputEdit()->setText(QString::fromStdString(folder / "none.txt"));
    dialog->Search();
    EXPECT_EQ(messages.messages.back(), "Le fichier à importer est vide ou n'existe pas\n" + (folder / "none.txt"));
    EXPECT_FALSE(dialog->Searching());

    // Without the explorer, its entries are offered disabled; with it, its file is taken.
    ChooseInNextMenu("Récupération des détections Tarvex des boîtiers");
    dialog->findChild<QToolButton*>("sourceButton")->click();
    ASSERT_EQ(menuEntries.size(), 4u);
    EXPECT_TRUE(menuEntries[0].enabled);
    EXPECT_FALSE(menuEntries[1].enabled);
    EXPECT_FALSE(menuEntries[3].enabled);

    ImportSourceHooks hooks;
    bool cloudFails = false;
    hooks.exploreFiles = [&](QWidget*, bool cloud, std::string& logLine) {
        if (cloud && cloudFails) {
            logLine = "$$$ Error -2: token refused";
            return std::string();
        }
        return cloud ? std::string("/cloud.txt") : folder / "TX_1.txt";
    };
    auto withExplorer = Open(hooks);
    withExplorer->ChooseSource(CDlgImportTarvex::SourceEntry::BoxFiles);
    EXPECT_EQ(withExplorer->InputEdit()->text().toStdString(), folder / "TX_1.txt");
    withExplorer->ChooseSource(CDlgImportTarvex::SourceEntry::CloudFiles);
    EXPECT_EQ(withExplorer->InputEdit()->text(), "/cloud.txt");
    // A failed cloud request is said in the dialog's own log, where the user looks.
    cloudFails = true;
    withExplorer->ChooseSource(CDlgImportTarvex::SourceEntry::CloudFiles);
    EXPECT_EQ(withExplorer->LogList()->item(withExplorer->LogList()->count() - 1)->text(), "$$$ Error -2: token refused");
    EXPECT_EQ(withExplorer->InputEdit()->text(), "/cloud.txt");
}

}  // namespace
}  // namespace lv
