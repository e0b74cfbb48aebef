// The headless front end's status line: every minute, and at once when a box or the
// link changes state or something starts or stops waiting; alerts on their own lines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "app/BoxWatch.h"
#include "app/HeadlessView.h"
#include "base/Texts.h"

namespace lv {
namespace {

using std::chrono::seconds;
using Steady = std::chrono::steady_clock;

class HeadlessStatusTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        out = std::tmpfile();
        ASSERT_NE(out, nullptr);
        view = std::make_unique<HeadlessView>(out, [this] { return now; });
    }
    void TearDown() override {
        view.reset();
        std::fclose(out);
        SetLanguage(Language::French);
    }

    // Lines printed since the last call.
    std::vector<std::string> NewLines() {
        std::fflush(out);
        std::fseek(out, static_cast<long>(read), SEEK_SET);
        std::vector<std::string> lines;
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, out)) {
            std::string line(buffer);
            read += line.size();
            if (!line.empty() && line.back() == '\n') line.pop_back();
            lines.push_back(line);
        }
        return lines;
    }
    std::vector<std::string> StatusLines() {
        std::vector<std::string> status;
        for (const auto& line : NewLines()) {
            if (line.rfind("[status] ", 0) == 0) status.push_back(line.substr(9));
        }
        return status;
    }
    // One round of the controller's 1 s timer.
    void Second(std::uint64_t reads, int age) {
        now += seconds(1);
        view->SetBoxActivity(0, DescribeBoxActivity(true, reads, age));
        view->BoxActivityShown();
    }

    std::FILE* out = nullptr;
    std::size_t read = 0;
    Steady::time_point now = Steady::time_point(seconds(5000));
    std::unique_ptr<HeadlessView> view;
};

TEST_F(HeadlessStatusTest, AStatusLineEveryMinuteWithEachBoxAndTheLink) {
    view->SetBoxState(0, BoxVisualState::Connected, "Boîtier 1 [127.0.0.1:3601 31]\nBox connected");
    view->SetDirectLinkState(LinkVisualState::Connected);
    view->ShowForwardingBacklog(3);
    Second(128, 12);
    std::vector<std::string> status = StatusLines();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0],
              "box1 connected reads=128 last=12 s | box2 undefined | box3 undefined | box4 undefined | "
              "link connected waiting=3 journal-pending=0");
    // Reads and ages move every second: no line for them before the minute.
    for (int i = 0; i < 59; ++i) Second(129 + i, 0);
    EXPECT_TRUE(StatusLines().empty());
    Second(200, 75);
    status = StatusLines();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].rfind("box1 connected reads=200 last=1 min |", 0), 0u) << status[0];
}

TEST_F(HeadlessStatusTest, AChangeOfStateOrOfWhatWaitsGivesALineAtOnce) {
    Second(0, -1);
    ASSERT_EQ(StatusLines().size(), 1u);
    Second(0, -1);
    EXPECT_TRUE(StatusLines().empty());

    view->SetBoxState(0, BoxVisualState::Reconnecting, "Reconnecting...");
    Second(0, -1);
    std::vector<std::string> status = StatusLines();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_EQ(status[0].rfind("box1 reconnecting reads=0 last=- |", 0), 0u) << status[0];

    // The backlog starting to wait is a change; its growth is not.
    view->ShowForwardingBacklog(1);
    Second(0, -1);
    ASSERT_EQ(StatusLines().size(), 1u);
    view->ShowForwardingBacklog(40);
    Second(0, -1);
    EXPECT_TRUE(StatusLines().empty());
    view->ShowForwardingBacklog(0);
    Second(0, -1);
    ASSERT_EQ(StatusLines().size(), 1u);

    view->SetDirectLinkState(LinkVisualState::Connecting);
    Second(0, -1);
    status = StatusLines();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_NE(status[0].find("link connecting waiting=0"), std::string::npos);
}

TEST_F(HeadlessStatusTest, JournalAndLostBoxAlertsHaveTheirOwnLines) {
    view->ShowJournalPending(7);
    view->ShowJournalPending(9);
    view->ShowLostBoxAlert("Box 1 [a:1 31] lost since 10:00:00 — reconnecting\nBox 3 [c:1 31] lost since 10:00:01 — reconnecting");
    view->ShowJournalPending(0);
    std::vector<std::string> lines = NewLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[alert] 7 detection line(s) not yet written to the detection file");
    EXPECT_EQ(lines[1], "[alert] Box 1 [a:1 31] lost since 10:00:00 — reconnecting");
    EXPECT_EQ(lines[2], "[alert] Box 3 [c:1 31] lost since 10:00:01 — reconnecting");
    EXPECT_EQ(lines[3], "[alert] The detection file has caught up");
    Second(0, -1);
    std::vector<std::string> status = StatusLines();
    ASSERT_EQ(status.size(), 1u);
    EXPECT_NE(status[0].find("journal-pending=0"), std::string::npos);
}

}  // namespace
}  // namespace lv
