// `lumivane cloud devices|files|fetch` run as a program against the cloud simulator:
// what a script reads on standard output, the exit status, the token kept for the
// hour, and the refusals (untrusted certificate, empty file, bad usage) on standard
// error.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "cloud/CloudTestSupport.h"
#include "support/ChildProcess.h"

namespace lv {
namespace {

using test::ReadFile;
using test::WriteFile;

struct CommandRun {
    int status = -1;
    std::string out;
    std::string err;
};

class CloudCommandTest : public test::CloudFixture {
protected:
    // The program's data folder: the cloud's address, the simulator's CA (unless
    // `trusted` is false), the credentials and the download folder.
    void Configure(const test::SimulatorProcess& sim, bool trusted = true) {
        WriteFile(data("Lumivane.ini"), "[URLs]\r\nCloudApiBase=https://127.0.0.1:" + std::to_string(sim.Port()) +
                                            "\r\nCloudCaFile=" + (trusted ? folder / "tls/cert.pem" : "") +
                                            "\r\n[CustomerInfo]\r\nCustomerId=1001\r\nApiKey=demo-key\r\n"
                                            "[DownloadTarvex]\r\nDownloadTarvexPath=" + data("downloads") + "\r\n");
    }

    CommandRun Cloud(std::vector<std::string> words) {
        std::vector<std::string> args{LUMIVANE_BUILD_DIR "/lumivane", "cloud"};
        args.insert(args.end(), words.begin(), words.end());
        args.insert(args.end(), {"--data-dir", folder / "data"});
        if (std::find(words.begin(), words.end(), "--lang") == words.end()) args.insert(args.end(), {"--lang", "en"});
        test::ChildProcess child(args, folder / "stderr.txt");
        CommandRun run;
        run.status = child.Wait(60);
        run.out = child.Output();
        run.err = ReadFile(folder / "stderr.txt");
        return run;
    }

    std::string data(const std::string& name) const { return folder / ("data/" + name); }

    static int LocalHour() {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        ::localtime_r(&now, &local);
        return local.tm_yday * 24 + local.tm_hour;
    }
};

TEST_F(CloudCommandTest, DevicesFilesAndFetchShareOneTokenWithinTheHour) {
    auto& sim = StartCloud();
    Configure(sim);
    const int hourBefore = LocalHour();

    CommandRun devices = Cloud({"devices"});
    ASSERT_EQ(devices.status, 0) << devices.err;
    EXPECT_EQ(devices.out, "A-1000\nA-1001\n");
    EXPECT_EQ(devices.err, "");

    CommandRun files = Cloud({"files", "A-1001"});
    ASSERT_EQ(files.status, 0) << files.err;
    EXPECT_EQ(files.out,
              "1\t3\t01/05/2024    09:00:00.00\n"
              "2\t3\t01/05/2024    10:00:00.00\n"
              "3\t3\t01/05/2024    11:00:00.00\n");

    CommandRun fetch = Cloud({"fetch", "A-1001", "2"});
    ASSERT_EQ(fetch.status, 0) << fetch.err;
    EXPECT_EQ(fetch.out, "Download done (< 1 kB)\n" + data("downloads/TX_2.txt") + "\n");
    const std::string text = ReadFile(data("downloads/TX_2.txt"));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
    EXPECT_EQ(text.rfind("0;20", 0), 0u) << text;
    EXPECT_NE(text.find(";;;;;;;;;;;;;A-1001\r\n2;"), std::string::npos) << text;

    // Into a folder of the script's, made when missing, in French.
    CommandRun elsewhere = Cloud({"fetch", "A-1000", "3", "--to", folder / "race/tx", "--lang", "fr"});
    ASSERT_EQ(elsewhere.status, 0) << elsewhere.err;
    EXPECT_EQ(elsewhere.out, "Téléchargement terminé (< 1 ko)\n" + (folder / "race/tx/TX_3.txt") + "\n");
    EXPECT_NE(ReadFile(folder / "race/tx/TX_3.txt").find(";A-1000\r\n"), std::string::npos);

    // Two runs either side of a clock hour rightly ask for a new token.
    if (LocalHour() == hourBefore) {
        EXPECT_EQ(CountRequests("POST /token"), 1);
    }
    EXPECT_NE(ReadFile(data("Lumivane.ini")).find("Token=tok1s1"), std::string::npos);
}

TEST_F(CloudCommandTest, AnUntrustedCertificateIsRefused) {
    auto& sim = StartCloud();
    Configure(sim, false);
    CommandRun devices = Cloud({"devices"});
    EXPECT_EQ(devices.status, 1);
    EXPECT_EQ(devices.out, "");
    EXPECT_EQ(devices.err.rfind("lumivane cloud: $$$ Error -2: Error connecting winInet session: ", 0), 0u)
        << devices.err;
    EXPECT_EQ(CountRequests("POST /token"), 0);
    EXPECT_EQ(ReadFile(data("Lumivane.ini")).find("Token=tok"), std::string::npos);
}

TEST_F(CloudCommandTest, FetchRefusesAnEmptyFileWithoutRequestingItAndAnUnknownOne) {
    auto& sim = StartCloud({"--empty-file", "2"});
    Configure(sim);

    CommandRun empty = Cloud({"fetch", "A-1000", "2"});
    EXPECT_EQ(empty.status, 1);
    EXPECT_EQ(empty.out, "");
    EXPECT_EQ(empty.err, "lumivane cloud: File 2 is empty!\n");
    EXPECT_EQ(CountRequests("GET /customers/1001/devices/A-1000/files/2/detections"), 0);
    EXPECT_EQ(ReadFile(data("downloads/TX_2.txt")), "");

    CommandRun unknown = Cloud({"fetch", "A-1000", "9"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err, "lumivane cloud: File 9 not found on device A-1000\n");
}

TEST_F(CloudCommandTest, BadUsageExitsOneWithTheUsage) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {"files"}, {"fetch", "A-1000"}, {}, {"list"}, {"devices", "--to", "x"}, {"devices", "A-1000"}}) {
        CommandRun run = Cloud(words);
        EXPECT_EQ(run.status, 1) << words.size();
        EXPECT_EQ(run.out, "");
        EXPECT_NE(run.err.find("lumivane cloud fetch DEVICE FILE [--to FOLDER]"), std::string::npos) << run.err;
    }
    EXPECT_NE(Cloud({"files"}).err.find("cloud files needs DEVICE"), std::string::npos);
}

}  // namespace
}  // namespace lv
