// The box files explorer's rules in both modes: listing lines, buttons, the download
// into TX_<id>.txt (17 fields per line), its messages, and cancelling a request.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>

#include "cloud/CloudTestSupport.h"
#include "cloud/ExplorerTestSupport.h"
#include "cloud/explorer/DecoderOutputFile.h"

namespace lv {
namespace {

using test::BoxFile;
using test::OneShotHttpServer;
using test::RecordingExplorerView;

class ExplorerTest : public test::CloudFixture {
protected:
    // Pumps the UI loop until the running request has come back (and the first listing
    // timer, when armed, has fired).
    void Settle(BoxFilesExplorer& explorer) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        loop.pumpUntil([&] {
            return (!explorer.Busy() && !view.lines.empty() && view.lines[0].find("...") == std::string::npos) ||
                   std::chrono::steady_clock::now() > limit;
        });
    }
    void WaitIdle(BoxFilesExplorer& explorer) {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        loop.pumpUntil([&] { return !explorer.Busy() || std::chrono::steady_clock::now() > limit; });
    }

    // Box mode over one box whose lister returns `files` (or fails with `error`).
    std::unique_ptr<BoxFilesExplorer> OpenBoxes(std::vector<std::unique_ptr<CDetectionFile>> files,
                                                std::string error = {}) {
        auto shared = std::make_shared<std::vector<std::unique_ptr<CDetectionFile>>>(std::move(files));
        BoxFileLister lister = [shared, error](std::vector<std::unique_ptr<CDetectionFile>>& out, std::string& why) {
            if (!error.empty()) {
                why = error;
                return -1;
            }
            for (auto& file : *shared) out.push_back(std::make_unique<CDetectionFile>(*file));
            return 0;
        };
        auto explorer = std::make_unique<BoxFilesExplorer>(
            BoxFilesSource::ForBoxes({{BoxEntryText(1, "127.0.0.1:3601"), lister}}), loop, view, CloudConnection{});
        explorer->Open();
        Settle(*explorer);
        return explorer;
    }

    std::vector<std::string> FileLines(const std::string& path) {
        std::vector<std::string> lines;
        const std::string text = test::ReadFile(path);
        std::size_t start = 0;
        while (start < text.size()) {
            const std::size_t end = text.find("\r\n", start);
            if (end == std::string::npos) {
                lines.push_back(text.substr(start) + "<no CR LF>");
                break;
            }
            lines.push_back(text.substr(start, end - start));
            start = end + 2;
        }
        return lines;
    }

    static int Fields(const std::string& line) {
        return static_cast<int>(std::count(line.begin(), line.end(), ';')) + 1;
    }

