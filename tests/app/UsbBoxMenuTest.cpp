// The main window's logic with a USB TimingBox (the box simulator): the transport kind
// from the host, the periodic reading from the connection on, the firmware warning, the
// USBbox items of the box menu, and how a connected box that reads nothing shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>

#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/Texts.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "support/FakeMainView.h"
#include "support/ControllerFixture.h"
#include "support/TempFolder.h"
#include "support/UsbBoxSimulator.h"

namespace lv {
namespace {

class UsbBoxMenuTest : public test::ControllerFixture<> {
protected:
    void Declare(const std::string& host) {
        WriteSettingText("TarvexBoxes", "BoxHost0", host);
        WriteSettingInt("TarvexBoxes", "BoxPort0", 19200);
    }
    // The menu's passing items alone read the box (its periodic reading unticked).
    void ReadByMenuOnly() { WriteSettingInt("TarvexBoxes", "BoxPeriodicReading0", 0); }
    // The simulated box declared in slot 1, the window opened and the box connected.
    enum class Reading { Periodic, ByMenuOnly };
    void ConnectTo(const test::UsbBoxSimulator& box, Reading reading) {
        ASSERT_TRUE(box.Running());
        Declare(box.Device());
        if (reading == Reading::ByMenuOnly) ReadByMenuOnly();
        Open();
        ConnectAll();
    }
    void ConnectAll() {
        controller->ConnectAllBoxes();
        ASSERT_TRUE(PumpUntil([&] { return !controller->IsBusy(); }));
        loop.processPending();
        ASSERT_TRUE(controller->BoxStatusOf(0).connected);
    }
    // A menu command, run to its end (question included).
    void Run(UsbMenuCommand command) {
        controller->RunUsbCommand(0, command);
        ASSERT_TRUE(PumpUntil([&] { return !controller->IsBusy(); }));
        loop.processPending();
    }};

TEST_F(UsbBoxMenuTest, TheHostTellsTheTransportKind) {
    Declare("decoder.company.com");
    Open();
    EXPECT_FALSE(controller->BoxStatusOf(0).serial);
    controller.reset();
    Declare("com7");
    Open();
    EXPECT_TRUE(controller->BoxStatusOf(0).serial);
    EXPECT_TRUE(controller->BoxStatusOf(0).configured);
    // Read from its connection on, as the headless program does.
    EXPECT_TRUE(controller->BoxStatusOf(0).periodicPassingRequest);
    controller->ToggleUsbPeriodicReading(0);
    EXPECT_FALSE(controller->BoxStatusOf(0).periodicPassingRequest);
    // The operator's choice is the box's: the next start keeps it.
    controller.reset();
    Open();
    EXPECT_FALSE(controller->BoxStatusOf(0).periodicPassingRequest);
    controller->ToggleUsbPeriodicReading(0);
    EXPECT_TRUE(controller->BoxStatusOf(0).periodicPassingRequest);
    controller.reset();
    Open();
    EXPECT_TRUE(controller->BoxStatusOf(0).periodicPassingRequest);
}

TEST_F(UsbBoxMenuTest, AConnectedBoxReadsWithoutAnyMenuCommandAndShowsWhenItFallsSilent) {
    test::UsbBoxSimulator box({"--rate", "0", "--synchronised", "--stored", "3"});
    ConnectTo(box, Reading::Periodic);
    ASSERT_FALSE(HasFatalFailure());
    // Its stored passings come by themselves, within a few SecondsBetweenSerialRead.
    ASSERT_TRUE(PumpUntil([&] { return JournalLines() == 3; }));
    const auto now = std::chrono::steady_clock::now();
    controller->ShowBoxActivityAt(now + std::chrono::seconds(60));
    EXPECT_FALSE(view.boxActivities[0].silent);
    controller->ShowBoxActivityAt(now + std::chrono::seconds(125));
    EXPECT_TRUE(view.boxActivities[0].silent);
    EXPECT_EQ(view.boxActivities[0].tooltip.rfind("Connected, nothing read for 2 min\n", 0), 0u)
        << view.boxActivities[0].tooltip;
    controller->DisconnectAllBoxes();
    // Not connected: that shows for itself, the box is no longer "silent".
    controller->ShowBoxActivityAt(now + std::chrono::seconds(300));
    EXPECT_FALSE(view.boxActivities[0].silent);
}

TEST_F(UsbBoxMenuTest, MaintenanceCommandsAskFirstWithNoByDefault) {
    test::UsbBoxSimulator box({"--rate", "0", "--synchronised"});
    ConnectTo(box, Reading::ByMenuOnly);
    ASSERT_FALSE(HasFatalFailure());
    view.answerYes = false;
    const std::size_t asked = view.questions.size();
    Run(UsbMenuCommand::Reset);
    Run(UsbMenuCommand::EpochRefSet);
    Run(UsbMenuCommand::EpochRefAdjust1D);
    controller->ResetUsbPassingIndex(0);
    ASSERT_EQ(view.questions.size(), asked + 4);
    for (std::size_t i = asked; i < view.questions.size(); ++i) {
        EXPECT_FALSE(view.questionDefaultYes[i]) << view.questions[i];
        EXPECT_NE(view.questions[i].find("box 1 "), std::string::npos) << view.questions[i];
    }
    // Answered no: nothing reached the box.
    EXPECT_FALSE(LogHas(" : USB TimingBox Reset"));
    EXPECT_FALSE(LogHas(" : USB TimingBox synchronization"));
    view.answerYes = true;
    Run(UsbMenuCommand::Reset);
    EXPECT_TRUE(LogHas(" : USB TimingBox reset done"));
    controller->DisconnectAllBoxes();
}

TEST_F(UsbBoxMenuTest, FirmwareTooLowIsShownInAMessageBox) {
    test::UsbBoxSimulator box({"--rate", "0", "--synchronised", "--firmware", "24"});
    ConnectTo(box, Reading::Periodic);
    ASSERT_FALSE(HasFatalFailure());
    const std::string warning = "Firmware version of USB TimingBox is too low (2.4). Version 2.5 requested!";
    ASSERT_TRUE(PumpUntil([&] {
        return std::any_of(view.messages.begin(), view.messages.end(),
                           [&](const auto& m) { return m.text == warning && m.icon == MessageIcon::Warning; });
    }));
    controller->DisconnectAllBoxes();
}

TEST_F(UsbBoxMenuTest, PassingItemsReadRecordAndRestartFromTheFirstIndexWhenAsked) {
    test::UsbBoxSimulator box({"--rate", "0", "--synchronised", "--stored", "3", "--first-index", "2a"});
    ConnectTo(box, Reading::ByMenuOnly);
    ASSERT_FALSE(HasFatalFailure());
    Run(UsbMenuCommand::PassingGet);
    EXPECT_EQ(JournalLines(), 3);
    // Read again from the box's first index, as the answer asks.
    view.answerYes = true;
    Run(UsbMenuCommand::PassingInfoGet);
    ASSERT_FALSE(view.questions.empty());
    EXPECT_EQ(view.questions.back(),
              "Do you want to start the reading of the 3 passing(s) at the first index (42) of the USB TimingBox?");
    Run(UsbMenuCommand::PassingGet);
    EXPECT_EQ(JournalLines(), 6);
    // Answered no: the index stays after the last passing read.
    view.answerYes = false;
    Run(UsbMenuCommand::PassingInfoGet);
    Run(UsbMenuCommand::PassingGet);
    EXPECT_EQ(JournalLines(), 6);
    view.answerYes = true;
    controller->ResetUsbPassingIndex(0);
    Run(UsbMenuCommand::PassingGet);
    EXPECT_EQ(JournalLines(), 9);

    Run(UsbMenuCommand::InfoBoxType);
    Run(UsbMenuCommand::TimestampGet);
    bool boxLine = false, dateLine = false;
    for (const auto& line : Logger::Instance().WindowLines()) {
        boxLine = boxLine || line.find(" : Box: usb-timing-box") != std::string::npos;
        dateLine = dateLine || line.find("(time got at ") != std::string::npos;
    }
    EXPECT_TRUE(boxLine);
    EXPECT_TRUE(dateLine);
    controller->DisconnectAllBoxes();
}

TEST_F(UsbBoxMenuTest, PassingInfoOfAnEmptyBoxAsksNothing) {
    test::UsbBoxSimulator box({"--rate", "0", "--synchronised"});
    ConnectTo(box, Reading::ByMenuOnly);
    ASSERT_FALSE(HasFatalFailure());
    const std::size_t asked = view.questions.size();
    Run(UsbMenuCommand::PassingInfoGet);
    EXPECT_EQ(view.questions.size(), asked);
    controller->DisconnectAllBoxes();
}

}  // namespace
}  // namespace lv
