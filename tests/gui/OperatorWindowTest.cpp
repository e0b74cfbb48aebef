// The window under stress at a finish line: what each box shows, the alerts that cannot
// be missed, the default answers and keys, a window that does not move under the
// operator's hand, one language, the clock.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QFontMetrics>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <QToolButton>

#include <algorithm>
#include <chrono>
#include <functional>

#include "WindowFixture.h"
#include "base/Log.h"
#include "support/GivenDetection.h"
#include "support/LoopbackSockets.h"
#include "app/BoxWatch.h"
#include "core/DetectionRecords.h"
#include "core/DetectionTable.h"
#include "gui/ConfigDialog.h"
#include "gui/DetectionsModel.h"
#include "gui/MessageBoxes.h"
#include "gui/Translations.h"

namespace lv {
namespace {

using test::LanguageScope;
using test::WindowFixture;

constexpr const char* kOneBox = "[TarvexBoxes]\r\nBoxHost0=127.0.0.1\r\nBoxPort0=9\r\nBoxIdDetector0=31\r\n"
                                "[Settings]\r\nGBoxReconnectSeconds=0\r\n";

class OperatorWindowTest : public WindowFixture {
protected:
    QWidget* ButtonsColumn() { return Find<QLabel>("counter")->parentWidget(); }
    // The window as a 1280×720 laptop leaves it (title bar and panel taken).
    void LaptopSize() {
        window->resize(1264, 680);
        QApplication::processEvents();
    }
    // Shown, and wholly inside the window.
    bool ShownInside(QWidget* widget) {
        const QRect area(widget->mapTo(window.get(), QPoint(0, 0)), widget->size());
        return widget->isVisible() && window->rect().contains(area);
    }
    bool PumpUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(10)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        loop.pumpUntil([&] { return done() || std::chrono::steady_clock::now() > until; });
        return done();
    }
};

TEST_F(OperatorWindowTest, QuestionBoxesAnswerNoOnEnterAndOnEscape) {
    std::unique_ptr<QMessageBox> box = MakeYesNoBox(nullptr, "Quit?", false);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
    std::unique_ptr<QMessageBox> yes = MakeYesNoBox(nullptr, "Read?", true);
    EXPECT_EQ(yes->defaultButton(), yes->button(QMessageBox::Yes));
    EXPECT_EQ(yes->escapeButton(), yes->button(QMessageBox::No));
}

TEST_F(OperatorWindowTest, EscapeNeverLeadsToTheExitAndDangerousQuestionsDefaultToNo) {
    Start(Language::English, kOneBox);
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &escape);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(messages.questions.empty());
    EXPECT_TRUE(window->isVisible());

    Find<QPushButton>("exit")->click();
    Find<QPushButton>("reset")->click();
    controller->ConfirmDisconnectBox(0);
    ASSERT_EQ(messages.questions.size(), 3u);
    EXPECT_EQ(messages.questions[0], "Do you really want to exit the acquisition module ?");
    for (bool defaultYes : messages.questionDefaultYes) EXPECT_FALSE(defaultYes);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(OperatorWindowTest, MainCommandsHaveKeysShownInTheirTooltips) {
    Start(Language::English);
    EXPECT_EQ(Find<QPushButton>("connect")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_B));
    EXPECT_EQ(Find<QPushButton>("insert")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_I));
    EXPECT_EQ(Find<QPushButton>("export")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_E));
    EXPECT_TRUE(Find<QPushButton>("connect")->toolTip().endsWith("(Ctrl+B)")) << Find<QPushButton>("connect")->toolTip().toStdString();
    EXPECT_TRUE(Find<QPushButton>("insert")->toolTip().contains("Ctrl+I"));
    EXPECT_TRUE(Find<QPushButton>("export")->toolTip().contains("Ctrl+E"));
}