    EventLoop loop;
    RecordingExplorerView view;
};

TEST_F(ExplorerTest, BoxModeListsTheBoxFilesAfterOpening) {
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(BoxFile("1001", 1520, "http://127.0.0.1:1/a"));
    files.push_back(BoxFile("7", 87, "http://127.0.0.1:1/b"));
    auto explorer = OpenBoxes(std::move(files));
    EXPECT_EQ(view.entries, std::vector<std::string>{"Boîtier 1 127.0.0.1:3601"});
    EXPECT_EQ(view.selectedEntry, 0);
    ASSERT_EQ(view.lines.size(), 2u);
    EXPECT_EQ(view.lines[0], " 1001: \t Detections: 1520\t 01/05/2024\t closed");
    EXPECT_EQ(view.lines[1], " 7  : \t Detections: 87\t 01/05/2024\t closed");
    EXPECT_TRUE(view.listEnabled);
    EXPECT_EQ(view.destination, GetDataFolder() + "/TARVEX");
    EXPECT_TRUE(view.buttons.refresh && view.buttons.copyUrl && view.buttons.removeFiles);
    EXPECT_FALSE(view.buttons.download);

    explorer->SelectLine(1);
    EXPECT_TRUE(view.buttons.download);
    explorer->CopyUrl();
    EXPECT_EQ(view.clipboard, "http://127.0.0.1:1/b");
    explorer->RemoveFiles();
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Fonction non implémentée...");

    SetLanguage(Language::French);
    explorer->Refresh();
    Settle(*explorer);
    EXPECT_EQ(view.lines[1], " 7  : \t Détections: 87\t 01/05/2024\t terminé");
    EXPECT_FALSE(view.buttons.download);
}

TEST_F(ExplorerTest, AFailedListingShowsWhyAndSoundsTheAlert) {
    auto explorer = OpenBoxes({}, "Error reading box response");
    ASSERT_EQ(view.lines.size(), 1u);
    EXPECT_EQ(view.lines[0], "Cannot connect to Tarvex box: Error reading box response");
    EXPECT_FALSE(view.listEnabled);
    EXPECT_EQ(view.alerts, 1);
    // The user can still refresh.
    EXPECT_TRUE(view.buttons.refresh);
    EXPECT_FALSE(view.buttons.download);
    explorer->SelectLine(0);
    EXPECT_FALSE(view.buttons.download);
}

TEST_F(ExplorerTest, WithoutBoxesOnlyCopyUrlIsOffered) {
    BoxFilesExplorer explorer(BoxFilesSource::ForBoxes({}), loop, view, CloudConnection{});
    explorer.Open();
    EXPECT_TRUE(view.entries.empty());
    EXPECT_TRUE(view.buttons.copyUrl);
    EXPECT_FALSE(view.buttons.refresh || view.buttons.download || view.buttons.removeFiles);
    explorer.Cancel();
    EXPECT_EQ(view.closed, 0);
    EXPECT_EQ(explorer.OutputPath(), "");
}

TEST_F(ExplorerTest, CloudModeDownloadsThreeDetectionsAsSeventeenFieldLines) {
    auto& sim = StartCloud();
    std::string devices, error, logLine;
    ASSERT_EQ(FetchCustomerDevices(ConnectionTo(sim), devices, error, logLine), 0) << error;
    BoxFilesExplorer explorer(BoxFilesSource::ForCloud(devices), loop, view, ConnectionTo(sim));
    explorer.Open();
    EXPECT_EQ(view.entries, (std::vector<std::string>{"A-1000", "A-1001"}));
    Settle(explorer);
    ASSERT_EQ(view.lines.size(), 3u);
    EXPECT_EQ(view.lines[1], " 2  : \t Detections: 3\t 01/05/2024    10:00:00.00\t ");

    explorer.SelectEntry(1);
    Settle(explorer);
    explorer.SelectLine(1);
    explorer.CopyUrl();
    EXPECT_EQ(view.clipboard, "/customers/1001/devices/A-1001/files/2/detections");
    const std::string destination = folder / "downloads";  // no trailing separator
    explorer.Download(destination);
    ASSERT_EQ(view.questions.size(), 1u);
    EXPECT_EQ(view.questions[0], "Folder\n    " + destination + "  \ndoes not exist.\nCreate it?");
    WaitIdle(explorer);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "Download done (< 1 kB)");
    EXPECT_EQ(view.closed, 1);
    EXPECT_EQ(explorer.OutputPath(), destination + "/TX_2.txt");
    EXPECT_EQ(setting::DownloadTarvexPath.Read(), destination);

    const auto lines = FileLines(explorer.OutputPath());
    ASSERT_EQ(lines.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(Fields(lines[i]), 17) << lines[i];
        EXPECT_EQ(lines[i].rfind(std::to_string(i) + ";20", 0), 0u) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - 7), ";A-1001") << lines[i];
    }
    // 08:30 UTC, written in Paris time.
    EXPECT_NE(lines[0].find(";2024-05-01;10:30:"), std::string::npos) << lines[0];
}

