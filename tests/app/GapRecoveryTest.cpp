// A network decoder's outage leaves no gap: once it is back, the reads it kept in its
// memory meanwhile are fetched and recorded, each once, and a box that cannot give
// them is tried again at its next return.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/EventLoop.h"
#include "app/MainController.h"
#include "base/AtomicFile.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "boxes/PassingParser.h"
#include "cloud/http/HttpClient.h"
#include "core/ChipTable.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"
#include "support/ControllerFixture.h"
#include "support/SimulatorProcess.h"

namespace lv {
namespace {

// A read as the journal writes it: its chip and its time of day to the hundredth.
using ReadKey = std::pair<std::string, std::string>;

class GapRecoveryTest : public test::ControllerFixture<> {
protected:
    // The decoder simulator reading 50 chips a second whether or not anyone listens.
    std::unique_ptr<test::SimulatorProcess> StartDecoder(std::vector<std::string> options) {
        for (const char* option : {"--keep-reading", "--rate", "50", "--runners", "50", "--files-port", "0"}) {
            options.push_back(option);
        }
        auto decoder = std::make_unique<test::SimulatorProcess>("decoder", options);
        return decoder;
    }
    void Open(const test::SimulatorProcess& decoder, int filesPort) {
        DeclareBox(0, decoder.Port());
        WriteSettingInt("Settings", "GBoxReconnectSeconds", 60);
        ControllerFixture::Open();
        SetFilesPort(filesPort);
    }
    // Where the box serves its stored files (the start writes the default address back).
    void SetFilesPort(int port) {
        setting::GetLocalFilePassings.Write("http://$BOXIP$:" + std::to_string(port) +
                                            "/media/passings_$FILEID$.txt");
    }
    // Every read of the decoder's stored file of the day.
    std::vector<ReadKey> StoredReads(int filesPort) {
        HttpRequest request;
        request.url = "http://127.0.0.1:" + std::to_string(filesPort) + "/media/passings_1003.txt";
        const HttpResult result = HttpTransfer(request);
        EXPECT_TRUE(result.Ok()) << result.detail;
        std::vector<ReadKey> reads;
        std::size_t start = 0;
        while (start < result.body.size()) {
            std::size_t end = result.body.find('\n', start);
            if (end == std::string::npos) end = result.body.size();
            std::string line = result.body.substr(start, end - start);
            start = end + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            PassingRead read;
            if (ReadPassingLine(line, read)) reads.emplace_back(read.code, read.clockOfDay.FormatHundredths());
        }
        return reads;
    }
    // Every detection line of the journal, counted.
    std::map<ReadKey, int> JournalReads() {
        std::string content;
        ReadWholeFile(folder / "logfiles/session.dat", 64 << 20, content);
        std::map<ReadKey, int> reads;
        std::size_t start = 0;
        while (start < content.size()) {
            std::size_t end = content.find('\n', start);
            std::string line = content.substr(start, end - start);
            start = end + 1;
            std::vector<std::string> fields;
            for (std::size_t at = 0;;) {
                std::size_t tab = line.find('\t', at);
                fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
                if (tab == std::string::npos) break;
                at = tab + 1;
            }
            if (fields.size() == 6) ++reads[ReadKey(fields[2], fields[4])];
        }
        return reads;
    }
    // The stored reads from the first recorded one to the last: each recorded once.
    void ExpectEveryReadOnce(int filesPort) {
        const std::map<ReadKey, int> journal = JournalReads();
        const std::vector<ReadKey> stored = StoredReads(filesPort);
        ASSERT_FALSE(journal.empty());
        std::size_t first = 0;
        while (first < stored.size() && journal.count(stored[first]) == 0) ++first;
        std::size_t last = stored.size();
        while (last > first && journal.count(stored[last - 1]) == 0) --last;
        ASSERT_GT(last - first, 400u) << "too few reads to tell";
        for (std::size_t i = first; i < last; ++i) {
            auto found = journal.find(stored[i]);
            ASSERT_NE(found, journal.end()) << "missing " << stored[i].first << " " << stored[i].second;
            EXPECT_EQ(found->second, 1) << "twice " << stored[i].first << " " << stored[i].second;
        }
        for (const auto& [read, count] : journal) EXPECT_EQ(count, 1) << read.first << " " << read.second;
    }
};

TEST_F(GapRecoveryTest, TheReadsOfAnOutageComeBackFromTheDecodersMemoryOnce) {
    // Its connection cut for 10 s after 100 reads; it keeps reading meanwhile.
    auto decoder = StartDecoder({"--cut-after", "100", "--cut-seconds", "10"});
    ASSERT_TRUE(decoder->Running() && decoder->FilesPort() > 0);
    Open(*decoder, decoder->FilesPort());
    controller->ConnectAllBoxes();
    ASSERT_TRUE(PumpUntil([&] { return LogCount("Box reception failed") == 1; }, std::chrono::seconds(20)));
    ASSERT_TRUE(PumpUntil([&] { return LogCount("detections recovered from the box's memory") == 1; },
                          std::chrono::seconds(40)));
    EXPECT_EQ(LogCount("could not be fetched"), 0);
    // Some live reads after the return, then every read is in the journal once.
    loop.runFor(std::chrono::seconds(2));
    ExpectEveryReadOnce(decoder->FilesPort());
}

TEST_F(GapRecoveryTest, ABoxThatCannotGiveItsReadsIsTriedAgainAtItsNextReturn) {
    // Each connection closed after 400 lines: an outage after every 8 s of reads.
    auto decoder = StartDecoder({"--close-after", "400"});
    ASSERT_TRUE(decoder->Running() && decoder->FilesPort() > 0);
    // Its files first asked where nothing answers.
    Open(*decoder, 1);
    WriteSettingInt("Settings", "GBoxReconnectSeconds", 60);
    controller->ConnectAllBoxes();
    ASSERT_TRUE(PumpUntil([&] { return LogCount("could not be fetched from the box's memory") >= 1; },
                          std::chrono::seconds(40)));
    EXPECT_TRUE(PumpUntil([&] { return LogCount("tried again at its next return") >= 1; }, std::chrono::seconds(1)));
    EXPECT_EQ(LogCount("detections recovered"), 0);
    SetFilesPort(decoder->FilesPort());
    ASSERT_TRUE(PumpUntil([&] { return LogCount("detections recovered from the box's memory") >= 1; },
                          std::chrono::seconds(40)));
    // The first gap too: from the first loss on, nothing is missing (disconnected on
    // purpose before the next outage).
    controller->DisconnectAllBoxes();
    ExpectEveryReadOnce(decoder->FilesPort());
}

}  // namespace
}  // namespace lv
