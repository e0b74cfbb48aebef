#pragma once
// CTarvexBox: one configured box (slot 1 to 4) with its transport, its last-reads list,
// the flags its thread shares with the UI thread, and the synchronous command
// exchanges of the decoder protocol (send a command, wait for its response, initialise
// the box after connection, set its clock, ask its time).
//
// Threads: the UI thread and the box's own thread both call into a box. The flags are
// atomics; the pending passing lines and the responses handed over by the box thread
// sit behind the box's lock; the transport serialises its readers itself.
#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "boxes/transport/ComBox.h"
#include "core/DetectionRecords.h"

namespace lv {

class BoxHost;

class CTarvexBox {
public:
    static constexpr int kLastDetectionsCapacity = 50;
    static constexpr int kDefaultResponseSeconds = 5;

    CTarvexBox();
    // Stops the box thread if one runs (cancel, close, join), then disconnects and
    // deletes the transport.
    ~CTarvexBox();
    CTarvexBox(const CTarvexBox&) = delete;
    CTarvexBox& operator=(const CTarvexBox&) = delete;

    // --- Identity and the main window --------------------------------------------
    // Box number 1 to 4 (slot index + 1), 0 before configuration.
    std::atomic<int> number{0};
    // The main window the box reports to (log alerts, recording). May stay null in
    // tests of the exchanges: alert lines then go to the log at level 0.
    void AttachHost(BoxHost* host) { host_.store(host); }
    BoxHost* Host() const { return host_.load(); }

    // --- Transport (owned) ----------------------------------------------------------
    CComBox* Transport() const { return transport_.get(); }
    // Replaces the transport (the old one is disconnected and deleted). Only while no
    // box thread runs.
    void SetTransport(std::unique_ptr<CComBox> transport);
    std::string GetDescription() const;  // the transport's, empty without one
    void GetParameters(std::string& detectorId, std::string& host, int& port) const;
    void SetParameters(const std::string& detectorId, const std::string& host, int port);
    bool IsConfigured() const;
    bool IsInUse() const;
    bool IsPending() const;
    bool IsConnected() const;
    bool IsSerial() const;
    // Close of the transport (stop request + disconnect). False without a transport.
    bool Close();

    // --- Flags shared with the box thread ----------------------------------------
    std::atomic<bool> cancelRequested{false};  // ends a running wait and the thread
    std::atomic<bool> waitingResponse{false};  // a command exchange owns the reading
    std::atomic<bool> threadRunning{false};    // the box thread runs
    std::atomic<bool> usbBusy{false};
    std::atomic<bool> periodicPassingRequest{false};

    // The box's last reads for the repeated-read rule; touched by its thread only.
    CLastBoxDetectionList lastDetections{kLastDetectionsCapacity};
    // Asks for lastDetections to be emptied (reset of the detection list from the UI
    // thread): done at once without a thread, else by the thread before its next passing.
    void RequestClearLastDetections();
    bool TakeClearLastDetectionsRequest() { return clearLastDetections_.exchange(false); }

    // USB TimingBox state (used by its protocol).
    std::string epochReference;
    std::atomic<int> passingIndex{0};

    // --- Labels --------------------------------------------------------------------
    // "[<thread id>] Boîtier <n> <description>" (box thread, initialisation).
    std::string Label() const;
    // English "Box %d %s", French "[%d] Boîtier %d %s" (command exchanges).
    std::string ExchangeLabel() const;
    // English "Box %d %s", French "Boîtier %d %s" (clock setting, file listing).
    std::string CommandLabel() const;

    // --- Command exchanges ---------------------------------------------------------
    // Puts a command on the wire with its terminator. Errors (French only):
    // "Connexion non ouverte", "Erreur envoi de commande (%s) au boîtier" (the
    // transport is then disconnected), "Erreur écriture commande (%s) au boîtier".
    bool SendCommand(const std::string& command, std::string& error);
    // The same for a command code of DecoderProtocol.h ("(%d)" in the errors).
    bool SendCommandCode(int code, const std::string& argument, std::string& error);
    // Waits for the response to the command just sent: polls of 5 ms, given up after
    // `seconds` of empty polls (and in any case after twice that time); passings
    // received meanwhile go to the box's pending list, a response the box thread read
    // meanwhile is taken from it. True with the response text when the response
    // matches `expected`; false on no, an invalid or an unexpected response, or on
    // cancelRequested (which it clears first only when no box thread runs).
    bool WaitResponse(const std::string& expected, int seconds, std::string& response);
    // Connects the transport and, for a network decoder, sends SETPROTOCOL;2.0,
    // STARTOPERATION and SETPUSHPASSINGS;1;0, each awaited. True once connected.
    bool InitializeBox();
    // STOPOPERATION, SETTIME;<now>, STARTOPERATION, each awaited (network decoder).
    void SetBoxClock();
    // GETTIME, answered through the box thread.
    void RequestBoxTime();

    // The time-out of the waits of InitializeBox and SetBoxClock (5 s).
    void SetResponseSeconds(int seconds) { responseSeconds_.store(seconds); }
    int ResponseSeconds() const { return responseSeconds_.load(); }

    // --- Lines handed between the readers -------------------------------------------
    // Passing lines a command exchange read; the box thread processes them first.
    void QueuePendingPassing(std::string line);
    bool TakePendingPassing(std::string& line);
    std::size_t PendingPassingCount() const;
    // A response the box thread read instead of a command exchange (the exchange was
    // running, or its command had just been written). `reported`: the box thread
    // already logged it.
    void HandOverResponse(std::string response, int code, bool reported);
    // The earliest response handed over since the last command was written; older ones
    // are dropped.
    bool TakeHandedOverResponse(std::string& response, int& code, bool& reported);

    // --- The box thread's handle (see BoxThread.h) ----------------------------------
    // Clears cancelRequested, sets threadRunning and starts `body` on a new thread
    // (which clears threadRunning as its last act). False (nothing started) while a
    // previous thread still runs; a finished one is joined first.
    bool StartThread(std::function<void()> body);
    // Waits for the box thread to end (it must have been asked to stop).
    void JoinThread();

private:
    struct HandedResponse {
        std::string text;
        int code = 0;
        bool reported = false;
        std::chrono::steady_clock::time_point received;
    };
    // The alert line of the host, or the log at level 0 without one.
    void Alert(const std::string& text) const;
    bool SendText(const std::string& command, const std::string& errorName, std::string& error);

    std::unique_ptr<CComBox> transport_;
    std::atomic<BoxHost*> host_{nullptr};
    std::atomic<int> responseSeconds_{kDefaultResponseSeconds};
    std::atomic<bool> clearLastDetections_{false};

    mutable std::mutex linesLock_;
    std::deque<std::string> pendingPassingLines_;         // guarded by linesLock_
    std::deque<HandedResponse> handedResponses_;          // guarded by linesLock_
    std::chrono::steady_clock::time_point lastSendStart_; // guarded by linesLock_

    std::mutex threadLock_;
    std::thread thread_;  // guarded by threadLock_
};

}  // namespace lv