TEST_F(ExplorerTest, AnErrorDeviceIsShownAndStopsTheDevices) {
    auto& sim = StartCloud({"--fault", "devices:error"});
    std::string devices, error, logLine;
    ASSERT_EQ(FetchCustomerDevices(ConnectionTo(sim), devices, error, logLine), 0) << error;
    BoxFilesExplorer explorer(BoxFilesSource::ForCloud(devices), loop, view, ConnectionTo(sim));
    explorer.Open();
    EXPECT_TRUE(view.entries.empty());
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Error\n\naccount suspended");

    BoxFilesExplorer unreadable(BoxFilesSource::ForCloud("not json"), loop, view, ConnectionTo(sim));
    unreadable.Open();
    EXPECT_TRUE(view.entries.empty());
}

TEST_F(ExplorerTest, TheSizeIsShownInWholeKilobytesAndASmallFileIsNotNothing) {
    for (const auto& [size, shown] : {std::pair{2047, "Download done (1 kB)"}, std::pair{1023, "Download done (< 1 kB)"}}) {
        std::string body = R"([{"TranspCode": "2001", "Time": "2024-05-01T08:00:00Z"}])";
        body += std::string(static_cast<std::size_t>(size) - body.size(), ' ');
        OneShotHttpServer box(body);
        std::vector<std::unique_ptr<CDetectionFile>> files;
        files.push_back(BoxFile("12", 1, box.Url("/media/passings_12.txt")));
        view = RecordingExplorerView{};
        auto explorer = OpenBoxes(std::move(files));
        explorer->SelectLine(0);
        explorer->Download(folder.Path());
        WaitIdle(*explorer);
        EXPECT_EQ(box.RequestLine(), "GET /media/passings_12.txt HTTP/1.1");
        ASSERT_FALSE(view.messages.empty());
        EXPECT_EQ(view.messages.back().text, shown);
        EXPECT_EQ(FileLines(folder / "TX_12.txt"),
                  std::vector<std::string>{"0;2001;2024-05-01;10:00:00.000;;;;;;;;;;;;;31"});
    }
}

TEST_F(ExplorerTest, UnreadableTimesAreLeftOutAndFieldsCannotBeSplit) {
    OneShotHttpServer box(
        R"([{"TranspCode": "12;34", "Time": "2024-05-01T08:00:00.5Z"}, {"TranspCode": "99", "Time": "soon"},)"
        R"( {"Time": "2024-05-01T08:00:01Z"}, {"TranspCode": "7\r\n8", "Time": "2024-05-01T08:00:02Z"}])");
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(BoxFile("3", 4, box.Url("/f"), ""));
    auto explorer = OpenBoxes(std::move(files));
    explorer->SelectLine(0);
    explorer->Download(folder.Path() + "/");
    WaitIdle(*explorer);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text,
              "Download done (< 1 kB)\n2 detection(s) left out: no usable chip code (missing, over 63 characters, "
              "blanks) or unreadable time");
    const auto lines = FileLines(folder / "TX_3.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "0;12_34;2024-05-01;10:00:00.500;;;;;;;;;;;;;");
    EXPECT_EQ(lines[1], "3;7__8;2024-05-01;10:00:02.000;;;;;;;;;;;;;");
    for (const auto& line : lines) EXPECT_EQ(Fields(line), 17) << line;
}

TEST_F(ExplorerTest, ChipCodesTheImportCouldNotKeepAreLeftOutAndCounted) {
    // A code of 470 bytes was written, then cut by the import's line reader and lost
    // there without trace: it is refused here, where it enters, and counted.
    const std::string longCode(470, 'A');
    const std::string longest(63, 'B');
    const std::string download = R"([{"TranspCode": ")" + longCode + R"(", "Time": "2024-05-01T08:00:00Z"},)" +
                                 R"( {"TranspCode": ")" + longest + R"(", "Time": "2024-05-01T08:00:01Z"},)" +
                                 R"( {"TranspCode": ")" + longest + "C" + R"(", "Time": "2024-05-01T08:00:02Z"},)" +
                                 R"( {"TranspCode": "20 01", "Time": "2024-05-01T08:00:03Z"}])";
    DecoderOutput output;
    std::string error;
    ASSERT_TRUE(ConvertDetections(download, std::string(600, 'D'), output, error));
    EXPECT_EQ(output.written, 1);
    EXPECT_EQ(output.skipped, 3);
    EXPECT_EQ(output.lines, "1;" + longest + ";2024-05-01;10:00:01.000;;;;;;;;;;;;;" + std::string(63, 'D') + "\r\n");

    ASSERT_TRUE(ConvertDetections("#P;1;" + longCode + ";2024-05-01;08:00:00.000\n#P;2;2001;2024-05-01;08:00:01.000\n",
                                  "31", output, error));
    EXPECT_EQ(output.written, 1);
    EXPECT_EQ(output.skipped, 1);
}

