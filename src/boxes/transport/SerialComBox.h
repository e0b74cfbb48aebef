#pragma once
// CSerialComBox: the transport of a USB TimingBox, a serial port (a device path such as
// /dev/ttyUSB0, or a COMn name mapped to one, see SerialPortNames.h) opened at 19200
// baud, 8N1, no flow control. The box answers each command with a reply of one or more
// lines ended by a blank line: ReadLine returns one whole reply, its two line feeds
// included, and waits for it as long as its bytes keep coming (never a reply time-out
// of silence).
//
// Threads: as CComBox. The port's own reader thread fills the receive buffer.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "boxes/transport/ComBox.h"
#include "boxes/transport/SerialCommHelper.h"

namespace lv {

class CSerialComBox : public CComBox, public CSerialCommHelper {
public:
    static constexpr int kBaudRate = 19200;
    // The marker GetHandle reports while the port is open.
    static constexpr int kOpenHandle = 8559;
    // The end of a reply.
    static constexpr const char* kReplyEnd = "\n\n";
    // How long ReadLine waits, once a reply has begun, for its next byte: the time-out
    // of an exchange, counted from the last byte received.
    static constexpr int kDefaultReplyWaitMs = 5000;

    CSerialComBox() = default;
    ~CSerialComBox() override;

    bool Close() override;
    bool Disconnect() override;
    // One reply up to and including "\n\n". 0 when nothing came; a reply still
    // unfinished after the reply time-out of silence, or cut at the buffer's bound, is returned
    // marked incomplete (LastLineIncomplete); -1 when the port is closed, or failed
    // (device gone) with nothing left to hand out (the transport is then disconnected).
    int ReadLine(std::string& line) override;
    // 1 when bytes are held or the port failed, 0 when nothing came within
    // `milliseconds`, -1 when the port is not open.
    int WaitForData(int milliseconds) override;
    bool HasReceivedLine() const override;
    // "[COM4-31]": port name, detector id.
    std::string GetDescription() const override;
    int Write(const char* bytes, int length) override;
    using CComBox::Write;
    bool HasPort() const override;
    // Opens the port: the device of a COMn name, else the name itself as a path.
    bool Connect(std::string& error) override;
    bool IsConfigured() const override;
    bool IsInUse() const override;
    bool IsConnected() const override;
    // "<last component of the port name>-<port number>-<detector id>".
    std::string GetKey() const override;
    void SetParameters(const std::string& detectorId, const std::string& host, int port) override;
    void GetParameters(std::string& detectorId, std::string& host, int& port) const override;
    void SetHandle(int value) override;
    int GetHandle() const override { return handle_.load(); }
    bool IsSerial() const override { return true; }
    bool SetSerialDTR(bool on) override;

    std::string GetPortName() const;
    void SetReplyWaitMs(int milliseconds) { replyWaitMs_.store(milliseconds); }
    int ReplyWaitMs() const { return replyWaitMs_.load(); }

    // The DTR line's seam: when set, SetSerialDTR calls it instead of the port's ioctl
    // (tests record the edges of a synchronisation pulse this way).
    using DtrLine = std::function<bool(bool on)>;
    void SetDtrLine(DtrLine line);

private:
    std::string portName_ = "COM1";  // guarded by parametersLock_
    int portNumber_ = 0;             // guarded by parametersLock_
    std::atomic<int> handle_{0};
    std::atomic<int> replyWaitMs_{kDefaultReplyWaitMs};
    std::mutex readLock_;            // one ReadLine at a time
    mutable std::mutex dtrLock_;
    DtrLine dtrLine_;                // guarded by dtrLock_
};

}  // namespace lv