TEST_F(OperatorWindowTest, EachBoxShowsItsReadsAndALostBoxRaisesABannerUntilSeen) {
    Start(Language::English, kOneBox);
    auto* activity = Find<QLabel>("boxActivity1");
    EXPECT_EQ(activity->text().toStdString(), "0\n-");
    EXPECT_EQ(Find<QLabel>("boxActivity2")->text().toStdString(), "");
    window->SetBoxActivity(0, DescribeBoxActivity(true, 246, 12));
    EXPECT_EQ(activity->text().toStdString(), "246\n12 s");
    EXPECT_EQ(activity->toolTip().toStdString(), "246 reads, the last one 12 s ago");

    auto* banner = Find<QWidget>("lostBoxAlert");
    EXPECT_FALSE(banner->isVisible());
    controller->OnBoxState(1, true);
    QApplication::processEvents();
    EXPECT_TRUE(banner->isVisible());
    const std::string text = Find<QLabel>("lostBoxAlertText")->text().toStdString();
    EXPECT_EQ(text.rfind("Box 1 [1:9 31] lost since ", 0), 0u) << text;
    EXPECT_NE(text.find("no reconnection attempt now"), std::string::npos);
    // Counters refreshing every second keep it.
    controller->RefreshCountersNow();
    controller->ShowBoxActivity();
    EXPECT_TRUE(banner->isVisible());
    Find<QPushButton>("dismissLostBoxAlert")->click();
    EXPECT_FALSE(banner->isVisible());
}

TEST_F(OperatorWindowTest, ALostBoxBandOffersReconnectNow) {
    Start(Language::English, kOneBox);
    LaptopSize();
    controller->OnBoxState(1, true);
    QApplication::processEvents();
    auto* reconnect = Find<QPushButton>("reconnectLostBoxes");
    EXPECT_EQ(reconnect->text().toStdString(), "Reconnect now");
    EXPECT_TRUE(ShownInside(reconnect));
    // Its attempts were over (no automatic reconnection): a new round starts at once.
    reconnect->click();
    const auto lines = Logger::Instance().WindowLines();
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& line) {
                                return line.find("+ Box 1 [1:9 31] : reconnection asked by the operator") !=
                                       std::string::npos;
                            }),
              1);
    EXPECT_TRUE(messages.messages.empty()) << "no modal box over the results";
    controller->DisconnectAllBoxes();
}

TEST_F(OperatorWindowTest, TheLostTimingApplicationIsABandWithReconnectNowAndTheWindowReconnectsByItself) {
    test::LoopbackPeer peer;
    Start(Language::French, "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(peer.Port()) +
                                "\r\nReconnectSeconds=10\r\n");
    LaptopSize();
    auto logHas = [](const std::string& text) {
        const auto lines = Logger::Instance().WindowLines();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    };
    controller->SwitchLink(true);
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(PumpUntil([&] { return window->LinkState() == LinkVisualState::Connected; }));
    auto* band = Find<QWidget>("linkLostAlert");
    EXPECT_FALSE(band->isVisible());

    // Lost: the window connects again by itself, without a click.
    peer.CloseClient();
    ASSERT_TRUE(PumpUntil([&] { return logHas("######## Perte de connexion directe à Quillet-Pro !"); }));
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(PumpUntil([&] { return logHas("+++ Connexion directe à Quillet-Pro rétablie"); }));
    EXPECT_TRUE(PumpUntil([&] { return window->LinkState() == LinkVisualState::Connected; }));
    EXPECT_FALSE(band->isVisible());

    // Lost and not back: the band, never a modal box over the results.
    peer.CloseClient();
    peer.CloseListener();
    ASSERT_TRUE(PumpUntil([&] { return band->isVisible(); }));
    EXPECT_TRUE(messages.messages.empty()) << "no modal box over the results";
    const std::string text = Find<QLabel>("linkLostAlertText")->text().toStdString();
    EXPECT_NE(text.find("Perte de connexion directe à Quillet-Pro ! Reconnexion toutes les 10 s."), std::string::npos)
        << text;
    auto* reconnect = Find<QPushButton>("reconnectLink");
    EXPECT_EQ(reconnect->text().toStdString(), "Reconnecter maintenant");
    EXPECT_TRUE(ShownInside(reconnect));
    reconnect->click();
    EXPECT_TRUE(logHas("+ Reconnexion à Quillet-Pro demandée par l'opérateur"));
    // Switched off on purpose: nothing more to tell.
    controller->SwitchLink(false);
    EXPECT_FALSE(band->isVisible());
}