TEST_F(ExplorerTest, TheBoxPassingLinesAreConvertedToo) {
    DecoderOutput output;
    std::string error;
    ASSERT_TRUE(ConvertDetections("#P;1;2024001;2024-05-01;08:00:00.12;x\r\n\r\nnoise\n#P;2;2024002;2024-05-01;08:00:01.000\n",
                                  "31", output, error));
    EXPECT_EQ(output.lines, "0;2024001;2024-05-01;08:00:00.120;;;;;;;;;;;;;31\r\n"
                            "2;2024002;2024-05-01;08:00:01.000;;;;;;;;;;;;;31\r\n");
    EXPECT_EQ(output.skipped, 1);
    EXPECT_FALSE(ConvertDetections(R"({"Detections": []})", "31", output, error));
    EXPECT_EQ(error, "Invalid JSON data string");
    EXPECT_FALSE(ConvertDetections("[[[", "31", output, error));
}

TEST_F(ExplorerTest, ABoxFileIsFetchedFromTheDecoderOwnFileServer) {
    const int filesPort = test::LoopbackPeer::FreePort();
    test::SimulatorProcess decoder("decoder", {"--files-port", std::to_string(filesPort)});
    ASSERT_TRUE(decoder.Running());
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(BoxFile("1002", 87, "http://127.0.0.1:" + std::to_string(filesPort) + "/media/passings_1002.txt"));
    auto explorer = OpenBoxes(std::move(files));
    explorer->SelectLine(0);
    explorer->Download(folder.Path());
    WaitIdle(*explorer);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text, "Download done (5 kB)");
    const auto lines = FileLines(folder / "TX_1002.txt");
    ASSERT_EQ(lines.size(), 87u);
    EXPECT_EQ(lines[0], "0;C00001;2024-05-02;09:00:00.000;;;;;;;;;;;;;31");
    EXPECT_EQ(lines[86], "86;C00087;2024-05-02;09:03:22.100;;;;;;;;;;;;;31");
}

TEST_F(ExplorerTest, DownloadChecksComeBeforeAnyRequest) {
    std::vector<std::unique_ptr<CDetectionFile>> files;
    files.push_back(BoxFile("5", 0, "http://127.0.0.1:1/never"));
    files.push_back(BoxFile("../x", 3, "http://127.0.0.1:1/never"));
    auto explorer = OpenBoxes(std::move(files));

    explorer->SelectLine(0);
    explorer->Download("   ");
    ASSERT_EQ(view.messages.size(), 1u);
    EXPECT_EQ(view.messages[0].text, "Specify a local destination folder!");
    explorer->Download(folder.Path());
    EXPECT_EQ(view.messages.back().text, "File 5 is empty!");
    EXPECT_FALSE(explorer->Busy());
    // A folder that cannot be made (a file stands in its way).
    test::WriteFile(folder / "plain", "x");
    explorer->Download(folder / "plain/sub");
    EXPECT_EQ(view.messages.back().text, "Cannot create folder\n    " + folder / "plain/sub" + "  \n");
    SetLanguage(Language::French);
    explorer->Download(folder.Path());
    EXPECT_EQ(view.messages.back().text, "Le fichier 5 est vide !");
    SetLanguage(Language::English);

    // A file id that would leave the folder never reaches a file name.
    explorer->SelectLine(1);
    explorer->Download(folder.Path());
    WaitIdle(*explorer);
    EXPECT_EQ(view.messages.back().text, "Download error\nInvalid identifier from the cloud or the box: \"../x\"");
    EXPECT_EQ(view.closed, -1);
    EXPECT_EQ(explorer->OutputPath(), "");

    // A folder the user chose not to create: the write fails and says so.
    view.answer = false;
    OneShotHttpServer box(R"([{"TranspCode": "1", "Time": "2024-05-01T08:00:00Z"}])");
    std::vector<std::unique_ptr<CDetectionFile>> more;
    more.push_back(BoxFile("6", 1, box.Url("/six")));
    view = RecordingExplorerView{};
    view.answer = false;
    auto second = OpenBoxes(std::move(more));
    second->SelectLine(0);
    second->Download(folder / "absent");
    WaitIdle(*second);
    ASSERT_FALSE(view.messages.empty());
    EXPECT_EQ(view.messages.back().text.rfind("Download error\n", 0), 0u) << view.messages.back().text;
    EXPECT_EQ(second->OutputPath(), "");
    struct stat info {};
    EXPECT_NE(::stat((folder / "absent").c_str(), &info), 0);
    second->Cancel();
    EXPECT_EQ(view.closed, 0);
}

