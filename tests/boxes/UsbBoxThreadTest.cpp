// A USB TimingBox's thread against the box simulator: exchanges while the thread reads,
// the periodic reading, and the adapter pulled out.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

#include "BoxTestSupport.h"
#include "base/Texts.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxThread.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/transport/SerialComBox.h"
#include "support/UsbBoxSimulator.h"

namespace lv {
namespace {

class UsbBoxThreadTest : public ::testing::Test {
protected:
    UsbBoxThreadTest() {
        SetLanguage(Language::English);
        host.ChangeSettings([](IntakeSettings& s) { s.secondsBetweenSerialRead = 1; });
    }
    ~UsbBoxThreadTest() override {
        box.cancelRequested = true;
        box.Close();
        box.JoinThread();
        SetLanguage(Language::French);
    }
    void Start(const std::vector<std::string>& options) {
        sim = std::make_unique<test::UsbBoxSimulator>(options);
        ASSERT_TRUE(sim->Running());
        box.number = 3;
        box.SetTransport(std::make_unique<CSerialComBox>());
        box.AttachHost(&host);
        box.SetParameters("31", sim->Device(), 19200);
        box.SetResponseSeconds(2);
    }
    // Every chip was recorded once per passing: the labels repeat only as the box's
    // memory does (the simulator draws chips at random), so the count is what tells.
    LogCapture log{100};
    test::RecordingBoxHost host;
    std::unique_ptr<test::UsbBoxSimulator> sim;
    CTarvexBox box;
};

TEST_F(UsbBoxThreadTest, ExchangesMeetTheRunningThreadThenPeriodicReadingTakesOver) {
    Start({"--rate", "4", "--synchronised", "--stored", "3"});
    ASSERT_TRUE(InitializeBox(box));
    ASSERT_TRUE(StartBoxThread(host, box));

    // A menu command while the thread reads: its reply is routed to it.
    UsbPassingInfo info;
    ASSERT_TRUE(GetPassingInfo(box, info));
    EXPECT_GE(info.count, 3);
    const int first = GetPassings(box);
    EXPECT_GE(first, 3);
    EXPECT_EQ(static_cast<uint32_t>(box.passingIndex.load()), static_cast<uint32_t>(first));

    box.periodicPassingRequest = true;
    ASSERT_TRUE(test::WaitUntil([&] { return host.RecordedCount() >= static_cast<std::size_t>(first + 6); },
                                std::chrono::seconds(15)))
        << log.Dump();
    // Each passing of the box once: the index and the records agree.
    ASSERT_TRUE(test::WaitUntil([&] { return !box.usbBusy.load(); }));
    box.periodicPassingRequest = false;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(host.RecordedCount(), static_cast<std::size_t>(box.passingIndex.load()));
    EXPECT_TRUE(box.threadRunning.load());
    EXPECT_FALSE(log.HasContaining("Invalid input"));
}

TEST_F(UsbBoxThreadTest, UnpluggedAdapterEndsInReceptionFailed) {
    Start({"--rate", "0", "--synchronised"});
    ASSERT_TRUE(InitializeBox(box));
    box.periodicPassingRequest = true;
    ASSERT_TRUE(StartBoxThread(host, box));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    sim->Stop();  // the terminal goes away with its process
    ASSERT_TRUE(test::WaitUntil([&] { return !box.threadRunning.load(); }, std::chrono::seconds(10))) << log.Dump();
    EXPECT_TRUE(log.HasContaining("Box reception failed"));
    bool unexpected = false;
    for (const auto& state : host.States()) unexpected = unexpected || (state.first == 3 && state.second);
    EXPECT_TRUE(unexpected);
    EXPECT_FALSE(box.IsConnected());
    EXPECT_FALSE(box.IsInUse());
}

TEST_F(UsbBoxThreadTest, UnpluggedAdapterIsSeenWhileReadingTooAndReconnectionFailsClearly) {
    Start({"--rate", "0", "--synchronised"});
    ASSERT_TRUE(InitializeBox(box));
    ASSERT_TRUE(StartBoxThread(host, box));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const std::string device = sim->Device();
    sim->Stop();
    ASSERT_TRUE(test::WaitUntil([&] { return !box.threadRunning.load(); }, std::chrono::seconds(10))) << log.Dump();
    EXPECT_TRUE(log.HasContaining("Box reception failed"));
    // Connecting again finds no device, and says so.
    EXPECT_FALSE(InitializeBox(box));
    EXPECT_TRUE(log.HasContaining("Cannot connect on " + device + ":19200. DetectorId 31 : Erreur de connexion au port " +
                                  device + " : [#2]= \"No such file or directory\""))
        << log.Dump();
}

}  // namespace
}  // namespace lv
