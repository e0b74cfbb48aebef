#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QToolButton>

#include "WindowFixture.h"
#include "base/TimerIds.h"
#include "base/Settings.h"
#include "core/Chrono.h"
#include "gui/DetectionsModel.h"
#include "gui/LineDelegates.h"
#include "gui/SoundPlayer.h"
#include "gui/SummaryModel.h"

#ifdef LUMIVANE_HAVE_NETWORK
#include <QLocalSocket>
#endif

#include "base/Environment.h"
#include "support/GivenDetection.h"

namespace lv {
namespace {

using test::WindowFixture;

class MainWindowTest : public WindowFixture {
protected:
    std::string Text(const char* name) { return Find<QWidget>(name)->property("text").toString().toStdString(); }

    // A detection recorded as a box thread would, with detection lines shown.
    const CQoxResult* Detect(const std::string& bib, int seconds) {
        controller->SetLogDetections(true);
        CChrono instant(1700000000 + seconds, 0);
        CChrono ofDay(36000 + seconds, 0);
        return controller->Recorder().Record(test::GivenDetection(bib, "31", instant, ofDay)).record;
    }

    void SelectRows(std::initializer_list<int> rows) {
        QListView& view = window->DetectionsView();
        view.selectionModel()->clearSelection();
        for (int row : rows)
            view.selectionModel()->select(view.model()->index(row, 0), QItemSelectionModel::Select);
    }
};

TEST_F(MainWindowTest, OpensWithItsControlsInFrench) {
    Start(Language::French);
    EXPECT_EQ(Text("exit"), "Quitter");
    EXPECT_EQ(Text("configuration"), "Configuration...");
    EXPECT_EQ(Text("connect"), "Connexion\naux boîtiers");
    EXPECT_EQ(Text("synchronise"), "Synchronisation\nheure boîtiers");
    EXPECT_EQ(Text("displayClocks"), "Voir heure\ndes boîtiers");
    EXPECT_EQ(Text("direct"), "Connexion directe\nà Quillet-Pro");
    EXPECT_EQ(Text("clearLog"), "<<<<<< Effacer ces traces");
    EXPECT_EQ(Text("clearDetections"), "^^^^^^ Effacer ces traces");
    EXPECT_EQ(Text("logLabel"), "Traces");
    EXPECT_EQ(Text("summaryLabel"), "Informations détections");
    EXPECT_EQ(Text("logDetections"), "Détections");
    EXPECT_EQ(Text("scrollDetections"), "Défilement");
    EXPECT_EQ(Text("counter"), "Aucune détection enregistrée");
    EXPECT_NE(Text("version").find("Version 1.50"), std::string::npos);
    auto* level = Find<QComboBox>("logLevel");
    EXPECT_EQ(level->currentText().toStdString(), " 50   [Moyen]");
    // No box connected: the clock buttons wait.
    EXPECT_FALSE(Find<QPushButton>("synchronise")->isEnabled());
    EXPECT_FALSE(Find<QPushButton>("displayClocks")->isEnabled());
    EXPECT_EQ(Find<QToolButton>("box1")->toolTip().toStdString(), "Boîtier non défini");
    EXPECT_EQ(window->BoxState(0), BoxVisualState::Undefined);
    EXPECT_FALSE(Find<QLabel>("dayOffset")->isVisible());
}

TEST_F(MainWindowTest, OpensWithItsControlsInEnglish) {
    Start(Language::English);
    EXPECT_EQ(Text("exit"), "Exit");
    EXPECT_EQ(Text("connect"), "Connect\nto boxes");
    EXPECT_EQ(Text("reset"), "Forget all recorded\ndetections!...");
    EXPECT_EQ(Text("logLabel"), "Logs");
    EXPECT_EQ(Text("summaryLabel"), "Detections information");
    EXPECT_EQ(Text("counter"), "No recorded detection");
    EXPECT_EQ(Find<QComboBox>("logLevel")->currentText().toStdString(), " 50   [Medium]");
    EXPECT_EQ(Find<QToolButton>("box4")->toolTip().toStdString(), "Box undefined");
}

TEST_F(MainWindowTest, DeclaredBoxShowsItsDescriptionAndState) {
    Start(Language::French, "[TarvexBoxes]\r\nBoxHost1=127.0.0.1\r\nBoxPort1=3601\r\nBoxIdDetector1=31\r\n"
                            "[Settings]\r\nLogWinLevel=75\r\n");
    EXPECT_EQ(window->BoxState(1), BoxVisualState::NotConnected);
    const std::string tip = Find<QToolButton>("box2")->toolTip().toStdString();
    EXPECT_EQ(tip.rfind("Boîtier 2 ", 0), 0u) << tip;
    EXPECT_NE(tip.find("\nBoîtier non connecté"), std::string::npos) << tip;
    EXPECT_EQ(Find<QComboBox>("logLevel")->currentText().toStdString(), " 75   [Fort]");
}

TEST_F(MainWindowTest, RemoveAndRestoreThroughTheMenuKeepLinesAndCount) {
    Start(Language::French);
    const CQoxResult* first = Detect("12", 0);
    const CQoxResult* second = Detect("13", 1);
    Detect("14", 2);
    loop.pumpUntil([&] { return window->Detections().rowCount() == 3; });
    EXPECT_EQ(Text("counter"), "3 détections enregistrées");

    SelectRows({0, 1});
    messages.answers = {true};
    ChooseInNextMenu("Supprimer les détections sélectionnées");
    window->ShowDetectionsMenu(QPoint(10, 10));
    ASSERT_EQ(menuEntries.size(), 5u);
    EXPECT_TRUE(menuEntries[0].enabled);   // remove
    EXPECT_FALSE(menuEntries[1].enabled);  // restore: nothing removed yet
    EXPECT_FALSE(menuEntries[2].enabled);  // correct the bib: one detection at a time
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0], "Supprimer ces 2 détections?");
    EXPECT_EQ(first->active, 0);
    EXPECT_EQ(second->active, 0);
    EXPECT_EQ(window->Detections().rowCount(), 3);  // the lines stay, marked
    EXPECT_EQ(Text("counter"), "1 détection enregistrée");

