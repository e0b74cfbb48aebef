#pragma once
// CComBox: what a box's transport offers, whatever carries the lines (TCP socket to a
// network decoder, serial port to the USB TimingBox). The transport knows nothing of
// the decoder protocol: it writes raw text, returns received lines and reports its
// connection state. Errors come back as texts in an out parameter; nothing is logged
// or thrown here.
//
// Threads: one reader at a time (the box thread while it runs, else a command
// exchange) reads (WaitForData, ReadLine) and connects; other threads write, close and
// set parameters. A write may run while a read waits, and Close/Disconnect from
// another thread wakes a blocked reader instead of pulling the descriptor from under
// it.
#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>

namespace lv {

class CComBox {
public:
    // No line is ever longer than this: the excess of an over-long line is discarded
    // up to its line feed (the line is then returned cut, see LastLineIncomplete).
    static constexpr std::size_t kMaxLineBytes = 4096;

    CComBox() = default;
    virtual ~CComBox() = default;
    CComBox(const CComBox&) = delete;
    CComBox& operator=(const CComBox&) = delete;

    // Sets the stop request, then disconnects. True.
    virtual bool Close() = 0;
    // Drops the connection if any. True.
    virtual bool Disconnect() = 0;

    // One received line without its line feed (a carriage return stays in the text).
    // Returns the number of bytes stored in `line`; 0 when no whole line came within
    // the transport's short line wait (bytes received so far stay buffered); -1 when
    // not connected, when the peer closed or on a receive failure (the transport is
    // then disconnected). Lines received before the peer closed are all returned
    // before the -1.
    virtual int ReadLine(std::string& line) = 0;
    // True when the line returned by the last ReadLine is not a whole line: longer than
    // kMaxLineBytes (its start is returned, the rest discarded) or cut by the peer
    // closing. Callers report such a line as invalid input and never process it.
    bool LastLineIncomplete() const { return lastLineIncomplete_.load(); }

    // 1 when a ReadLine would return at once (a whole line is buffered, or the peer
    // closed), 0 when nothing complete came within `milliseconds`, -1 when not
    // connected or the wait failed.
    virtual int WaitForData(int milliseconds) = 0;
    // True when a whole line is already received, so that ReadLine returns it without
    // waiting or asking the system for more. A cheap look, for the box thread's bursts.
    virtual bool HasReceivedLine() const { return false; }
    // The last receive filled its whole chunk: more bytes are most likely waiting.
    virtual bool MoreLikelyWaiting() const { return false; }
    // True when the peer has closed (or the connection failed) and no whole line is
    // left to read: the connection is over even if no ReadLine has said so yet.
    virtual bool PeerHasClosed() const { return false; }

    // "[21:3601 31]" for TCP; "[COM4-31]" for serial.
    virtual std::string GetDescription() const = 0;
    // Writes all the bytes. Returns the count written, or a negative value on failure.
    virtual int Write(const char* bytes, int length) = 0;
    int Write(const std::string& text) { return Write(text.data(), static_cast<int>(text.size())); }

    virtual bool HasPort() const = 0;
    // Set by the box thread while it makes automatic connection attempts.
    virtual void SetPending(bool pending) { pending_.store(pending); }
    virtual bool IsPending() const { return pending_.load(); }
    // Set by Close, cleared by a successful Connect.
    virtual void SetStopRequested(bool stop) { stopRequested_.store(stop); }
    virtual bool IsStopRequested() const { return stopRequested_.load(); }

    // Stores the parameters, then connects.
    virtual bool Open(const std::string& detectorId, const std::string& host, int port,
                      std::string& error) {
        SetParameters(detectorId, host, port);
        return Connect(error);
    }
    virtual bool Connect(std::string& error) = 0;
    virtual bool IsConfigured() const = 0;
    // Connected, or a connection attempt period is running (pending).
    virtual bool IsInUse() const = 0;
    virtual bool IsConnected() const = 0;
    // "21-3601-31": last host component, port, detector id.
    virtual std::string GetKey() const = 0;
    virtual void SetParameters(const std::string& detectorId, const std::string& host,
                               int port) = 0;
    virtual void GetParameters(std::string& detectorId, std::string& host, int& port) const = 0;
    // Non-zero while connected (a connection serial number, not an OS handle).
    // SetHandle(0) disconnects; other values are ignored.
    virtual void SetHandle(int value) = 0;
    virtual int GetHandle() const = 0;
    virtual bool IsSerial() const = 0;
    // Raises or clears DTR; false when the transport has no such line or the call fails.
    virtual bool SetSerialDTR(bool on) = 0;

    // The detector identifier alone (part of the parameters).
    std::string GetDetectorId() const {
        std::lock_guard<std::mutex> guard(parametersLock_);
        return detectorId_;
    }

protected:
    // The part of a host text (or port name) after its last full stop, else all of it.
    static std::string LastComponent(const std::string& text);

    mutable std::mutex parametersLock_;
    std::string detectorId_ = "31";  // guarded by parametersLock_
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> pending_{false};
    std::atomic<bool> lastLineIncomplete_{false};
};

}  // namespace lv
