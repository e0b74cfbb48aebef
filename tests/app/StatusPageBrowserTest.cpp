// The status page as a timekeeper's phone sees it: the program runs headless with a
// simulated decoder and timing application, and Debian's chromium, headless, loads the
// page and runs its script; what it shows is read from the document it ends with.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "link/TimingAppProcess.h"
#include "support/ChildProcess.h"
#include "support/HttpFetch.h"
#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"
#include "support/WaitUntil.h"

namespace lv {
namespace {

using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

const std::string kProgram = std::string(LUMIVANE_BUILD_DIR) + "/lumivane";
const char* const kChromium = "/usr/bin/chromium";

// A port nobody listens on now.
int FreePort() {
    int port = 0;
    const int fd = test::ListenLoopback(1, port);
    if (fd >= 0) ::close(fd);
    return port;
}

class StatusPageBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (::access(kChromium, X_OK) != 0) GTEST_SKIP() << "chromium is not installed (make deps installs it)";
        port = FreePort();
        ASSERT_GT(port, 0);
    }

    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port) + "/"; }

    // The page's document after its script has run for `budgetMs` of the browser's own
    // time (several rounds of asking for the facts).
    std::string PageAsShown(int budgetMs = 3000) {
        test::ChildProcess browser({kChromium, "--headless", "--disable-gpu", "--no-sandbox", "--no-first-run",
                                    "--user-data-dir=" + profile.Path(),
                                    "--virtual-time-budget=" + std::to_string(budgetMs), "--dump-dom", Url()});
        browser.Wait(90);
        return browser.Output();
    }

    // The row of the detections table with this number in the detection file.
    static std::string Row(const std::string& page, int number) {
        const std::size_t at = page.find("<tr data-number=\"" + std::to_string(number) + "\">");
        if (at == std::string::npos) return "";
        return page.substr(at, page.find("</tr>", at) - at);
    }
    // The card of box `number`.
    static std::string Card(const std::string& page, int number) {
        const std::size_t at = page.find("data-box=\"" + std::to_string(number) + "\"");
        if (at == std::string::npos) return "";
        const std::size_t start = page.rfind("<div", at);
        const std::size_t next = page.find("data-box=", at + 1);
        return page.substr(start, (next == std::string::npos ? page.find("</section>", at) : next) - start);
    }

    int port = 0;
    TempFolder data;
    TempFolder profile;
};

TEST_F(StatusPageBrowserTest, ADetectionShowsWithItsRunnerAndAKilledDecoderShowsItsBoxLost) {
    WriteFile(data / "TarvexTable.dtb", "1 CHIP1\n2 CHIP2\n3 CHIP3\n");
    WriteFile(data / "chips.dtb", "1 CHIP1\n2 CHIP2\n3 CHIP3\n");
    WriteFile(data / "runners.txt", "1;MARTIN;Louise;F;SEF;Seniors;;FRA\n2;BERNARD;Paul;M;SEH;Seniors;;FRA\n"
                                    "3;PETIT;Jeanne;F;SEF;Seniors;;FRA\n");
    TimingAppProcess app({"--runners", data / "runners.txt"});
    ASSERT_TRUE(app.Running());
    // One passing; the decoder then stays connected, silent.
    test::SimulatorProcess decoder("decoder", {"--runners", "1", "--count", "1", "--rate", "1", "--chips",
                                               data / "chips.dtb", "--date", "today"});
    ASSERT_TRUE(decoder.Running());
    WriteFile(data / "Lumivane.ini",
              "[DirectConnection]\r\nHost=127.0.0.1\r\nPort=" + std::to_string(app.Port()) +
                  "\r\n[TarvexBoxes]\r\nBoxHost0=127.0.0.1\r\nBoxPort0=" + std::to_string(decoder.Port()) +
                  "\r\nBoxIdDetector0=31\r\n[StatusPage]\r\nPort=" + std::to_string(port) + "\r\n");

    test::ChildProcess program({kProgram, "--headless", "--direct", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("+ Status page at http://127.0.0.1:" + std::to_string(port) + "/")) << program.Output();
    ASSERT_TRUE(program.WaitFor("[summary] 1\tLouise MARTIN")) << program.Output();

    std::string page = PageAsShown();
    const std::string row = Row(page, 1);
    ASSERT_FALSE(row.empty()) << page;
    EXPECT_NE(row.find("<td class=\"bib\">1</td>"), std::string::npos) << row;
    EXPECT_NE(row.find("MARTIN"), std::string::npos) << row;
    std::string card = Card(page, 1);
    EXPECT_NE(card.find("data-state=\"connected\""), std::string::npos) << card;
    EXPECT_EQ(card.find("lost since"), std::string::npos) << card;
    EXPECT_NE(page.find("id=\"link\" data-state=\"connected\""), std::string::npos) << page;
    // Not the banner of a program that stopped answering.
    EXPECT_EQ(page.find("class=\"down\""), std::string::npos);

    decoder.Stop();
    ASSERT_TRUE(program.WaitFor("[alert] Box 1")) << program.Output();
    page = PageAsShown();
    card = Card(page, 1);
    EXPECT_NE(card.find("class=\"lost\">Box 1"), std::string::npos) << card;
    EXPECT_NE(card.find("lost since"), std::string::npos) << card;
    EXPECT_EQ(card.find("data-state=\"connected\""), std::string::npos) << card;
    // And the alert of the last hour.
    EXPECT_NE(page.find("class=\"alert\""), std::string::npos);

    EXPECT_EQ(program.Stop(SIGTERM), 0) << program.Output();
}

TEST_F(StatusPageBrowserTest, APageWhoseProgramEndedSaysItIsNotAnswering) {
    WriteFile(data / "Lumivane.ini", "[StatusPage]\r\nPort=" + std::to_string(port) + "\r\n");
    test::ChildProcess program({kProgram, "--headless", "--data-dir", data.Path(), "--lang", "en"});
    ASSERT_TRUE(program.WaitFor("+ Status page at")) << program.Output();
    const std::string page = test::HttpFetch(Url()).body;
    ASSERT_NE(page.find("<script>"), std::string::npos);
    EXPECT_EQ(program.Stop(SIGTERM), 0) << program.Output();

    // The same page, served from a file now that the program is gone: its script finds
    // nobody to ask.
    WriteFile(profile / "page.html", page);
    test::ChildProcess browser({kChromium, "--headless", "--disable-gpu", "--no-sandbox", "--no-first-run",
                                "--user-data-dir=" + (profile / "user"), "--virtual-time-budget=3000", "--dump-dom",
                                "file://" + (profile / "page.html")});
    browser.Wait(90);
    EXPECT_NE(browser.Output().find("<body class=\"down\">"), std::string::npos) << browser.Output();
    EXPECT_NE(browser.Output().find("Lumivane is not answering"), std::string::npos) << browser.Output();
}

}  // namespace
}  // namespace lv
