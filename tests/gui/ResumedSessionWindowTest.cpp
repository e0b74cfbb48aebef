// A start that continues the detection file of a run stopped short: the window shows
// the detections read back and says so in a band, with the reset of the list at hand.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>

#include <filesystem>

#include "WindowFixture.h"
#include "core/DetectionTable.h"
#include "gui/DetectionsModel.h"

namespace lv {
namespace {

using test::WindowFixture;

class ResumedSessionWindowTest : public WindowFixture {
protected:
    // A detection file of three detections, the first answered by the timing
    // application and the second removed by the timekeeper.
    std::string WriteStoppedRun() {
        std::filesystem::create_directories(folder / "logfiles");
        const std::string path = folder / "logfiles/Lumivane-20261209-100000.dat";
        test::WriteFile(path,
                        "1\t31\t12\t1\t10:00:00.07\t1\r\n2\t31\t13\t1\t10:00:01.07\t1\r\n3\t31\t14\t1\t10:00:02.50\t1\r\n");
        test::WriteFile(folder / "logfiles/Lumivane-20261209-100000.sent",
                        "sent 0000000001\nclean 0\nremoved 2\nheld \n");
        return path;
    }
    QWidget* Band() { return window->findChild<QWidget*>("resumeNotice"); }
};

TEST_F(ResumedSessionWindowTest, TheBandSaysWhatWasResumedAndTheListShowsIt) {
    const std::string path = WriteStoppedRun();
    Start(Language::English, "[Settings]\r\nBLogDetections=1\r\n");
    ASSERT_NE(Band(), nullptr);
    EXPECT_TRUE(Band()->isVisible());
    const std::string text = Find<QLabel>("resumeNoticeText")->text().toStdString();
    EXPECT_NE(text.find("Detection file " + path + " resumed: 3 detection(s), the last at 10:00:02.50; 2 to send"),
              std::string::npos)
        << text;
    loop.pumpUntil([&] { return window->Detections().rowCount() == 3; });
    EXPECT_EQ(window->Detections().rowCount(), 3);
    // The removed one stays removed.
    EXPECT_EQ(Find<QLabel>("counter")->text().toStdString(), "2 detections recorded");
    Find<QPushButton>("dismissResumeNotice")->click();
    EXPECT_FALSE(Band()->isVisible());
    EXPECT_TRUE(controller->ResumeNotice().empty());
}

TEST_F(ResumedSessionWindowTest, TheResetAtHandStartsANewFileAndEndsTheNotice) {
    const std::string path = WriteStoppedRun();
    Start(Language::French);
    ASSERT_TRUE(Band()->isVisible());
    messages.answers = {false};
    Find<QPushButton>("resetFromResumeNotice")->click();
    // Asked first, No by default: nothing changed.
    ASSERT_EQ(messages.questions.size(), 1u);
    EXPECT_TRUE(Band()->isVisible());
    EXPECT_EQ(DetectionTable::Instance().Count(), 3u);
    messages.answers = {true};
    Find<QPushButton>("resetFromResumeNotice")->click();
    EXPECT_FALSE(Band()->isVisible());
    EXPECT_EQ(DetectionTable::Instance().Count(), 0u);
    EXPECT_NE(DetectionTable::Instance().Journal().Name(), path);
}

}  // namespace
}  // namespace lv
