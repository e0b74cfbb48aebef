// The main window's side of the import dialog: detections imported into the running
// table through the recording path (journal, counters, lines, push over the direct
// connection on request), doubles skipped, the correction placed like a live day
// offset, the save into a detection file and its failure.
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
#include "link/DirectLinkSession.h"
#include "support/ControllerFixture.h"
#include "support/FakeMainView.h"
#include "support/GivenDetection.h"
#include "support/LoopbackSockets.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// 12 May 2024 10:00:00 in Paris (summer time).
constexpr int32_t kImportDayTenOClock = 1715500800;

class DetectionImportTest : public test::ControllerFixture<> {
protected:
    MainController& Open() { return ControllerFixture::Open(false); }

    static ImportDialogResult Outcome(int code, std::size_t count, int correction = 0) {
        ImportDialogResult result;
        result.code = code;
        result.boxId = "12";
        result.correction = correction;
        result.log = {"Import Tarvex detections from file f.txt", "+++ Parsing Tarvex detections file done"};
        for (std::size_t i = 0; i < count; ++i) {
            const int32_t s = static_cast<int32_t>(i);
            result.detections.push_back(
                CDetection{CChrono(36000 + s, 250), CChrono(kImportDayTenOClock + s, 250), std::to_string(100 + i)});
        }
        return result;
    }
};

TEST_F(DetectionImportTest, ImportedDetectionsAreRecordedJournaledCountedAndLoggedInSlices) {
    Open();
    WriteSettingBool("Settings", "BLogDetections", true);
    controller->SetLogDetections(true);
    controller->HandleImportResult(Outcome(CDlgImportTarvex::kImportCode, 1200));
    EXPECT_TRUE(controller->ImportBusy());  // the rest comes in later slices
    ASSERT_TRUE(PumpUntil([&] { return !controller->ImportBusy(); }));

    EXPECT_EQ(DetectionTable::Instance().CountActive(), 1200);
    EXPECT_EQ(JournalLines(), 1200);
    EXPECT_NE(ReadFile(folder / "logfiles/session.dat").find("1\t12\t100\t1\t10:00:00.25\t1\r\n"), std::string::npos);
    EXPECT_TRUE(LogHas("+++ Import Tarvex detections from file f.txt"));
    EXPECT_TRUE(LogHas("+++ +++ Parsing Tarvex detections file done"));
    EXPECT_TRUE(LogHas("+++ 1200 detections to import for box 12"));
    EXPECT_TRUE(LogHas("+++ Import done"));
    EXPECT_FALSE(LogHas("already in the list"));
    // The counters follow within their rest.
    EXPECT_TRUE(PumpUntil([&] { return view.counterText.find("1200") != std::string::npos; })) << view.counterText;
    ASSERT_TRUE(PumpUntil([&] { return view.detectionLines.size() == 1200; }));
    EXPECT_EQ(view.detectionLines[0].line, "10:00:01\tImp.\t# 100");
    EXPECT_EQ(controller->LastImportTally().added, 1200u);
}

TEST_F(DetectionImportTest, ExitStopsAnImportUnderWayAndSaysHowFarItGot) {
    Open();
    controller->HandleImportResult(Outcome(CDlgImportTarvex::kImportCode, 1200));
    ASSERT_TRUE(controller->ImportBusy());
    ASSERT_TRUE(controller->Exit(true));
    EXPECT_FALSE(controller->ImportBusy());
    EXPECT_TRUE(LogHas("### Import stopped at exit: 500 of 1200 detections imported"));
    loop.processPending();
    EXPECT_EQ(controller->LastImportTally().added, 500u);  // no slice ran after the exit
}

TEST_F(DetectionImportTest, ImportingTwiceOrWhatCameLiveAddsNoDouble) {
    Open();
    // The same passing received live from box 12.
    controller->Recorder().Record(test::GivenDetection("101", "12", CChrono(kImportDayTenOClock + 1, 250), CChrono(36001, 250)));
    controller->HandleImportResult(Outcome(CDlgImportTarvex::kImportCode, 3));
    ASSERT_TRUE(PumpUntil([&] { return !controller->ImportBusy(); }));
    EXPECT_EQ(DetectionTable::Instance().Count(), 3u);
    EXPECT_TRUE(LogHas("+++ 1 detection already in the list, not added again"));

    controller->HandleImportResult(Outcome(CDlgImportTarvex::kImportCode, 3));
    ASSERT_TRUE(PumpUntil([&] { return !controller->ImportBusy(); }));
    EXPECT_EQ(DetectionTable::Instance().Count(), 3u);
    EXPECT_EQ(controller->LastImportTally().doubles, 3u);
    EXPECT_TRUE(LogHas("+++ 3 detections already in the list, not added again"));
}