TEST_F(OperatorWindowTest, QuittingWithDetectionsNotYetSentSaysHowManyAndAsksWithNo) {
    Start(Language::English, "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" +
                                 std::to_string(test::LoopbackPeer::FreePort()) + "\r\nReconnectSeconds=60\r\n");
    LaptopSize();
    controller->SwitchLink(true);
    controller->Recorder().Record(test::GivenDetection("12", "31", CChrono(1760000000, 0), CChrono(36000, 70)));
    Find<QPushButton>("exit")->click();
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0],
              "1 detection(s) not yet sent to Quillet-Pro.\nDo you really want to exit the acquisition module ?");
    EXPECT_FALSE(messages.questionDefaultYes[0]);
    EXPECT_TRUE(window->isVisible());
    controller->SwitchLink(false);
}

TEST_F(OperatorWindowTest, TheUsbBoxMaintenanceCommandsAreInASubmenuAndASilentBoxLooksApart) {
    Start(Language::English, "[TarvexBoxes]\r\nBoxHost0=COM7\r\nBoxPort0=19200\r\nBoxIdDetector0=31\r\n");
    ChooseInNextMenu("none");
    window->ShowBoxMenu(0, QPoint(10, 10));
    std::vector<std::string> entries;
    for (const MenuEntry& entry : menuEntries) entries.push_back(entry.text);
    EXPECT_NE(std::find(entries.begin(), entries.end(), "USBbox: maintenance"), entries.end());
    for (const char* maintenance : {"USBbox:RESET", "USBbox:EPOCHREFSET", "USBbox:EPOCHREFADJ1D"}) {
        EXPECT_EQ(std::find(entries.begin(), entries.end(), maintenance), entries.end()) << maintenance;
    }

    auto* activity = Find<QLabel>("boxActivity1");
    window->SetBoxActivity(0, DescribeBoxActivity(true, 0, -1));
    const QString reading = activity->styleSheet();
    window->SetBoxActivity(0, DescribeBoxActivity(true, 0, -1, 130));
    EXPECT_NE(activity->styleSheet(), reading);
    EXPECT_EQ(activity->toolTip().toStdString().rfind("Connected, nothing read for 2 min", 0), 0u);
}

TEST_F(OperatorWindowTest, AnAlertOfOneMomentIsABandNotAMessageBoxAndKeepsTheLatestThree) {
    Start(Language::English);
    auto* band = Find<QWidget>("operatorAlert");
    EXPECT_FALSE(band->isVisible());
    for (int i = 1; i <= 4; ++i) window->ShowOperatorAlert("alert " + std::to_string(i));
    QApplication::processEvents();
    EXPECT_TRUE(band->isVisible());
    EXPECT_TRUE(messages.messages.empty()) << "no modal box over the results";
    const std::string text = Find<QLabel>("operatorAlertText")->text().toStdString();
    EXPECT_EQ(text.find("alert 1"), std::string::npos) << text;
    EXPECT_LT(text.find("alert 4"), text.find("alert 2")) << "the latest first: " << text;
    Find<QPushButton>("dismissOperatorAlert")->click();
    EXPECT_FALSE(band->isVisible());
    window->ShowOperatorAlert("alert 5");
    EXPECT_EQ(Find<QLabel>("operatorAlertText")->text().toStdString().find("alert 4"), std::string::npos);
}

TEST_F(OperatorWindowTest, WhatWaitsForTheTimingApplicationAndTheJournalCannotBeMissed) {
    Start(Language::French);
    auto* backlog = Find<QLabel>("backlog");
    EXPECT_EQ(backlog->text().toStdString(), "0");
    window->ShowForwardingBacklog(37);
    EXPECT_EQ(backlog->text().toStdString(), "37");
    EXPECT_TRUE(backlog->styleSheet().contains("background"));
    window->ShowForwardingBacklog(0);
    EXPECT_FALSE(backlog->styleSheet().contains("background"));

    auto* journal = Find<QWidget>("journalAlert");
    EXPECT_FALSE(journal->isVisible());
    window->ShowJournalPending(5);
    EXPECT_TRUE(journal->isVisible());
    EXPECT_EQ(Find<QLabel>("journalAlertText")->text().toStdString().rfind(
                  "5 ligne(s) de détection pas encore écrite(s) dans le fichier de détections", 0),
              0u);
    window->ShowJournalPending(0);
    EXPECT_FALSE(journal->isVisible());
}

