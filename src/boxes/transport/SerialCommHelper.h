#pragma once
// CSerialCommHelper: one serial port opened through termios (raw 8N1 at the given
// speed, no flow control, exclusive use), with a reader thread that drains the port
// into a bounded CSerialBuffer. A port whose device fails or vanishes (an adapter
// unplugged) is reported as failed: its reader thread ends and says why.
//
// Threads: Init/UnInit by the owner; Write from any thread (one write at a time);
// ReadUpTo by the box's one reader; the reader thread appends.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "boxes/transport/SerialBuffer.h"

namespace lv {

class CSerialCommHelper {
public:
    // States of the port object.
    enum State { kNotInitialised = 1, kInitialised = 2, kStarted = 3, kStopped = 4 };

    CSerialCommHelper() = default;
    virtual ~CSerialCommHelper();
    CSerialCommHelper(const CSerialCommHelper&) = delete;
    CSerialCommHelper& operator=(const CSerialCommHelper&) = delete;

    // Opens `path` (parity 0 none, 1 odd, 2 even; stop bits 1 or 2; byte size 5..8),
    // then starts the reader thread. 1 on success; 0 with the error text:
    // "Erreur de connexion au port %s : %s", "Erreur GetCommState pour le port %s : %s",
    // "Erreur setting time-outs pour le port %s : %s", "Exception catched for Port %s".
    int Init(const std::string& path, int baudRate, int parity, int stopBits, int byteSize,
             std::string& error);
    // Received data is kept from now on (state 3).
    void Start() { state_.store(kStarted); }
    // Received data is dropped from now on (state 4).
    void Stop() { state_.store(kStopped); }
    // Ends the reader thread and closes the port (state 1).
    void UnInit();

    // Writes all the bytes (state 3 only). The count written, or -1.
    int WriteBytes(const char* bytes, int length);
    // Appends to `out` what the buffer holds up to and including `delimiter`, waiting
    // up to `milliseconds` for more. 0 when the delimiter was reached, -1 on time-out,
    // -2 when not started or the port failed.
    int ReadUpTo(std::string& out, const std::string& delimiter, int milliseconds);

    // Raises or clears DTR (TIOCMBIS/TIOCMBIC). False when the call fails (a
    // pseudo-terminal has no modem lines) or the port is closed.
    bool SetDtr(bool on);

    int PortState() const { return state_.load(); }
    bool PortOpen() const { return portOpen_.load(); }
    // The device failed or vanished; why, in the "[#%d]= \"%s\"" form.
    bool PortFailed() const { return portFailed_.load(); }
    std::string FailureText() const;
    CSerialBuffer& Buffer() { return buffer_; }
    const CSerialBuffer& Buffer() const { return buffer_; }

    // "[#%d]= \"%s\"": an errno value and its message, trailing characters that are
    // neither letters nor digits removed.
    static std::string SystemErrorText(int code);

private:
    struct Port;
    std::shared_ptr<Port> CurrentPort() const;
    void ReaderLoop(std::shared_ptr<Port> port);
    void Fail(int code);

    std::atomic<int> state_{kNotInitialised};
    mutable std::mutex portLock_;
    std::shared_ptr<Port> port_;  // guarded by portLock_; closed with its last user
    std::thread reader_;
    std::atomic<bool> portOpen_{false};
    std::atomic<bool> portFailed_{false};
    mutable std::mutex failureLock_;
    std::string failureText_;  // guarded by failureLock_
    std::mutex writeLock_;
    std::mutex lifeLock_;      // Init and UnInit
    CSerialBuffer buffer_;
};

}  // namespace lv