TEST_F(DetectionImportTest, TheCorrectionReadsLikeTheDayOffsetOfALiveDetection) {
    Open();
    controller->HandleImportResult(Outcome(CDlgImportTarvex::kImportCode, 1, 1));
    ASSERT_TRUE(PumpUntil([&] { return !controller->ImportBusy(); }));
    EXPECT_TRUE(LogHas("+++ 24 hours added to detections"));
    // The live path adds 24 h per race day to the time of day, and keeps the instant.
    controller->Recorder().Record(test::GivenDetection("100", "12", CChrono(kImportDayTenOClock, 250), CChrono(36000 + 24 * 3600, 250)));
    std::vector<std::string> texts;
    DetectionTable::Instance().WithRecords([&](const std::deque<CQoxResult>& records) {
        for (const auto& r : records) texts.push_back(r.timeText);
    });
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "34:00:00.25");
    EXPECT_EQ(texts[0], texts[1]);
}

TEST_F(DetectionImportTest, SaveWritesTheDetectionFileAndAFailureNeverEndsInFileSaved) {
    Open();
    ImportDialogResult save = Outcome(CDlgImportTarvex::kSaveCode, 2);
    save.outputPath = folder / "out.qox";
    controller->HandleImportResult(save);
    EXPECT_EQ(ReadFile(folder / "out.qox"), "1\t12\t100\t1\t10:00:00.25\t1\r\n2\t12\t101\t1\t10:00:01.25\t1\r\n");
    EXPECT_TRUE(LogHas("+++ 2 detections to save for box 12"));
    EXPECT_TRUE(LogHas("+++ File saved"));
    EXPECT_EQ(DetectionTable::Instance().Count(), 0u);

    Logger::Instance().ClearWindow();
    WriteFile(folder / "plain", "a file, not a folder");
    save.outputPath = folder / "plain/out.qox";
    controller->HandleImportResult(save);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "Error creating file " + (folder / "plain/out.qox"));
    EXPECT_EQ(view.messages.back().icon, MessageIcon::Error);
    EXPECT_TRUE(LogHas("### Error creating file "));
    EXPECT_FALSE(LogHas("+++ File saved"));
}

TEST_F(DetectionImportTest, OverTheDirectConnectionEachDetectionIsPushedAndTheSentOnesCounted) {
    test::LoopbackPeer peer;
    Open();
    auto link = std::make_unique<DirectLinkSession>(loop, controller->LinkListener());
    DirectLinkSession* session = link.get();
    controller->SetLinkSession(std::move(link));
    session->SwitchOn(DirectTarget{"127.0.0.1", peer.Port(), 10});
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(PumpUntil([&] { return session->IsConnected(); }));

    view.answerYes = true;  // yes: through the direct connection
    controller->HandleImportResult(Outcome(CDlgImportTarvex::kImportCode, 2));
    ASSERT_TRUE(PumpUntil([&] { return !controller->ImportBusy(); }));
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0].rfind("Vous êtes actuellement connecté à Quillet-Pro\n", 0), 0u);
    std::string received;
    for (int i = 0; i < 50 && received.find("10:00:01.25)") == std::string::npos; ++i) {
        received += peer.ReceiveBytes(1, 100);
    }
    EXPECT_NE(received.find("AddQoxClock(1\t12\t100\t1\t10:00:00.25)"), std::string::npos) << received;
    EXPECT_NE(received.find("AddQoxClock(1\t12\t101\t1\t10:00:01.25)"), std::string::npos) << received;
    EXPECT_TRUE(LogHas("+++ Import done: 2 sent over the direct connection, 0 not sent"));
    EXPECT_EQ(DetectionTable::Instance().Count(), 2u);

    // No: into the table only, nothing pushed.
    view.answerYes = false;
    ImportDialogResult other = Outcome(CDlgImportTarvex::kImportCode, 1);
    other.boxId = "13";
    controller->HandleImportResult(other);
    ASSERT_TRUE(PumpUntil([&] { return !controller->ImportBusy(); }));
    EXPECT_EQ(controller->LastImportTally().sent, 0u);
    EXPECT_EQ(DetectionTable::Instance().Count(), 3u);
    EXPECT_EQ(peer.ReceiveBytes(1, 200).find("\t13\t"), std::string::npos);
    session->SwitchOff();
}

}  // namespace
}  // namespace lv
