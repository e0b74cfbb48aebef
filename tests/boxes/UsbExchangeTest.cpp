// The USB TimingBox exchanges against the box simulator on a pseudo-terminal: the
// initialisation, the synchronisation pulse, the passings by index, bad passings, and
// each exchange left unanswered, with a bad status or with an unreadable value line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "BoxTestSupport.h"
#include "base/Texts.h"
#include "boxes/BoxCommands.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbBoxProtocol.h"
#include "boxes/transport/SerialComBox.h"
#include "support/UsbBoxSimulator.h"

namespace lv {
namespace {

using SystemClock = std::chrono::system_clock;

long long NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(SystemClock::now().time_since_epoch()).count();
}

class UsbExchangeTest : public ::testing::Test {
protected:
    UsbExchangeTest() { SetLanguage(Language::English); }
    ~UsbExchangeTest() override { SetLanguage(Language::French); }

    void Start(const std::vector<std::string>& options) {
        sim = std::make_unique<test::UsbBoxSimulator>(options);
        ASSERT_TRUE(sim->Running());
        box.number = 1;
        box.SetTransport(std::make_unique<CSerialComBox>());
        box.AttachHost(&host);
        box.SetParameters("31", sim->Device(), 19200);
        box.SetResponseSeconds(2);
    }
    void Connect() {
        std::string error;
        ASSERT_TRUE(box.Transport()->Connect(error)) << error;
    }
    // The place of the first line containing `text` at or after `from`, -1 when none.
    int Find(const std::string& text, int from = 0) const {
        const std::vector<std::string> lines = log.Lines();
        for (int i = from; i < static_cast<int>(lines.size()); ++i) {
            if (lines[i].find(text) != std::string::npos) return i;
        }
        return -1;
    }
    // The box indices of the passings logged at level 100 ("%04d : <chip>;<index>;...").
    std::vector<unsigned> ProcessedIndices() const {
        std::vector<unsigned> indices;
        for (const std::string& line : log.Lines()) {
            std::size_t at = line.find(" : C0");
            if (at == std::string::npos || at < 4 || line.find("ChipId") != std::string::npos) continue;
            unsigned logged = 0, sent = 0;
            char chip[32];
            if (std::sscanf(line.c_str() + at - 4, "%4u : %31[^;];%x;", &logged, chip, &sent) == 3) {
                EXPECT_EQ(logged, sent) << line;
                indices.push_back(sent);
            }
        }
        return indices;
    }
    int Requests() const { return log.CountContaining(">>->> PASSINGGET;"); }
    // The next index to read, in the box's unsigned 32-bit space.
    uint32_t Index() const { return static_cast<uint32_t>(box.passingIndex.load()); }
    // Readings until one brings nothing (a periodic reading's rounds), at most `rounds`.
    int ReadUntilNothingNew(int rounds = 10) {
        int total = 0;
        for (int i = 0; i < rounds; ++i) {
            const int recorded = GetPassings(box);
            total += recorded;
            if (recorded == 0) break;
        }
        return total;
    }
    // Each index from `first` on exactly once, in order, `count` of them.
    void ExpectEachIndexOnce(unsigned first, unsigned count) {
        std::vector<unsigned> indices = ProcessedIndices();
        ASSERT_EQ(indices.size(), count) << log.Dump();
        for (unsigned i = 0; i < count; ++i) EXPECT_EQ(indices[i], first + i) << i;
    }
    // Readings until nothing is new bring every one of the `stored` passings, each once
    // and in order.
    void ExpectEveryStoredPassingOnce(unsigned stored, int rounds = 10) {
        ReadUntilNothingNew(rounds);
        EXPECT_EQ(host.RecordedCount(), stored) << log.Dump();
        ExpectEachIndexOnce(0, stored);
    }
    bool Alerted(const std::string& text) const {
        for (const auto& alert : host.Alerts()) {
            if (alert.first.find(text) != std::string::npos) return true;
        }
        return false;
    }
    // Lines ending with the box's label and the text of the present language.
    int Logged(const std::string& english, const std::string& french) const {
        const bool inEnglish = CurrentLanguage() == Language::English;
        const std::string label = std::string(inEnglish ? "Box 1 [" : "Boîtier 1 [") + sim->Device() + "-31]";
        return log.Count(label + " : " + (inEnglish ? english : french));
    }
    // An exchange that must fail, and the line it must log.
    struct Failing {
        std::function<bool()> run;
        std::string english;
        std::string french;
    };
    // Each exchange, in English then in French, fails and logs its own line once.
    void ExpectEachFailsWithItsLine(const std::vector<Failing>& exchanges) {
        for (Language language : {Language::English, Language::French}) {
            SetLanguage(language);
            for (const Failing& exchange : exchanges) {
                const int before = Logged(exchange.english, exchange.french);
                EXPECT_FALSE(exchange.run()) << exchange.english;
                EXPECT_EQ(Logged(exchange.english, exchange.french), before + 1)
                    << (language == Language::English ? exchange.english : exchange.french) << "\n"
                    << log.Dump();
            }
        }
        SetLanguage(Language::English);
    }

