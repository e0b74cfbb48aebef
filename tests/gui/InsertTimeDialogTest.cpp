#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include "WindowFixture.h"
#include "gui/DetectionsModel.h"
#include "gui/InsertTimeDialog.h"

namespace lv {
namespace {

using test::WindowFixture;

constexpr const char* kOneBox = "[TarvexBoxes]\r\nBoxHost0=10.0.0.1\r\nBoxPort0=3601\r\nBoxIdDetector0=31\r\n"
                                "BoxHost2=10.0.0.3\r\nBoxPort2=3601\r\nBoxIdDetector2=15\r\n"
                                "[Settings]\r\nBLogDetections=1\r\n";

class InsertTimeDialogTest : public WindowFixture {
protected:
    std::unique_ptr<InsertTimeDialog> Open() {
        EXPECT_TRUE(controller->CanInsertManualTime());
        return std::make_unique<InsertTimeDialog>(*controller, controller->OpenManualInsertion(), window.get());
    }
};

TEST_F(InsertTimeDialogTest, OpensWithTheDeclaredDetectorsAndThePresentTime) {
    Start(Language::French, kOneBox);
    auto dialog = Open();
    ASSERT_EQ(dialog->DetectorCombo()->count(), 2);
    EXPECT_EQ(dialog->DetectorCombo()->itemText(1).toStdString(), "15");
    EXPECT_EQ(dialog->DetectorCombo()->currentIndex(), 0);
    EXPECT_TRUE(dialog->BibEdit()->text().isEmpty());
    EXPECT_EQ(dialog->TimeEdit()->text().size(), 11);  // HH:MM:SS.hh
    EXPECT_EQ(dialog->windowTitle().toStdString(), "Saisie manuelle de dossard");
    auto* label = dialog->findChild<QLabel*>("insertTime");
    EXPECT_EQ(label->text().toStdString().rfind("Insertion du temps : ", 0), 0u);
}

TEST_F(InsertTimeDialogTest, BibMustBeAPositiveNumber) {
    Start(Language::French, kOneBox);
    auto dialog = Open();
    for (const char* bad : {"0", "-3", "abc", ""}) {
        dialog->BibEdit()->setText(bad);
        dialog->accept();
        ASSERT_FALSE(messages.messages.empty()) << bad;
        EXPECT_EQ(messages.messages.back(), "Dossard vide ou invalide !") << bad;
        EXPECT_TRUE(dialog->BibEdit()->text().isEmpty()) << bad;
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
    }
    dialog->BibEdit()->setText(" 42 ");
    dialog->accept();
    EXPECT_EQ(messages.messages.size(), 4u);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(dialog->Entry().bib, 42);
    EXPECT_EQ(dialog->Entry().label, "42");
    EXPECT_EQ(dialog->Entry().detector, "31");
}

TEST_F(InsertTimeDialogTest, TimeAndDetectorAreChecked) {
    Start(Language::English);  // no box declared
    auto dialog = Open();
    EXPECT_EQ(dialog->DetectorCombo()->count(), 0);
    dialog->BibEdit()->setText("7");
    dialog->TimeEdit()->setText("noon");
    dialog->accept();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Time is empty or invalid!");
    EXPECT_EQ(dialog->BibEdit()->text().toStdString(), "7");  // kept

    dialog->TimeEdit()->setText("10:00:00.00");
    dialog->accept();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1], "No Detector Id.!");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(InsertTimeDialogTest, CorrectionLabelFollowsTheCombo) {
    Start(Language::English, kOneBox);
    auto dialog = Open();
    dialog->show();
    dialog->CorrectionCombo()->setCurrentIndex(2);
    EXPECT_TRUE(dialog->CorrectionLabel()->isVisible());
    EXPECT_EQ(dialog->CorrectionLabel()->text().toStdString(), "+48h");
    dialog->CorrectionCombo()->setCurrentIndex(0);
    EXPECT_FALSE(dialog->CorrectionLabel()->isVisible());
}

TEST_F(InsertTimeDialogTest, AcceptedEntryIsRecordedShownAndCounted) {
    Start(Language::French, kOneBox);
    auto dialog = Open();
    dialog->BibEdit()->setText("7");
    dialog->TimeEdit()->setText("01:30:00.00");
    dialog->DetectorCombo()->setCurrentIndex(1);
    dialog->CorrectionCombo()->setCurrentIndex(2);
    dialog->accept();
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    controller->RecordManualEntry(dialog->Entry());
    loop.pumpUntil([&] { return window->Detections().rowCount() == 1; });
    const CQoxResult* record = window->Detections().Record(0);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->timeText, "49:30:00.00");
    EXPECT_EQ(record->boxName, "15");
    EXPECT_NE(window->Detections().Item(0).line.find("Man."), std::string::npos);
    EXPECT_EQ(window->findChild<QLabel*>("counter")->text().toStdString(), "1 détection enregistrée");

    // The detector chosen is offered first next time.
    EXPECT_EQ(Open()->DetectorCombo()->currentIndex(), 1);
}

TEST_F(InsertTimeDialogTest, WithoutNumbersOrChipTableTheWindowRefuses) {
    withChipTable = false;
    Start(Language::French, "[Settings]\r\nGTarvexSendNumbers=0\r\n");
    window->OpenManualInsertion();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0],
              "Aucune table de correspondance n'a pu être chargée.\nVous ne pouvez saisir des temps manuellement...");
}

}  // namespace
}  // namespace lv