TEST_F(OperatorWindowTest, TheClockShowsTheComputersTimeWithTheProgramsOwnNames) {
    Start(Language::French);
    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_wday = 2;
    t.tm_hour = 10;
    t.tm_min = 42;
    t.tm_sec = 13;
    window->ShowClock(t);
    EXPECT_EQ(Find<QLabel>("clock")->text().toStdString(), "10:42:13");
    EXPECT_EQ(Find<QLabel>("clockDate")->text().toStdString(), "mardi 8 décembre 2026");
    // Larger than the window's text.
    EXPECT_GE(Find<QLabel>("clock")->font().pointSizeF(), window->font().pointSizeF() * 2);
}

TEST_F(OperatorWindowTest, TheButtonColumnKeepsItsWidthWhateverTheCounterSays) {
    Start(Language::French);
    QApplication::processEvents();
    QWidget* column = ButtonsColumn();
    auto* connect = Find<QPushButton>("connect");
    const int width = column->width();
    const QRect place = connect->geometry();
    for (const char* text : {"Aucune détection enregistrée", "1 détection enregistrée",
                             "246 détections enregistrées", "123456 détections enregistrées"}) {
        window->SetCounterText(text);
        QApplication::processEvents();
        EXPECT_EQ(column->width(), width) << text;
        EXPECT_EQ(connect->geometry(), place) << text;
    }
}

TEST_F(OperatorWindowTest, TheConfigurationWarningBlinksWithoutMovingOkAndCancel) {
    Start(Language::French, "[TarvexBoxes]\r\nBoxHost0=10.0.0.1\r\nBoxPort0=3601\r\nBoxIdDetector0=31\r\n");
    ConfigDialog dialog(*controller, window.get());
    dialog.show();
    QApplication::processEvents();
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    const QPoint before = buttons->mapTo(&dialog, QPoint(0, 0));
    dialog.DetectorCombo(0)->setCurrentIndex(5);  // an incompatible detector: the warning blinks
    ASSERT_TRUE(dialog.WarningShown());
    auto* warning = dialog.findChild<QLabel*>("warningText");
    for (int phase = 0; phase < 2; ++phase) {
        const bool shown = warning->isVisible();
        loop.pumpUntil([&] { return warning->isVisible() != shown; });
        QApplication::processEvents();
        EXPECT_EQ(buttons->mapTo(&dialog, QPoint(0, 0)), before) << "phase " << phase;
    }
    dialog.reject();
}

TEST_F(OperatorWindowTest, ScrollingPausesWhileADetectionIsSelected) {
    Start(Language::English, "[Settings]\r\nBScrollDetections=1\r\n");
    QListView& view = window->DetectionsView();
    auto add = [&](int from, int count) {
        for (int i = from; i < from + count; ++i) {
            CQoxResult* record = DetectionTable::Instance().AddResult(
                std::to_string(i), "31", CChrono(1760000000 + i, 0), CChrono(i, 0), false, false);
            window->AddDetectionLine(CDetectionItem{record, "line " + std::to_string(i)});
        }
        QApplication::processEvents();
    };
    add(0, 200);
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

    const QModelIndex chosen = window->Detections().index(190, 0);
    view.selectionModel()->select(chosen, QItemSelectionModel::ClearAndSelect);
    view.scrollTo(chosen);
    add(200, 300);
    // The selected line is still in view for the remove question.
    EXPECT_TRUE(view.viewport()->rect().intersects(view.visualRect(chosen)));
    EXPECT_LT(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());

    view.selectionModel()->clearSelection();
    QApplication::processEvents();
    EXPECT_EQ(view.verticalScrollBar()->value(), view.verticalScrollBar()->maximum());
}

