// The window with a box connected to the decoder simulator on loopback.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "WindowFixture.h"
#include "boxes/BoxDeclarations.h"
#include "gui/ConfigDialog.h"
#include "gui/DetectionsModel.h"
#include "support/SimulatorProcess.h"

namespace lv {
namespace {

using test::WindowFixture;

class ConnectedBoxTest : public WindowFixture {
protected:
    void StartWithBox() {
        ASSERT_NE(decoder_.Port(), 0);
        Start(Language::French, "[TarvexBoxes]\r\nBoxHost0=127.0.0.1\r\nBoxPort0=" + std::to_string(decoder_.Port()) +
                                    "\r\nBoxIdDetector0=31\r\n[Settings]\r\nBLogDetections=1\r\n");
        connect_ = Find<QPushButton>("connect");
        connect_->click();
        // The boxes connect in the background; the window stays busy until then.
        loop.pumpUntil([&] { return !controller->IsBusy(); });
        ASSERT_TRUE(connect_->isChecked());
    }

    test::SimulatorProcess decoder_{"decoder", {"--rate", "20", "--runners", "5"}};
    QPushButton* connect_ = nullptr;
};

TEST_F(ConnectedBoxTest, ConnectedBoxShowsItsStateEnablesTheClocksAndItsDetectionsArrive) {
    StartWithBox();
    EXPECT_EQ(window->BoxState(0), BoxVisualState::Connected);
    EXPECT_NE(Find<QToolButton>("box1")->toolTip().toStdString().find("\nBoîtier connecté"), std::string::npos);
    EXPECT_TRUE(Find<QPushButton>("synchronise")->isEnabled());
    EXPECT_TRUE(Find<QPushButton>("displayClocks")->isEnabled());
    loop.pumpUntil([&] { return window->Detections().rowCount() >= 3; });
    EXPECT_NE(window->Detections().Record(0), nullptr);

    // Released, the button asks first; no keeps the boxes.
    messages.answers = {false};
    connect_->click();
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0], "Etes vous certain de vouloir vous déconnecter des boîtiers ?");
    EXPECT_TRUE(connect_->isChecked());
    EXPECT_EQ(window->BoxState(0), BoxVisualState::Connected);

    messages.answers = {true};
    connect_->click();
    EXPECT_FALSE(connect_->isChecked());
    EXPECT_EQ(window->BoxState(0), BoxVisualState::NotConnected);
    EXPECT_FALSE(Find<QPushButton>("synchronise")->isEnabled());
}

TEST_F(ConnectedBoxTest, DeclarationOfAConnectedBoxCannotChange) {
    StartWithBox();
    ConfigDialog dialog(*controller, window.get());
    EXPECT_FALSE(dialog.HostEdit(0)->isEnabled());
    EXPECT_FALSE(dialog.PortEdit(0)->isEnabled());
    EXPECT_FALSE(dialog.DetectorCombo(0)->isEnabled());
    EXPECT_TRUE(dialog.HostEdit(1)->isEnabled());
    dialog.HostEdit(0)->setText("COM3");
    dialog.PortEdit(0)->setText("9600");
    dialog.accept();
    EXPECT_TRUE(messages.messages.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(LoadBoxSettings(0).host, "127.0.0.1");
    EXPECT_EQ(LoadBoxSettings(0).port, decoder_.Port());
    EXPECT_TRUE(controller->BoxStatusOf(0).connected);
}

TEST_F(ConnectedBoxTest, BoxMenuOffersTheProtocolCommandsAndDisconnects) {
    StartWithBox();
    ChooseInNextMenu("Tarvex:SETPUSHPASSINGS;1;0");
    window->ShowBoxMenu(0, QPoint(0, 0));
    ASSERT_GE(menuEntries.size(), 8u);
    EXPECT_EQ(menuEntries[0].text, "Connexion");
    EXPECT_FALSE(menuEntries[0].enabled);
    EXPECT_EQ(menuEntries[1].text, "Déconnexion");
    EXPECT_TRUE(menuEntries[1].enabled);
    EXPECT_EQ(menuEntries[2].text, "Tarvex:STARTOPERATION");
    EXPECT_TRUE(menuEntries[2].enabled);
    EXPECT_EQ(menuEntries[7].text, "Explorer le contenu du boîtier");

    messages.answers = {true};
    ChooseInNextMenu("Déconnexion");
    window->ShowBoxMenu(0, QPoint(0, 0));
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_EQ(messages.questions[0], "Etes vous certain de vouloir vous déconnecter de ce boîtier ?");
    EXPECT_EQ(window->BoxState(0), BoxVisualState::NotConnected);
    EXPECT_FALSE(connect_->isChecked());

    // Not in use any more: Connect is offered, the protocol commands are not.
    ChooseInNextMenu("");
    window->ShowBoxMenu(0, QPoint(0, 0));
    EXPECT_TRUE(menuEntries[0].enabled);
    EXPECT_FALSE(menuEntries[2].enabled);
}

}  // namespace
}  // namespace lv