TEST_F(ExplorerTest, ARunningRequestCanBeCancelled) {
    auto& sim = StartCloud({"--fault", "files:slow", "--slow-ms", "20000"});
    std::string devices, error, logLine;
    ASSERT_EQ(FetchCustomerDevices(ConnectionTo(sim), devices, error, logLine), 0) << error;
    BoxFilesExplorer explorer(BoxFilesSource::ForCloud(devices), loop, view, ConnectionTo(sim));
    explorer.Open();
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    loop.pumpUntil([&] { return explorer.Busy() || std::chrono::steady_clock::now() > limit; });
    ASSERT_TRUE(explorer.Busy());
    EXPECT_TRUE(view.busy);
    EXPECT_EQ(view.lines, std::vector<std::string>{"Looking for available files..."});
    EXPECT_FALSE(view.buttons.refresh || view.buttons.download);
    explorer.Cancel();
    EXPECT_EQ(view.closed, -1);
    WaitIdle(explorer);
    EXPECT_FALSE(view.busy);
    EXPECT_EQ(view.lines, std::vector<std::string>{"Cannot connect to Tarvex box: Request cancelled"});
    explorer.Cancel();
    EXPECT_EQ(view.closed, 0);
}

TEST_F(ExplorerTest, ClosingDuringARequestEndsIt) {
    auto& sim = StartCloud({"--fault", "files:slow", "--slow-ms", "20000"});
    std::string devices, error, logLine;
    ASSERT_EQ(FetchCustomerDevices(ConnectionTo(sim), devices, error, logLine), 0) << error;
    const auto started = std::chrono::steady_clock::now();
    {
        BoxFilesExplorer explorer(BoxFilesSource::ForCloud(devices), loop, view, ConnectionTo(sim));
        explorer.Open();
        explorer.Refresh();
        ASSERT_TRUE(explorer.Busy());
        explorer.Close();
    }
    // The posted outcome of the ended request finds no explorer and does nothing.
    loop.runFor(std::chrono::milliseconds(50));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(15));
}

TEST_F(ExplorerTest, ChoosingAFolderStoresIt) {
    BoxFilesExplorer explorer(BoxFilesSource::ForBoxes({}), loop, view, CloudConnection{});
    explorer.Open();
    explorer.ChooseFolder("/data/Race", "/data/race");
    EXPECT_EQ(setting::DownloadTarvexPath.Read(), GetDataFolder() + "/TARVEX");
    explorer.ChooseFolder("/data/other", "/data/race");
    EXPECT_EQ(view.destination, "/data/other/");
    EXPECT_EQ(setting::DownloadTarvexPath.Read(), "/data/other/");
}

}  // namespace
}  // namespace lv
