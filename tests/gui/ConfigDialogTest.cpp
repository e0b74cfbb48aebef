#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

#include "WindowFixture.h"
#include "base/Settings.h"
#include "boxes/BoxDeclarations.h"
#include "boxes/TarvexBox.h"
#include "gui/ConfigDialog.h"

namespace lv {
namespace {

using test::WindowFixture;

class ConfigDialogTest : public WindowFixture {
protected:
    std::unique_ptr<ConfigDialog> Open() {
        auto dialog = std::make_unique<ConfigDialog>(*controller, window.get());
        dialog->show();
        return dialog;
    }
    static void SetRow(ConfigDialog& dialog, int slot, const char* host, const char* port, int detector = 0) {
        dialog.HostEdit(slot)->setText(host);
        dialog.PortEdit(slot)->setText(port);
        dialog.DetectorCombo(slot)->setCurrentIndex(detector);
    }
};

TEST_F(ConfigDialogTest, ComSpeedIsCheckedOnOk) {
    Start(Language::English);
    auto dialog = Open();
    SetRow(*dialog, 0, "COM3", "9600");
    dialog->accept();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "COM speed should be 19200...");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(Settings().ReadText("TarvexBoxes", "BoxHost0", ""), "") << "nothing stored on a refused OK";

    // Lower case passes the speed check and still names a serial port.
    SetRow(*dialog, 0, "com3", "9600");
    dialog->accept();
    EXPECT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    BoxDeclaration stored = LoadBoxSettings(0);
    EXPECT_EQ(stored.host, "com3");
    EXPECT_EQ(stored.port, 9600);
    EXPECT_TRUE(IsSerialHost(stored.host));
}

TEST_F(ConfigDialogTest, InvalidPortTextKeepsTheDialogOpen) {
    Start(Language::French);
    auto dialog = Open();
    SetRow(*dialog, 2, "10.0.0.9", "port");
    dialog->accept();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Port TCP/IP invalide !!!!");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

TEST_F(ConfigDialogTest, DirectConnectionRanges) {
    Start(Language::English);
    auto dialog = Open();
    dialog->LinkPortEdit()->setText("80");
    dialog->accept();
    ASSERT_EQ(messages.messages.size(), 1u);
    EXPECT_EQ(messages.messages[0], "Please enter an integer between 1024 and 99999.");
    EXPECT_EQ(dialog->result(), QDialog::Rejected);

    dialog->LinkPortEdit()->setText("1024");
    dialog->LinkReconnectEdit()->setText("200");
    dialog->accept();
    ASSERT_EQ(messages.messages.size(), 2u);
    EXPECT_EQ(messages.messages[1], "Please enter an integer between 10 and 180.");

    dialog->LinkReconnectEdit()->setText("180");
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(ReadSettingInt("DirectConnection", "Port", 0), 1024);
    EXPECT_EQ(ReadSettingInt("DirectConnection", "ReconnectSeconds", 0), 180);

    auto again = Open();
    again->LinkPortEdit()->setText("99999");
    again->accept();
    EXPECT_EQ(again->result(), QDialog::Accepted);
    EXPECT_EQ(ReadSettingInt("DirectConnection", "Port", 0), 99999);
}

TEST_F(ConfigDialogTest, UnmatchedReconnectionValueSelectsThirtySeconds) {
    Start(Language::French, "[Settings]\r\nGBoxReconnectSeconds=45\r\n");
    auto dialog = Open();
    EXPECT_EQ(dialog->ReconnectCombo()->currentIndex(), 1);
    EXPECT_EQ(dialog->ReconnectCombo()->currentText().toStdString(), "Essayer de se reconnecter pendant 30s");
    dialog->accept();
    EXPECT_EQ(ReadSettingInt("Settings", "GBoxReconnectSeconds", 0), 30);
}

TEST_F(ConfigDialogTest, IncompatibilityWarningBlinksForOtherDetectors) {
    Start(Language::French, "[TarvexBoxes]\r\nBoxHost0=10.0.0.1\r\nBoxPort0=3601\r\nBoxIdDetector0=C31\r\n"
                            "BoxHost1=10.0.0.2\r\nBoxPort1=3601\r\nBoxIdDetector1=31\r\n");
    auto dialog = Open();
    auto* warning = dialog->findChild<QLabel*>("warningText");
    EXPECT_FALSE(dialog->WarningShown());
    EXPECT_FALSE(warning->isVisible());
    EXPECT_EQ(dialog->DetectorCombo(0)->currentText().toStdString(), "C31");

    dialog->DetectorCombo(1)->setCurrentIndex(5);  // detector 14
    EXPECT_TRUE(dialog->WarningShown());
    EXPECT_EQ(warning->text().toStdString(), "Cette configuration est incompatible avec Quillet Classic !");
    // It blinks.
    const bool first = warning->isVisible();
    loop.pumpUntil([&] { return warning->isVisible() != first; });

    dialog->DetectorCombo(1)->setCurrentIndex(0);
    EXPECT_FALSE(dialog->WarningShown());
    EXPECT_FALSE(warning->isVisible());

    // OK keeps the unlisted C31.
    dialog->accept();
    EXPECT_EQ(LoadBoxSettings(0).detectorId, "C31");
}

TEST_F(ConfigDialogTest, EmptyRowLeavesTheSlotUndefinedAndItsDetectorDisabled) {
    Start(Language::English, "[TarvexBoxes]\r\nBoxHost3=10.0.0.4\r\nBoxPort3=3601\r\n");
    auto dialog = Open();
    EXPECT_FALSE(dialog->DetectorCombo(0)->isEnabled());
    EXPECT_TRUE(dialog->DetectorCombo(3)->isEnabled());
    SetRow(*dialog, 3, "", "");
    EXPECT_FALSE(dialog->DetectorCombo(3)->isEnabled());
    dialog->accept();
    controller->OnConfigurationClosed();
    EXPECT_FALSE(LoadBoxSettings(3).IsConfigured());
    EXPECT_EQ(window->BoxState(3), BoxVisualState::Undefined);
}

TEST_F(ConfigDialogTest, OkDeclaresTheBoxesAndStoresEverything) {
    Start(Language::English);
    auto dialog = Open();
    SetRow(*dialog, 1, " 127.0.0.1 ", "3601", 2);
    dialog->findChild<QComboBox*>("longRace")->setCurrentIndex(2);
    dialog->findChild<QCheckBox*>("beepWhenQuit")->setChecked(false);
    dialog->accept();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    controller->OnConfigurationClosed();
    BoxDeclaration stored = LoadBoxSettings(1);
    EXPECT_EQ(stored.host, "127.0.0.1");
    EXPECT_EQ(stored.port, 3601);
    EXPECT_EQ(stored.detectorId, "11");
    EXPECT_EQ(ReadSettingInt("Settings", "GDaysToAdd", -1), 2);
    EXPECT_FALSE(ReadSettingBool("Settings", "GTarvexBeepWhenQuit", true));
    EXPECT_TRUE(controller->BoxStatusOf(1).configured);
    EXPECT_EQ(window->BoxState(1), BoxVisualState::NotConnected);
}

TEST_F(ConfigDialogTest, AdvancedDialogRestoresFactoryValuesAndStoresThem) {
    Start(Language::English, "[Settings]\r\nGTarvexIgnoreInputMsDelta=900\r\nGTarvexReadMsDelta=9\r\n");
    AdvancedConfigDialog dialog(*controller);
    EXPECT_EQ(dialog.Values().ignoreInputMsDelta, 900);
    EXPECT_EQ(dialog.Values().readMsDelta, 9);
    dialog.findChild<QPushButton*>("factorySettings")->click();
    EXPECT_EQ(dialog.Values().ignoreInputMsDelta, 50);
    EXPECT_EQ(dialog.Values().ignoreOutputMsDelta, 300);
    EXPECT_EQ(dialog.Values().readMsDelta, 1);
    EXPECT_EQ(ReadSettingInt("Settings", "GTarvexIgnoreInputMsDelta", 0), 900);  // not before OK
    EXPECT_EQ(controller->Recorder().Rules().ignoreInputMsDelta, 900);
    dialog.accept();
    EXPECT_EQ(ReadSettingInt("Settings", "GTarvexIgnoreInputMsDelta", 0), 50);
    EXPECT_EQ(ReadSettingInt("Settings", "GTarvexReadMsDelta", 0), 1);
    // Through the controller: connected boxes use them from their next passing on.
    EXPECT_EQ(controller->Recorder().Rules().ignoreInputMsDelta, 50);
    EXPECT_EQ(controller->CurrentIntakeSettings().readMsDelta, 1);
}

}  // namespace
}  // namespace lv