    LogCapture log{100};
    test::RecordingBoxHost host;
    std::unique_ptr<test::UsbBoxSimulator> sim;  // outlives the box's port
    CTarvexBox box;
};

TEST_F(UsbExchangeTest, InitialisationSequenceSynchronisesAnUnsynchronisedBox) {
    Start({"--rate", "0"});
    const long long before = NowMs();
    ASSERT_TRUE(InitializeBox(box));
    // In this order, each once.
    const char* steps[] = {"Initialized on " ,
                           "## SetSerialDTR failed...",
                           ": Initialize communication",
                           ">>->> ASCII",
                           ": Get USB TimingBox information",
                           ">>->> INFOGET;01",
                           ": DecoderID : A-",
                           ">>->> INFOGET;02",
                           ": Firmware version: 2.6",
                           ">>->> INFOGET;03",
                           ": Hardware version: 2.0",
                           ">>->> INFOGET;04",
                           ": Box Type: usb-timing-box",
                           ": Get USB TimingBox time",
                           ">>->> EPOCHREFGET",
                           ": USB TimingBox is not synchronized!",
                           ": Synchronization of USB TimingBox",
                           ": USB TimingBox synchronization",
                           ">>->> EPOCHREFSET;",
                           "SetSerialDTR failed...",
                           ": USB TimingBox synchronized",
                           ": StartAcquisition done"};
    int at = 0;
    for (const char* step : steps) {
        int found = Find(step, at);
        ASSERT_GE(found, 0) << "missing after line " << at << ": " << step << "\n" << log.Dump();
        at = found + 1;
    }
    EXPECT_FALSE(log.HasContaining("too low"));
    // The reference is the announced second and the counter there.
    unsigned epoch = 0, ticks = 0;
    ASSERT_EQ(std::sscanf(box.epochReference.c_str(), "%x;%x", &epoch, &ticks), 2);
    EXPECT_GE(static_cast<long long>(epoch) * 1000, before);
    EXPECT_TRUE(box.IsConnected());
    EXPECT_FALSE(box.usbBusy.load());
    // A port without DTR is said once, not at every start.
    ASSERT_TRUE(InitializeBox(box));
    EXPECT_EQ(log.Count("## SetSerialDTR failed..."), 1);
}

TEST_F(UsbExchangeTest, FirmwareBelowTwoPointFiveIsWarnedAbout) {
    for (int firmware : {24, 25}) {
        Start({"--rate", "0", "--synchronised", "--firmware", std::to_string(firmware)});
        ASSERT_TRUE(InitializeBox(box));
        // A synchronised box is not synchronised again.
        EXPECT_FALSE(log.HasContaining(">>->> EPOCHREFSET"));
        const std::string warning = "Firmware version of USB TimingBox is too low (2.4). Version 2.5 requested!";
        EXPECT_EQ(log.CountContaining(warning), 1) << firmware;
        box.Transport()->Disconnect();
        sim.reset();
    }
}

TEST_F(UsbExchangeTest, SynchronisationPulsesDtrAtTheAnnouncedSecond) {
    Start({"--rate", "0"});
    Connect();
    struct Edge {
        bool on;
        long long atMs;
    };
    std::mutex lock;
    std::vector<Edge> edges;
    static_cast<CSerialComBox*>(box.Transport())->SetDtrLine([&](bool on) {
        std::lock_guard<std::mutex> guard(lock);
        edges.push_back({on, NowMs()});
        return true;
    });
    const long long before = NowMs();
    ASSERT_TRUE(SynchronizeUsbBox(box));

    const int sent = Find(">>->> EPOCHREFSET;");
    ASSERT_GE(sent, 0);
    const std::string line = log.Lines()[sent];
    const std::string argument = line.substr(line.find("EPOCHREFSET;") + 12);
    ASSERT_EQ(argument.size(), 8u) << line;  // "%8x"
    const long long second = std::stoll(argument, nullptr, 16);
    // Two seconds ahead of the computer's clock when sent.
    EXPECT_GE(second, before / 1000 + 2);
    EXPECT_LE(second, NowMs() / 1000 + 2);

    std::lock_guard<std::mutex> guard(lock);
    ASSERT_EQ(edges.size(), 2u);
    EXPECT_TRUE(edges[0].on);
    EXPECT_FALSE(edges[1].on);
    // Raised once the computer's clock reached the announced second, held 200 ms.
    EXPECT_GE(edges[0].atMs, second * 1000);
    EXPECT_GE(edges[1].atMs - edges[0].atMs, 200);
    EXPECT_FALSE(log.HasContaining("SetSerialDTR failed"));
    unsigned epoch = 0, ticks = 0;
    ASSERT_EQ(std::sscanf(box.epochReference.c_str(), "%x;%x", &epoch, &ticks), 2);
    EXPECT_EQ(static_cast<long long>(epoch), second);
}

TEST_F(UsbExchangeTest, FirstReadingStartsAtTheBoxsFirstIndex) {
    Start({"--rate", "0", "--synchronised", "--first-index", "2a", "--stored", "3"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 3);
    EXPECT_EQ(host.RecordedCount(), 3u);
    EXPECT_EQ(Index(), static_cast<uint32_t>(0x2d));
    EXPECT_EQ(Find(">>->> PASSINGGET;00000000"), Find(">>->> PASSINGGET;") );
    EXPECT_GE(Find(">>->> PASSINGGET;0000002a"), 0);
    EXPECT_EQ(ProcessedIndices(), (std::vector<unsigned>{0x2a, 0x2b, 0x2c}));
    // Nothing new: nothing recorded twice.
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_EQ(host.RecordedCount(), 3u);
    EXPECT_TRUE(log.HasContaining("No new passings for PASSINGGET(0000002d): 0;2a"));
    EXPECT_EQ(Index(), static_cast<uint32_t>(0x2d));
}

TEST_F(UsbExchangeTest, FullBatchesAreFollowedAtOnceAndAShortOneEnds) {
    Start({"--rate", "0", "--synchronised", "--stored", "127"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 127);
    // 64, then 63: two requests.
    EXPECT_EQ(Requests(), 2);
    EXPECT_GE(Find(">>->> PASSINGGET;00000040"), 0);
    EXPECT_EQ(Index(), static_cast<uint32_t>(127));
    std::vector<unsigned> indices = ProcessedIndices();
    ASSERT_EQ(indices.size(), 127u);
    for (unsigned i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], i);
    // The passings are a second apart, in order, as the box stored them.
    std::vector<test::RecordedDetection> recorded = host.Recorded();
    for (std::size_t i = 1; i < recorded.size(); ++i) {
        CChrono step = recorded[i].instant - recorded[i - 1].instant;
        EXPECT_EQ(step.Seconds(), step.Milliseconds() < 500 ? 1 : 0) << i;
    }
}

TEST_F(UsbExchangeTest, EmptyBoxNamingIndexZeroIsAskedOnce) {
    Start({"--rate", "0", "--synchronised"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_EQ(Requests(), 1);
    EXPECT_TRUE(log.HasContaining("No new passings for PASSINGGET(00000000): 0;0"));
    EXPECT_EQ(Index(), static_cast<uint32_t>(0));
}

TEST_F(UsbExchangeTest, ShortBatchIsAskedAgainFromItsFirstMissingPassing) {
    Start({"--rate", "0", "--synchronised", "--stored", "64", "--short-batch", "10"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 10);
    EXPECT_EQ(Index(), static_cast<uint32_t>(10));
    EXPECT_TRUE(log.HasContaining("PASSINGGET(00000000) announced 64 passing(s), 10 received"));
    EXPECT_EQ(GetPassings(box), 10);
    EXPECT_EQ(Index(), static_cast<uint32_t>(20));
    std::vector<unsigned> indices = ProcessedIndices();
    ASSERT_EQ(indices.size(), 20u);
    for (unsigned i = 0; i < indices.size(); ++i) EXPECT_EQ(indices[i], i);
}

TEST_F(UsbExchangeTest, MalformedPassingLinesStoredSoAreAskedAgainThenLeftOut) {
    Start({"--rate", "0", "--synchronised", "--stored", "10", "--malformed-every", "5"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    GetPassings(box);
    EXPECT_EQ(host.RecordedCount(), 8u);
    // Each malformed line is asked for three times, then left out by name.
    EXPECT_EQ(log.CountContaining("Invalid passing format. Missing components. 11 found, 12 expected: C0"), 6);
    EXPECT_EQ(log.CountContaining(": PASSINGGET(00000004): passing 00000004 unreadable; asked again from 00000004"), 1);
    EXPECT_EQ(log.CountContaining("Passing 00000004 unreadable in 3 requests: left out, the reading goes on from 00000005"), 1);
    EXPECT_EQ(log.CountContaining("Passing 00000009 unreadable in 3 requests: left out, the reading goes on from 0000000a"), 1);
    EXPECT_EQ(Index(), 10u);
}

// One line damaged in transit in every second batch: asked again, nothing lost.
TEST_F(UsbExchangeTest, DamagedLineInABatchIsAskedAgainAndNoPassingIsLost) {
    Start({"--rate", "0", "--synchronised", "--stored", "200", "--garble-every", "2"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    ExpectEveryStoredPassingOnce(200);
    EXPECT_EQ(Index(), 200u);
    // What was asked again is in the log, by index.
    EXPECT_GE(log.CountContaining("unreadable; asked again from 000000"), 1);
    EXPECT_FALSE(log.HasContaining("left out"));
}

// A line of noise among the passings of every second batch: the last passing of the
// batch is not pushed out.
TEST_F(UsbExchangeTest, NoiseLineInABatchPushesNoPassingOut) {
    Start({"--rate", "0", "--synchronised", "--stored", "200", "--extra-every", "2"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    ExpectEveryStoredPassingOnce(200);
    EXPECT_EQ(Index(), 200u);
    EXPECT_GE(log.CountContaining("unreadable; asked again from 000000"), 1);
}

// A box whose memory started again (a reset, a replacement) is read from 0 again, and
// the operator is told.
TEST_F(UsbExchangeTest, MemoryThatStartsAgainIsReadAgainFromZero) {
    Start({"--rate", "0", "--synchronised", "--stored", "100", "--memory-reset", "2:37"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 100);
    EXPECT_EQ(Index(), 100u);
    // The box now holds 37 new passings from index 0.
    ReadUntilNothingNew();
    EXPECT_EQ(host.RecordedCount(), 137u) << log.Dump();
    EXPECT_EQ(Index(), 37u);
    EXPECT_TRUE(Alerted("The USB TimingBox holds 37 passing(s) (from index 00000000), fewer than the index 00000064 "
                        "asked: its memory started again; its passings are read again from index 0"))
        << log.Dump();
    // A box with nothing new is not taken for one that started again.
    const std::size_t alerts = host.Alerts().size();
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_EQ(host.Alerts().size(), alerts);
    EXPECT_TRUE(log.HasContaining("No new passings for PASSINGGET(00000025)"));
}

TEST_F(UsbExchangeTest, PassingsWithoutAUsableReferenceWaitForOneAndTheOperatorIsTold) {
    Start({"--rate", "0", "--unsynchronised", "--stored", "3"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(box.epochReference, "0;0");
    GetPassings(box);
    // Not recorded with a made-up time, and read again later: the reference is asked
    // for again (and set, as at initialisation) at each reading meanwhile.
    EXPECT_EQ(host.RecordedCount(), 0u);
    EXPECT_EQ(Index(), 0u);
    box.epochReference = "not a reference";
    GetPassings(box);
    EXPECT_EQ(host.RecordedCount(), 0u);
    EXPECT_EQ(log.CountContaining(">>->> EPOCHREFSET;"), 2);
    const std::string waiting = "USB TimingBox without a usable time reference: its passings wait, the reference is asked for again";
    EXPECT_TRUE(Alerted(waiting)) << log.Dump();
    EXPECT_EQ(host.Alerts().size(), 1u);

    box.epochReference = "60000000;0";
    EXPECT_EQ(GetPassings(box), 3);
    EXPECT_EQ(host.RecordedCount(), 3u);
    EXPECT_EQ(Index(), 3u);
    EXPECT_TRUE(Alerted("USB TimingBox time reference received: its waiting passings are read"));
}

// The first answer to EPOCHREFGET comes after its wait and after the synchronisation's:
// every reply after it would come one command late.
TEST_F(UsbExchangeTest, LateReferenceAnswerStillLeadsToRecordedPassings) {
    Start({"--rate", "0", "--synchronised", "--stored", "5", "--late", "EPOCHREFGET=7000"});
    ASSERT_TRUE(InitializeBox(box));
    ExpectEveryStoredPassingOnce(5, 4);
}

// 200 KB lines of noise before the first answers, the synchronisation's included.
TEST_F(UsbExchangeTest, NoiseAtConnectionStillLeadsToRecordedPassings) {
    Start({"--rate", "0", "--synchronised", "--stored", "5", "--junk-lines", "7"});
    ASSERT_TRUE(InitializeBox(box));
    ExpectEveryStoredPassingOnce(5, 4);
}

// 400 bytes a second: a full batch takes several times the reply wait to arrive.
TEST_F(UsbExchangeTest, SlowLineStillDeliversAFullBatch) {
    Start({"--rate", "0", "--synchronised", "--stored", "70", "--bytes-per-second", "400"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    ExpectEveryStoredPassingOnce(70, 3);
}

// The box names 7fffffff as its first index: the index goes on past the signed range.
TEST_F(UsbExchangeTest, IndexGoesOnPastTheSignedRange) {
    Start({"--rate", "0", "--synchronised", "--first-index", "7fffffff", "--stored", "1"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 1);
    EXPECT_EQ(Index(), 0x80000000u);
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_TRUE(log.HasContaining("No new passings for PASSINGGET(80000000): 0;7fffffff")) << log.Dump();
    EXPECT_EQ(host.RecordedCount(), 1u);
}

TEST_F(UsbExchangeTest, TickCounterWrappingKeepsTimesInOrder) {
    // The counter passes from ffffffff to 0 half a second after start.
    Start({"--rate", "8", "--synchronised", "--ticks-start", "ffffff80", "--stored", "2"});
    const long long started = NowMs();
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    ASSERT_TRUE(test::WaitUntil([&] { return NowMs() - started > 1500; }));
    GetPassings(box);
    std::vector<test::RecordedDetection> recorded = host.Recorded();
    ASSERT_GE(recorded.size(), 8u);
    for (std::size_t i = 0; i < recorded.size(); ++i) {
        const long long ms = static_cast<long long>(recorded[i].instant.Seconds()) * 1000 +
                             recorded[i].instant.Milliseconds();
        EXPECT_GE(ms, started - 10000) << i;
        EXPECT_LE(ms, NowMs() + 1000) << i;
        if (i > 0) {
            EXPECT_TRUE(recorded[i - 1].instant <= recorded[i].instant) << i;
        }
    }
}

TEST_F(UsbExchangeTest, NoAnswerAndBadStatusLeaveTheStateAsItWas) {
    Start({"--rate", "0", "--synchronised", "--stored", "2", "--silent", "PASSINGGET", "--status", "EPOCHREFADJ1D=3"});
    box.SetResponseSeconds(1);
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    const std::string reference = box.epochReference;
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_TRUE(log.HasContaining("No response (1s) for PASSINGGET(00000000)"));
    EXPECT_EQ(Index(), static_cast<uint32_t>(0));
    AdjustEpochReference(box);
    EXPECT_TRUE(log.HasContaining("Error in Epoch Ref 1 day adjustment: EPOCHREFADJ1D;3"));
    UsbPassingInfo info;
    ASSERT_TRUE(GetPassingInfo(box, info));
    EXPECT_EQ(info.count, 2);
    EXPECT_EQ(info.firstIndex, 0);
    EXPECT_EQ(info.lastIndex, 1);
    EXPECT_TRUE(log.HasContaining("+++ Box 1 [" + sim->Device() + "-31] : 2 passing(s) in USB TimingBox"));
    EXPECT_TRUE(log.HasContaining("First passing on  "));
    EXPECT_TRUE(GetUsbBoxTime(box));
    EXPECT_TRUE(log.HasContaining("(time got at "));
}

TEST_F(UsbExchangeTest, NoAnswerLinesNameTheWaitGiven) {
    Start({"--rate", "0", "--synchronised", "--stored", "2", "--silent", "EPOCHREFGET", "--silent", "EPOCHREFADJ1D",
           "--silent", "TIMESTAMPGET", "--silent", "PASSINGINFOGET", "--silent", "INFOGET", "--silent", "PASSINGGET"});
    box.SetResponseSeconds(1);
    Connect();
    box.epochReference = "60000000;0";
    UsbPassingInfo info;
    info.count = 77;
    int value = 77;
    ExpectEachFailsWithItsLine({
        {[&] { return GetEpochReference(box); }, "No response (1s) for EPOCHREFGET",
         "Pas de réponse (1s) à EPOCHREFGET"},
        {[&] { return AdjustEpochReference(box); }, "No response (1s) for EPOCHREFADJ1D",
         "Pas de réponse (1s) à EPOCHREFADJ1D"},
        {[&] { return GetUsbBoxTime(box); }, "No response (1s) for TIMESTAMPGET", "Pas de réponse (1s) à TIMESTAMPGET"},
        {[&] { return GetPassingInfo(box, info); }, "No response (1s) for PASSINGINFOGET",
         "Pas de réponse (1s) à PASSINGINFOGET"},
        {[&] { return GetBoxInfo(box, kUsbFirmware, value); }, "No response (1s) for INFOGET",
         "Pas de réponse (1s) à INFOGET"},
        {[&] { return GetPassings(box) != 0; }, "No response (1s) for PASSINGGET(00000000)",
         "Pas de réponse (1s) à PASSINGGET(00000000)"},
    });
    EXPECT_FALSE(log.HasContaining("(5s)"));
    EXPECT_EQ(box.epochReference, "60000000;0");
    EXPECT_EQ(info.count, 77);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(Index(), static_cast<uint32_t>(0));
    EXPECT_FALSE(box.usbBusy.load());
}

TEST_F(UsbExchangeTest, UnreadableValueLinesAreReportedAndChangeNothing) {
    Start({"--rate", "0", "--synchronised", "--value", "EPOCHREFGET=zz", "--value", "EPOCHREFADJ1D=zz", "--value",
           "EPOCHREFSET=zz", "--value", "TIMESTAMPGET=zz", "--value", "PASSINGINFOGET=1;0;2;0", "--value",
           "INFOGET=1a"});
    Connect();
    box.epochReference = "60000000;0";
    UsbPassingInfo info;
    info.count = 77;
    int value = 77;
    // The English lines with and without a closing ")" are the box's own wording.
    ExpectEachFailsWithItsLine({
        {[&] { return GetEpochReference(box); }, "Error while decoding Epoch Ref: zz",
         "Erreur dans le décodage de l'Epoch Ref : zz"},
        {[&] { return AdjustEpochReference(box); }, "Error while decoding Epoch Ref: zz)",
         "Erreur dans le décodage de l'Epoch Ref : zz"},
        {[&] { return SynchronizeUsbBox(box); }, "Error while decoding Epoch Ref: zz)",
         "Erreur dans le décodage de l'Epoch Ref : zz"},
        {[&] { return GetUsbBoxTime(box); }, "Error while decoding timestamp response: zz",
         "Erreur dans le décodage de la demande d'heure : zz"},
        {[&] { return GetPassingInfo(box, info); }, "Error in format in response to PASSINGINFOGET: 1;0;2;0",
         "Erreur de format dans la réponse à PASSINGINFOGET : 1;0;2;0"},
        {[&] { return GetBoxInfo(box, kUsbFirmware, value); }, "Error in format in response to INFOGET: 1a",
         "Erreur de format dans la réponse à INFOGET : 1a"},
    });
    EXPECT_EQ(box.epochReference, "60000000;0");
    EXPECT_EQ(info.count, 77);
    EXPECT_EQ(value, 77);
    EXPECT_FALSE(log.HasContaining("EPOCH REF received"));
    EXPECT_FALSE(log.HasContaining("USB TimingBox synchronized"));
    EXPECT_FALSE(log.HasContaining("(time got at "));
    EXPECT_FALSE(log.HasContaining("INFOGET(2)"));
}

TEST_F(UsbExchangeTest, UnreadablePassingGetValueLinesEndTheReading) {
    // Passings held: the value line must give the batch's count.
    Start({"--rate", "0", "--synchronised", "--stored", "2", "--value", "PASSINGGET=2"});
    Connect();
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_TRUE(log.HasContaining(" : Error in format of response to PASSINGGET(00000000): 2"));
    EXPECT_EQ(Index(), static_cast<uint32_t>(0));
    EXPECT_EQ(host.RecordedCount(), 0u);
    box.Transport()->Disconnect();
    sim.reset();

    // Nothing at index 0: the value line must name the box's first index.
    Start({"--rate", "0", "--synchronised", "--value", "PASSINGGET=zz"});
    Connect();
    const int requests = Requests();
    EXPECT_EQ(GetPassings(box), 0);
    EXPECT_TRUE(log.HasContaining(" : Error in index in response to PASSINGGET(00000000): zz"));
    EXPECT_EQ(Requests(), requests + 1);
    EXPECT_EQ(Index(), static_cast<uint32_t>(0));
}

TEST_F(UsbExchangeTest, BadStatusIsReportedAndTheValueStillServesExceptForSynchronisation) {
    Start({"--rate", "0", "--synchronised", "--stored", "2", "--status", "EPOCHREFGET=3", "--status", "TIMESTAMPGET=3",
           "--status", "PASSINGINFOGET=3", "--status", "INFOGET=3", "--status", "EPOCHREFSET=3"});
    Connect();
    const std::string label = "+ Box 1 [" + sim->Device() + "-31] : ";
    ASSERT_TRUE(GetEpochReference(box));
    EXPECT_TRUE(log.Has(label + "Error in timestamp response status: EPOCHREFGET;3)"));
    unsigned epoch = 0, ticks = 0;
    ASSERT_EQ(std::sscanf(box.epochReference.c_str(), "%x;%x", &epoch, &ticks), 2);
    EXPECT_NE(epoch, 0u);
    EXPECT_TRUE(GetUsbBoxTime(box));
    EXPECT_TRUE(log.Has(label + "Error in timestamp response status: TIMESTAMPGET;3"));
    EXPECT_TRUE(log.HasContaining("(time got at "));
    UsbPassingInfo info;
    EXPECT_TRUE(GetPassingInfo(box, info));
    EXPECT_TRUE(log.Has(label + "Error in status response to PASSINGINFOGET: PASSINGINFOGET;3)"));
    EXPECT_EQ(info.count, 2);
    int value = 0;
    EXPECT_TRUE(GetBoxInfo(box, kUsbFirmware, value));
    EXPECT_TRUE(log.Has(label + "Error in status response to INFOGET: INFOGET;3)"));
    EXPECT_EQ(value, 26);

    // A refused synchronisation leaves the reference as it was.
    const std::string reference = box.epochReference;
    EXPECT_FALSE(SynchronizeUsbBox(box));
    EXPECT_TRUE(log.Has(label + "Error in synchronization response status: EPOCHREFSET;3)"));
    EXPECT_FALSE(log.HasContaining("USB TimingBox synchronized"));
    EXPECT_EQ(box.epochReference, reference);
}

}  // namespace
}  // namespace lv