    SelectRows({1});
    messages.answers = {true};
    ChooseInNextMenu("Restaurer les détections sélectionnées");
    window->ShowDetectionsMenu(QPoint(10, 10));
    EXPECT_FALSE(menuEntries[0].enabled);
    EXPECT_TRUE(menuEntries[1].enabled);
    ASSERT_EQ(messages.questions.size(), 2u);
    EXPECT_EQ(messages.questions[1], "Restaurer la détection " + second->timeText + " du dossard 13 ?");
    EXPECT_EQ(second->active, 1);
    EXPECT_EQ(Text("counter"), "2 détections enregistrées");

    // Answering no changes nothing.
    SelectRows({2});
    messages.answers = {false};
    ChooseInNextMenu("Supprimer les détections sélectionnées");
    window->ShowDetectionsMenu(QPoint(10, 10));
    EXPECT_EQ(Text("counter"), "2 détections enregistrées");
}

// A detection under the wrong bib corrected from its menu; then the runner found by bib.
TEST_F(MainWindowTest, CorrectTheBibThenFindItInTheList) {
    Start(Language::English);
    const CQoxResult* wrong = Detect("12", 0);
    Detect("14", 1);
    loop.pumpUntil([&] { return window->Detections().rowCount() == 2; });

    SelectRows({0});
    messages.texts = {"21"};
    ChooseInNextMenu("Correct the bib...");
    window->ShowDetectionsMenu(QPoint(10, 10));
    ASSERT_EQ(messages.prompts.size(), 1u);
    EXPECT_NE(messages.prompts[0].find("of runner 12: the right bib"), std::string::npos) << messages.prompts[0];
    EXPECT_EQ(wrong->active, 0);
    loop.pumpUntil([&] { return window->Detections().rowCount() == 3; });
    EXPECT_TRUE(messages.messages.empty());

    messages.texts = {"21"};
    QKeyEvent find(QEvent::KeyPress, Qt::Key_F, Qt::ControlModifier);
    QApplication::sendEvent(window.get(), &find);
    const QModelIndexList selected = window->DetectionsView().selectionModel()->selectedRows();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(window->Detections().Record(selected[0].row())->label, "21");

    messages.texts = {"99"};
    QApplication::sendEvent(window.get(), &find);
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "No detection of runner 99");
}

TEST_F(MainWindowTest, ClearButtonsEmptyTheirWindowsWithTheDoneSound) {
    Start(Language::English);
    Detect("7", 0);
    window->AddSummaryItem(CSummaryItem{"Ann Lee", 7, "00:10:00", ".", "1st", 0});
    loop.pumpUntil([&] { return window->Detections().rowCount() == 1; });
    Find<QPushButton>("clearDetections")->click();
    EXPECT_EQ(window->Detections().rowCount(), 0);
    EXPECT_EQ(window->Sounds().LastRequested(), Sound::Done);
    Find<QPushButton>("clearSummary")->click();
    EXPECT_EQ(window->Summary().rowCount(), 0);
    // The detection itself is still recorded.
    EXPECT_EQ(Text("counter"), "1 detection recorded");
}

