// Recovery benchmark: the reads a decoder kept in its memory during an outage (30,000
// of them, ten minutes at 50 reads/s) fetched and recorded through the one way in,
// while another box pushes live passings at 2,000/s; prints how long the recovery took
// and the live passings' p99 from send to journal before and during it.
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/EventLoop.h"
#include "app/GapRecovery.h"
#include "base/Environment.h"
#include "base/Log.h"
#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxHost.h"
#include "boxes/BoxThread.h"
#include "boxes/TarvexBox.h"
#include "cloud/http/HttpClient.h"
#include "core/DetectionJournal.h"
#include "core/DetectionRecorder.h"
#include "core/DetectionTable.h"
#include "support/PacedDecoder.h"
#include "support/SimulatorProcess.h"
#include "support/TempFolder.h"
#include "support/UseDataFolder.h"

using namespace lv;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kGapReads = 30000;
constexpr int kLiveRate = 2000;
constexpr int kLiveSeconds = 30;

// The box threads' way in: straight to the recorder.
class RecorderHost : public BoxHost {
public:
    explicit RecorderHost(DetectionRecorder& recorder) : recorder_(recorder) {}
    IntakeSettings CurrentIntakeSettings() const override { return {}; }
    uint64_t IntakeSettingsVersion() const override { return 0; }
    RecordResult Record(const Detection& detection) override { return recorder_.Record(detection); }
    void ForgetLastReads(int box) override { recorder_.ForgetLastReads(box); }
    void AlertLine(const std::string& text, bool) override { std::fprintf(stderr, "alert: %s\n", text.c_str()); }
    void PlaySound(Sound) override {}
    void PostBoxState(int, bool) override {}

private:
    DetectionRecorder& recorder_;
};

// When each live passing reached the journal.
class LiveTimes : public DetectionFollower {
public:
    void DetectionRecorded(const CQoxResult& record) override {
        if (record.label.rfind("LAT", 0) != 0) return;
        const auto now = Clock::now();
        std::lock_guard<std::mutex> hold(lock);
        recordedAt[record.label] = now;
    }
    std::mutex lock;
    std::map<std::string, Clock::time_point> recordedAt;
};

double P99(std::vector<double> delays) {
    if (delays.empty()) return -1;
    std::sort(delays.begin(), delays.end());
    return delays[delays.size() * 99 / 100];
}

// Reads in the decoder's stored file of the day.
std::size_t StoredReads(int filesPort) {
    HttpRequest request;
    request.url = "http://127.0.0.1:" + std::to_string(filesPort) + "/media/passings_1003.txt";
    const HttpResult result = HttpTransfer(request);
    return result.Ok() ? static_cast<std::size_t>(std::count(result.body.begin(), result.body.end(), '\n')) : 0;
}

bool Connect(CTarvexBox& box, int number, RecorderHost& host, int port) {
    box.number = number;
    box.AttachHost(&host);
    box.SetParameters("3" + std::to_string(number), "127.0.0.1", port);
    return InitializeBox(box) && StartBoxThread(host, box);
}

}  // namespace

int main() {
    setenv("TZ", "Europe/Paris", 0);
    signal(SIGPIPE, SIG_IGN);
    test::TempFolder folder;
    test::UseDataFolder(folder.Path());
    DetectionTable& table = DetectionTable::Instance();
    table.Journal().Open(MakeSessionFileName());

    // The decoder whose memory holds the gap: its reads made while nobody listened.
    test::SimulatorProcess memory("decoder", {"--keep-reading", "--rate", "5000", "--count", std::to_string(kGapReads),
                                              "--runners", "5000", "--files-port", "0"});
    if (!memory.Running() || memory.FilesPort() <= 0) {
        std::fprintf(stderr, "simulator did not start\n");
        return 1;
    }
    const CChrono gapStart(CChrono::kNowAbsolute);
    const auto filled = Clock::now() + std::chrono::seconds(60);
    while (StoredReads(memory.FilesPort()) < static_cast<std::size_t>(kGapReads) && Clock::now() < filled) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    setting::GetLocalFilePassings.Write("http://$BOXIP$:" + std::to_string(memory.FilesPort()) +
                                        "/media/passings_$FILEID$.txt");

    EventLoop loop;
    DetectionRecorder recorder(table);
    RecordingRules rules;
    recorder.SetRules(rules);
    LiveTimes live;
    recorder.AddFollower(&live);
    RecorderHost host(recorder);
    test::PacedDecoder pusher(kLiveRate, kLiveRate * kLiveSeconds);
    CTarvexBox gapBox;
    CTarvexBox liveBox;
    if (!Connect(gapBox, 1, host, memory.Port()) || !Connect(liveBox, 2, host, pusher.Port())) {
        std::fprintf(stderr, "boxes did not connect\n");
        return 1;
    }
    GapRecovery recovery(loop, recorder, [&](int box) { return box == 1 ? &gapBox : nullptr; }, [] { return true; });

    // Live passings for a while, then the outage of box 1 as its return finds it: its
    // last read before the decoder's first stored read, its first read after the last.
    loop.runFor(std::chrono::seconds(5));
    Detection read;
    read.source = DetectionSource::Decoder;
    read.box = 1;
    read.detectorId = "31";
    read.code = "BEFORE";
    read.instant = gapStart - CChrono(1, 0);
    recorder.Record(read);
    recovery.BoxLost(1);
    read.code = "AFTER";
    read.instant = CChrono(CChrono::kNowAbsolute);
    recorder.Record(read);
    // The recovery starts once the margin's live reads are in (GapRecovery::kSettleMs).
    const auto limit = Clock::now() + std::chrono::seconds(60);
    loop.pumpUntil([&] { return recovery.Completed() > 0 || Clock::now() > limit; });
    const GapRecovery::Outcome outcome = recovery.LastOutcome();
    const double seconds = std::chrono::duration<double>(outcome.ended - outcome.started).count();

    // The live passings sent while it ran, and those sent before the outage.
    std::vector<double> delaysBefore, delaysDuring;
    {
        std::lock_guard<std::mutex> hold(live.lock);
        for (int i = 0; i < pusher.Sent(); ++i) {
            auto it = live.recordedAt.find(test::PacedDecoder::Label(i));
            if (it == live.recordedAt.end()) continue;
            const double delay = std::chrono::duration<double, std::milli>(it->second - pusher.SentAt(i)).count();
            if (pusher.SentAt(i) >= outcome.started && pusher.SentAt(i) <= outcome.ended) delaysDuring.push_back(delay);
            if (pusher.SentAt(i) < outcome.started - std::chrono::milliseconds(GapRecovery::kSettleMs)) {
                delaysBefore.push_back(delay);
            }
        }
    }
    gapBox.cancelRequested = true;
    gapBox.Close();
    gapBox.JoinThread();
    liveBox.cancelRequested = true;
    liveBox.Close();
    liveBox.JoinThread();
    recovery.Stop();
    table.Journal().Close();

    std::printf("recovery: %zu reads of the gap fetched, %zu recorded, in %.2f s (%s)\n", outcome.reads,
                outcome.recorded, seconds, outcome.ok ? "ok" : outcome.error.c_str());
    std::printf("recovery: live p99 %.2f ms from send to journal at %d passings/s during it (%zu passings), "
                "%.2f ms before\n",
                P99(delaysDuring), kLiveRate, delaysDuring.size(), P99(delaysBefore));
    std::fflush(stdout);
    return 0;
}