TEST_F(OperatorWindowTest, TheWindowOpensInsideTheScreenAndFitsALaptop) {
    // Preferred size where there is room; the available area otherwise; never below
    // what the layout needs.
    EXPECT_EQ(MainWindow::FitInside(QSize(1360, 820), QSize(900, 600), QSize(1920, 1040)), QSize(1360, 820));
    EXPECT_EQ(MainWindow::FitInside(QSize(1360, 820), QSize(900, 600), QSize(1366, 728)), QSize(1350, 688));
    EXPECT_EQ(MainWindow::FitInside(QSize(1360, 820), QSize(900, 600), QSize(800, 560)), QSize(900, 600));
    for (Language language : {Language::French, Language::English}) {
        Start(language);
        // Usable on 1280×720, title bar and panel taken: 1264×680 at most.
        const QSize needed = window->minimumSizeHint();
        EXPECT_LE(needed.width(), 1280 - 16);
        EXPECT_LE(needed.height(), 720 - 40);
        controller.reset();
        window.reset();
    }
}

// On a 1280×720 laptop a French rank with its categories is read whole, and the
// detections list keeps its columns.
TEST_F(OperatorWindowTest, AFrenchRankFitsTheRunnersListOnALaptop) {
    Start(Language::French, kOneBox);
    LaptopSize();
    auto* summary = Find<QListView>("summary");
    const QFontMetrics metrics(summary->font());
    const int avg = metrics.averageCharWidth();
    // The columns before the rank (bib, name, time, info, each followed by one
    // character), then the rank itself.
    const int needed = avg * (1 + 5 + 1 + 25 + 1 + 10 + 1 + 4 + 1) +
                       metrics.horizontalAdvance(QString::fromUtf8("105ème - 37ème F - 9ème M1F"));
    // With room to spare for a wider font than this machine's (a laptop's own).
    EXPECT_GE(summary->viewport()->width(), needed * 115 / 100);
    EXPECT_GE(Find<QListView>("detections")->viewport()->width(), avg * 40);
}

TEST_F(OperatorWindowTest, BandsTakeTheirRoomFromTheListsNeverFromTheButtonsAndTheWindowNeverGrows) {
    for (Language language : {Language::French, Language::English}) {
        Start(language, kOneBox);
        LaptopSize();
        // Room to spare whatever the fonts: the commands scroll before the window grows.
        EXPECT_LE(window->minimumSizeHint().height(), 680 - 120);
        auto* exit = Find<QPushButton>("exit");
        auto* connect = Find<QPushButton>("connect");
        const QPoint exitPlace = exit->mapTo(window.get(), QPoint(0, 0));
        const QPoint connectPlace = connect->mapTo(window.get(), QPoint(0, 0));
        // Every band at once.
        controller->OnBoxState(1, true);
        window->ShowLinkLost(Tr("Direct connection to Quillet-Pro lost! Reconnecting every 15 s.",
                                "Perte de connexion directe à Quillet-Pro ! Reconnexion toutes les 15 s."));
        window->ShowOperatorAlert("alert");
        window->ShowJournalPending(3);
        window->ShowResumeNotice("resumed");
        QApplication::processEvents();
        EXPECT_EQ(window->size(), QSize(1264, 680));
        EXPECT_EQ(exit->mapTo(window.get(), QPoint(0, 0)), exitPlace);
        EXPECT_EQ(connect->mapTo(window.get(), QPoint(0, 0)), connectPlace);
        for (const char* name : {"exit", "help", "reconnectLink", "reconnectLostBoxes", "dismissLostBoxAlert"}) {
            EXPECT_TRUE(ShownInside(Find<QPushButton>(name))) << name;
        }
        controller.reset();
        window.reset();
    }
}

TEST_F(OperatorWindowTest, QtsOwnTextsSpeakTheProgramsLanguage) {
    QString error;
    ASSERT_TRUE(InstallQtTranslations(Language::French, error)) << error.toStdString();
    {
        std::unique_ptr<QMessageBox> box = MakeYesNoBox(nullptr, "?", false);
        EXPECT_EQ(box->button(QMessageBox::Yes)->text().remove('&').toStdString(), "Oui");
        EXPECT_EQ(box->button(QMessageBox::No)->text().remove('&').toStdString(), "Non");
    }
    ASSERT_TRUE(InstallQtTranslations(Language::English, error));
    std::unique_ptr<QMessageBox> box = MakeYesNoBox(nullptr, "?", false);
    EXPECT_EQ(box->button(QMessageBox::Yes)->text().remove('&').toStdString(), "Yes");
}

}  // namespace
}  // namespace lv