TEST_F(MainWindowTest, LogWindowFollowsItsLevel) {
    Start(Language::English);
    Log(0, "+ first line");
    Log(60, "too detailed for level 50");
    loop.pumpUntil([&] { return window->LogLines().rowCount() > 0; });
    QApplication::processEvents();
    bool seen = false;
    for (int i = 0; i < window->LogLines().rowCount(); ++i) {
        const std::string line = window->LogLines().index(i).data().toString().toStdString();
        EXPECT_EQ(line.find("too detailed"), std::string::npos);
        if (line.find("+ first line") != std::string::npos) seen = true;
    }
    EXPECT_TRUE(seen);

    auto* level = Find<QComboBox>("logLevel");
    level->setCurrentIndex(4);
    emit level->activated(4);
    EXPECT_EQ(controller->LogWindowLevel(), 100);
    EXPECT_EQ(ReadSettingInt("Settings", "LogWinLevel", 0), 100);

    Find<QPushButton>("clearLog")->click();
    EXPECT_EQ(window->LogLines().rowCount(), 0);
}

TEST_F(MainWindowTest, SwitchesAreStoredInTheSettings) {
    Start(Language::French);
    Find<QCheckBox>("logDetections")->click();
    EXPECT_TRUE(ReadSettingBool("Settings", "BLogDetections", false));
    EXPECT_TRUE(controller->LogDetectionsEnabled());
    Find<QCheckBox>("scrollDetections")->click();
    EXPECT_TRUE(ReadSettingBool("Settings", "BScrollDetections", false));
}

TEST_F(MainWindowTest, ConnectWithoutDeclaredBoxSaysSoAndStaysUp) {
    Start(Language::English);
    auto* connect = Find<QPushButton>("connect");
    connect->click();
    loop.pumpUntil([&] { return !messages.messages.empty(); });
    EXPECT_EQ(messages.messages[0], "No Tarvex box has been declared in your configuration !!!");
    EXPECT_FALSE(connect->isChecked());
}

TEST_F(MainWindowTest, ExitAsksAndEnterDoesNothing) {
    Start(Language::French);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(window.get(), &enter);
    EXPECT_TRUE(messages.questions.empty());

    messages.answers = {false};
    Find<QPushButton>("exit")->click();
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0], "Souhaitez vraiment quitter le module d'acquisition ?");
    EXPECT_TRUE(window->isVisible());

    // Closing the window asks the same.
    messages.answers = {false};
    window->close();
    EXPECT_EQ(messages.questions.size(), 2u);
    EXPECT_TRUE(window->isVisible());

    messages.answers = {true};
    Find<QPushButton>("exit")->click();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(MainWindowTest, HelpFileMissingAndAboutBox) {
    Start(Language::English);
    // A program folder with no guide beside it (the build folder has one).
    EnvironmentOptions environment;
    environment.programPath = folder / "bin/lumivane";
    environment.dataFolderOverride = folder.Path();
    InitialiseEnvironment(environment);
    window->OpenHelp();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0].rfind("Help file not found\n  ", 0), 0u);
    EXPECT_NE(messages.messages[0].find("Lumivane.pdf"), std::string::npos);
    window->ShowAbout();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_NE(messages.messages[1].find("1.50"), std::string::npos);
}

TEST_F(MainWindowTest, ConfigurationDialogOpensByItselfAfterStart) {
    GuiOptions options = QuietOptions();
    options.openConfigurationAtStart = true;
    Start(Language::English, {}, options);
    EXPECT_TRUE(loop.hasTimer(kTimerStartupConfig));
    bool opened = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            opened = modal->objectName() == "configDialog";
            qobject_cast<QDialog*>(modal)->reject();
        }
    });
    poll.start(5);
    loop.pumpUntil([&] { return opened; });
    EXPECT_FALSE(loop.hasTimer(kTimerStartupConfig));
}

#ifdef LUMIVANE_HAVE_NETWORK
TEST_F(MainWindowTest, AnotherProgramBringsTheWindowToTheFront) {
    GuiOptions options = QuietOptions();
    options.popFrontServer = true;
    Start(Language::English, {}, options);
    QLocalSocket socket;
    socket.connectToServer(QString::fromStdString(JoinPath(GetDataFolder(), kPopFrontServerName)));
    ASSERT_TRUE(socket.waitForConnected(5000));
    loop.pumpUntil([&] { return window->FrontRequests() == 1; });
    EXPECT_EQ(window->FrontRequests(), 1);
}
#endif

TEST_F(MainWindowTest, SoundsNeverStopTheWindowEvenWithoutAudioDevice) {
    SoundPlayer player(true);
    for (int resource : {132, 133, 134, 135, 163, 165, 166, 167, 168}) player.Play(static_cast<Sound>(resource));
    EXPECT_EQ(player.PlayRequests(), 9);
    EXPECT_EQ(player.LastRequested(), Sound::LinkDisconnected);
}

}  // namespace
}  // namespace lv
