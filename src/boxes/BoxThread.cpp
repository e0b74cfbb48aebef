#include "boxes/BoxThread.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fmt/printf.h>
#include <thread>

#include "base/Log.h"
#include "base/Texts.h"
#include "base/WriteCombiner.h"
#include "boxes/BoxCommands.h"
#include "boxes/BoxHost.h"
#include "boxes/DecoderProtocol.h"
#include "boxes/PassingIntake.h"
#include "boxes/TarvexBox.h"
#include "boxes/UsbBoxProtocol.h"

namespace lv {

namespace {

std::atomic<int> g_runningBoxThreads{0};

// A box that sends nothing is waited for this long at a time (a disconnection or an
// exit closes the transport, which ends the wait at once).
constexpr int kIdleWaitMs = 50;
// While passings stream in, the thread reads what came every few milliseconds rather
// than waking for each line: four boxes at a mass start then cost a few hundred
// wake-ups a second, not thousands, and no line waits longer than this.
constexpr int kStreamGatherMs = 3;
constexpr int kSerialPauseMs = 100;
constexpr int kAttemptPauses = 6;
constexpr int kAttemptPauseMs = 500;
constexpr int kCancelCheckMs = 50;
// Most lines taken from what is already received before their file lines are waited for.
constexpr int kBurstLines = 64;

using SteadyClock = std::chrono::steady_clock;

// Sleeps, waking early when a cancel arrives.
void PauseUnlessCancelled(const CTarvexBox& box, int milliseconds) {
    auto until = SteadyClock::now() + std::chrono::milliseconds(milliseconds);
    while (!box.cancelRequested.load()) {
        auto left = until - SteadyClock::now();
        if (left <= SteadyClock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<SteadyClock::duration>(left, std::chrono::milliseconds(kCancelCheckMs)));
    }
}

// The thread's end, whichever path leads there: the box's counters and flags.
class ThreadPresence {
public:
    explicit ThreadPresence(CTarvexBox& box) : box_(box) {
        ++g_runningBoxThreads;
        box_.threadRunning.store(true);
    }
    ~ThreadPresence() {
        --g_runningBoxThreads;
        box_.threadRunning.store(false);  // last touch of the box by this thread
    }
    ThreadPresence(const ThreadPresence&) = delete;
    ThreadPresence& operator=(const ThreadPresence&) = delete;

private:
    CTarvexBox& box_;
};

// Automatic connection attempts for GBoxReconnectSeconds. False when the thread is to
// end (cancelled, or the period ran out).
bool ConnectWithinPeriod(BoxHost& host, CTarvexBox& box, CComBox& transport,
                         const IntakeSettings& settings) {
    Log(0, fmt::sprintf(Tr("+ %s : Attempt to connect during %d seconds",
                           "+ %s : Tentative de connexion automatique pendant %d secondes"),
                        box.Label(), settings.reconnectSeconds));
    transport.SetPending(true);
    auto start = SteadyClock::now();
    while (!InitializeBox(box)) {
        for (int pause = 0; pause < kAttemptPauses; ++pause) {
            if (box.cancelRequested.load()) {
                transport.SetPending(false);
                Log(0, fmt::sprintf(Tr("+ %s : Thread stopped. Could not connect",
                                       "+ %s : Arrêt thread. Erreur de connexion"),
                                    box.Label()));
                return false;
            }
            host.PostBoxState(box.number.load(), false);
            PauseUnlessCancelled(box, kAttemptPauseMs);
        }
        if (SteadyClock::now() - start > std::chrono::seconds(settings.reconnectSeconds)) {
            transport.SetPending(false);
            host.PostBoxState(box.number.load(), false);
            return false;
        }
    }
    Log(0, fmt::sprintf(Tr("+ %s : Connection successful", "+ %s : Connexion effectuée avec succès"),
                        box.Label()));
    host.PostBoxState(box.number.load(), false);
    host.PlaySound(Sound::BoxConnected);
    transport.SetPending(false);
    return true;
}

enum class PassOutcome { Idle, Processed, Ended };

// The end of acquisition: a requested disconnection, or a box that stopped answering.
// The transport is disconnected before the state goes out, so that the main window
// finds the box no longer connected when it handles the message.
PassOutcome EndOfReception(BoxHost& host, CTarvexBox& box, CComBox& transport) {
    transport.Disconnect();
    if (transport.IsStopRequested() || box.cancelRequested.load()) {
        host.PostBoxState(box.number.load(), false);
        Log(0, fmt::sprintf(Tr("+ %s : Disconnection requested", "+ %s : Déconnexion demandée"),
                            box.Label()));
    } else {
        host.PostBoxState(box.number.load(), true);
        host.AlertLine(fmt::sprintf(Tr("## %s : Box reception failed", "## %s : Erreur de réception boîtier"),
                                    box.Label()),
                       false);
    }
    return PassOutcome::Ended;
}

// One read-and-process step. Passings go to the intake in order, exchange or not; a
// response (or an unreadable line, or the loss of the connection) goes to the command
// exchange waiting for it, else to the intake.
PassOutcome ReadAvailable(BoxHost& host, CTarvexBox& box, CComBox& transport, CPassingIntake& intake,
                          int waitMs) {
    ResponseRoute& route = box.Route();
    try {
        int ready = transport.WaitForData(waitMs);
        if (ready == 0) return PassOutcome::Idle;
        auto start = std::chrono::steady_clock::now();
        std::string line;
        int count = transport.ReadLine(line);
        // A line feed alone is no reception failure: the connection still stands.
        if (count == 0 && transport.IsConnected()) return PassOutcome::Idle;
        if (count <= 0) {
            route.RouteLoss(box.cancelRequested);
            return EndOfReception(host, box, transport);
        }
        ReceivedLine received = ClassifyReceivedLine(line, transport.LastLineIncomplete());
        route.NoteLine();
        const bool routable = received.kind == ReceivedKind::Response || received.kind == ReceivedKind::Invalid;
        if (routable && route.Route(received, box.cancelRequested)) return PassOutcome::Processed;
        intake.ProcessReceived(received, start);
        return PassOutcome::Processed;
    } catch (const std::exception&) {
        Log(0, fmt::sprintf("+ %s : Exception caught in ReadAvailable", box.Label()));
        route.RouteLoss(box.cancelRequested);
        return EndOfReception(host, box, transport);
    }
}

// One read (which may wait for the box), then the lines already received behind it, up
// to kBurstLines. Their journal and log lines are queued in order as each is processed
// but waited for once, when the burst ends: every line of a burst is in its file before
// this thread reads further from its box. Those lines were only in this process's
// memory meanwhile, as they were while their call waited for a write, so a crash loses
// no more than before; a detection may reach the timing application before its journal
// line reaches the file, never more than a burst earlier.
// `full`: the burst stopped at its limit with lines still waiting.
PassOutcome ReadBurst(BoxHost& host, CTarvexBox& box, CComBox& transport, CPassingIntake& intake, int waitMs,
                      bool* full = nullptr) {
    WriteCombiner::DeferredWaits burst;
    // Nothing is deferred yet while this first read waits.
    PassOutcome outcome = ReadAvailable(host, box, transport, intake, waitMs);
    int taken = 1;
    for (; outcome == PassOutcome::Processed && taken < kBurstLines; ++taken) {
        if (box.cancelRequested.load() || !(transport.HasReceivedLine() || transport.MoreLikelyWaiting())) break;
        outcome = ReadAvailable(host, box, transport, intake, 0);
    }
    if (full) *full = outcome == PassOutcome::Processed && (taken >= kBurstLines || transport.MoreLikelyWaiting());
    return outcome;
}

// One periodic reading of a USB TimingBox's passings. This thread stops routing for it,
// so that the reading's exchanges read the port themselves (in the box's turn, after
// any exchange under way). False when the box was lost meanwhile: the thread ends.
bool ReadPassingsPeriodically(BoxHost& host, CTarvexBox& box, CComBox& transport) {
    box.Route().EndRouting();
    GetPassings(box);
    box.BeginRouting();
    if (box.cancelRequested.load()) {
        EndOfReception(host, box, transport);
        return false;
    }
    if (!transport.IsConnected()) {
        EndOfReception(host, box, transport);
        return false;
    }
    return true;
}

// The box thread's reading, from its start to its end: exchanges started meanwhile
// wait for the lines it routes to them, and read by themselves again afterwards.
class RoutingPeriod {
public:
    explicit RoutingPeriod(CTarvexBox& box) : box_(box) { box_.BeginRouting(); }
    ~RoutingPeriod() { box_.Route().EndRouting(); }
    RoutingPeriod(const RoutingPeriod&) = delete;
    RoutingPeriod& operator=(const RoutingPeriod&) = delete;

private:
    CTarvexBox& box_;
};

}  // namespace

int RunningBoxThreads() { return g_runningBoxThreads.load(); }

void BoxThread(BoxHost& host, CTarvexBox& box) {
    ThreadPresence presence(box);
    CComBox* transport = box.Transport();
    if (transport == nullptr) return;
    const IntakeSettings settings = host.CurrentIntakeSettings();

    if (!transport->IsConnected() && !ConnectWithinPeriod(host, box, *transport, settings)) return;

    Log(80, fmt::sprintf(Tr("+ %s : Starting thread - check-ms: %dms", "+ %s : Démarrage thread - check-ms: %dms"),
                         box.Label(), settings.readMsDelta));
    {
        // From here this thread is the transport's only reader: an exchange that reads
        // by itself ends first, and the intake touches the last reads alone.
        RoutingPeriod routing(box);
        // The repeated-read rule does not span a reconnection.
        host.ForgetLastReads(box.number.load());
        CPassingIntake intake(host, box);

        bool streaming = false;
        unsigned int serialPasses = 0;
        for (;;) {
            if (box.cancelRequested.load()) {
                EndOfReception(host, box, *transport);
                break;
            }
            // The pause follows GTarvexReadMsDelta while the box stays connected.
            intake.FollowSettings();
            // The USB TimingBox asked for its passings about every SecondsBetweenSerialRead
            // seconds. Between requests only what it sends unasked (or a port that
            // failed) is read, so that an unplugged adapter is noticed at once.
            if (transport->IsSerial()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(kSerialPauseMs));
                if (!box.periodicPassingRequest.load()) {
                    if (ReadBurst(host, box, *transport, intake, 0) == PassOutcome::Ended) break;
                    continue;
                }
                const unsigned int every = 10u * static_cast<unsigned int>(intake.Settings().secondsBetweenSerialRead);
                if (every > 0 && ++serialPasses % every == 0) {
                    if (!ReadPassingsPeriodically(host, box, *transport)) break;
                } else if (transport->WaitForData(0) != 0) {
                    if (ReadBurst(host, box, *transport, intake, 0) == PassOutcome::Ended) break;
                }
                continue;
            }
            // A line after a quiet time is taken at once; the lines of a stream are
            // gathered for check-ms (at least kStreamGatherMs) and taken together; a box
            // that sends faster than that is read without a pause.
            if (streaming) {
                const int pauseMs = std::max(intake.Settings().readMsDelta, kStreamGatherMs);
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
            }
            bool full = false;
            PassOutcome outcome = ReadBurst(host, box, *transport, intake, kIdleWaitMs, &full);
            if (outcome == PassOutcome::Ended) break;
            streaming = outcome == PassOutcome::Processed && !full;
        }
        host.ForgetLastReads(box.number.load());
    }

    transport->Disconnect();
    Log(80, fmt::sprintf(Tr("+ %s : Thread stopped", "+ %s : Arrêt thread"), box.Label()));
    Log(80, fmt::sprintf(Tr("+ %s : Clear detections cache", "+ %s : Effacement du cache des détections"),
                         box.Label()));
}

bool StartBoxThread(BoxHost& host, CTarvexBox& box) {
    return box.StartThread([&host, &box] { BoxThread(host, box); });
}

}  // namespace lv
