#pragma once
// CTarvexBox: one configured box (slot 1 to 4) with its transport, the flags its thread
// shares with other threads, its labels and the sending of commands. What is done with
// a box sits above it: command exchanges (CommandExchange.h), the command sequences
// (BoxCommands.h, UsbBoxProtocol.h), its thread (BoxThread.h).
//
// Threads: the box's own thread is the only reader of its transport while it runs;
// any other thread may send commands and run command exchanges (CommandExchange.h),
// whose responses the box thread routes to them. The flags are atomics.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "boxes/ResponseRoute.h"
#include "boxes/transport/ComBox.h"

namespace lv {

class BoxHost;

class CTarvexBox {
public:
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
    std::atomic<bool> threadRunning{false};    // the box thread runs
    std::atomic<bool> usbBusy{false};
    std::atomic<bool> periodicPassingRequest{false};

    // --- Reads, for the window's view of each box ---------------------------------
    // Every passing the box sent (repeats and invalid ones included), and when the last
    // came (steady clock). Written by the box's reader, read by the UI thread.
    void NoteRead();
    uint64_t ReadCount() const { return readCount_.load(std::memory_order_relaxed); }
    // Zero time point when no read came yet.
    std::chrono::steady_clock::time_point LastReadAt() const {
        return std::chrono::steady_clock::time_point(
            std::chrono::steady_clock::duration(lastReadTicks_.load(std::memory_order_relaxed)));
    }

    // USB TimingBox state (used by its protocol). The reference "E;R" is read and
    // written only within the box's exchange turn.
    std::string epochReference;
    // In the box's own 32-bit index space: it wraps as the box's does.
    std::atomic<uint32_t> passingIndex{0};
    // Its passings wait for a usable reference, and the operator was told.
    std::atomic<bool> usbWaitsForReference{false};
    // The port refused to clear DTR at a start and it was said (once: many adapters
    // have no DTR line).
    std::atomic<bool> usbDtrRefusalReported{false};

    // --- Labels --------------------------------------------------------------------
    // "[<thread id>] Boîtier <n> <description>" (box thread, initialisation).
    std::string Label() const;
    // English "Box %d %s", French "[%d] Boîtier %d %s" (command exchanges).
    std::string ExchangeLabel() const;
    // English "Box %d %s", French "Boîtier %d %s" (clock setting, file listing).
    std::string CommandLabel() const;

    // --- Commands -------------------------------------------------------------------
    // Puts a command on the wire with its terminator, without waiting for a response
    // (the box thread's intake reports it; CommandExchange waits for one). Waits for a
    // running command exchange of the box to end first (not from the box thread).
    // Errors (French only): "Connexion non ouverte", "Erreur envoi de commande (%s) au
    // boîtier" (the transport is then disconnected), "Erreur écriture commande (%s) au
    // boîtier".
    bool SendCommand(const std::string& command, std::string& error);
    // The same for a command code of DecoderProtocol.h ("(%d)" in the errors).
    bool SendCommandCode(int code, const std::string& argument, std::string& error);
    // The outcome of the last InitializeBox (BoxCommands.h): the connection was lost
    // during its commands (the decoder closed or reset it), as opposed to a connection
    // that never opened.
    bool HandshakeLost() const { return handshakeLost_.load(); }
    void SetHandshakeLost(bool lost) { handshakeLost_.store(lost); }
    // Set for unattended connection rounds: a failed connection goes to the log file
    // only (level 80) instead of the alert line; the round's outcome is said once.
    std::atomic<bool> quietConnectFailures{false};
    // The alert line of the host, or the log at level 0 without one.
    void Alert(const std::string& text) const;

    // The time-out of the waits of InitializeBox and SetBoxClock (5 s).
    void SetResponseSeconds(int seconds) { responseSeconds_.store(seconds); }
    int ResponseSeconds() const { return responseSeconds_.load(); }

    // Where the box thread hands responses to a waiting command exchange.
    ResponseRoute& Route() { return route_; }
    // The box thread's start of reading: waits for an exchange that reads by itself to
    // end, then routes (see ResponseRoute).
    void BeginRouting();

    // --- The box thread's handle (see BoxThread.h) ----------------------------------
    // Clears cancelRequested, sets threadRunning and starts `body` on a new thread
    // (which clears threadRunning as its last act). False (nothing started) while a
    // previous thread still runs; a finished one is joined first.
    bool StartThread(std::function<void()> body);
    // Waits for the box thread to end (it must have been asked to stop).
    void JoinThread();

private:
    friend class CommandExchange;
    // The sends themselves, for a caller that holds the exchange turn.
    bool SendText(const std::string& command, const std::string& errorName, std::string& error);
    bool SendCode(int code, const std::string& argument, std::string& error);

    std::unique_ptr<CComBox> transport_;
    std::atomic<BoxHost*> host_{nullptr};
    std::atomic<int> responseSeconds_{kDefaultResponseSeconds};
    std::atomic<uint64_t> readCount_{0};
    std::atomic<std::chrono::steady_clock::rep> lastReadTicks_{0};
    std::atomic<bool> handshakeLost_{false};

    std::mutex exchangeTurn_;  // one command exchange at a time (CommandExchange)
    ResponseRoute route_;

    std::mutex threadLock_;
    std::thread thread_;  // guarded by threadLock_
};

}  // namespace lv
