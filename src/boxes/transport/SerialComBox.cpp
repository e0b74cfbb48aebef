#include "boxes/transport/SerialComBox.h"

#include <chrono>
#include <thread>
#include <fmt/printf.h>

#include "boxes/transport/SerialPortNames.h"

namespace lv {

namespace {
// The step of ReadLine's wait, so that a stop request is seen soon.
constexpr int kReadStepMs = 10;
}  // namespace

CSerialComBox::~CSerialComBox() { Disconnect(); }

bool CSerialComBox::Close() {
    SetStopRequested(true);
    Stop();
    UnInit();
    handle_.store(0);
    return true;
}

bool CSerialComBox::Disconnect() {
    if (PortOpen() || PortState() != kNotInitialised) {
        Stop();
        UnInit();
    }
    handle_.store(0);
    return true;
}

bool CSerialComBox::Connect(std::string& error) {
    error.clear();
    Disconnect();
    const std::string path = SerialDevicePath(GetPortName());
    // The port always runs at the box's speed; the declared one is only checked.
    if (Init(path, kBaudRate, 0, 1, 8, error) != 1) return false;
    Start();
    handle_.store(kOpenHandle);
    SetStopRequested(false);
    return true;
}

int CSerialComBox::WaitForData(int milliseconds) {
    if (!PortOpen()) return -1;
    if (PortFailed() || Buffer().Available() > 0) return 1;
    if (Buffer().WaitForData(std::chrono::milliseconds(milliseconds > 0 ? milliseconds : 0))) return 1;
    return PortFailed() ? 1 : 0;
}

bool CSerialComBox::HasReceivedLine() const {
    return Buffer().HasDelimited(kReplyEnd);
}

int CSerialComBox::ReadLine(std::string& line) {
    std::lock_guard<std::mutex> guard(readLock_);
    line.clear();
    lastLineIncomplete_.store(false);
    if (!PortOpen()) return -1;
    CSerialBuffer& buffer = Buffer();
    // The wait ends after a silence, not after a total time: a slow line (a few hundred
    // bytes a second) still delivers a whole batch, and a line that falls silent
    // mid-reply is still given up. The reply's size is bounded by the buffer.
    const auto silence = std::chrono::milliseconds(ReplyWaitMs());
    auto deadline = std::chrono::steady_clock::now() + silence;
    std::size_t held = buffer.Available();
    uint64_t dropped = buffer.DroppedBytes();
    // The reply is taken once whole (or cut at the bound), so that it never grows past
    // the buffer's capacity here either.
    for (;;) {
        if (buffer.HasDelimited(kReplyEnd)) {
            const bool cut = buffer.ReadUpTo(line, kReplyEnd) == CSerialBuffer::Read::Cut;
            lastLineIncomplete_.store(cut);
            return static_cast<int>(line.size());
        }
        const std::size_t nowHeld = buffer.Available();
        const uint64_t nowDropped = buffer.DroppedBytes();
        if (nowHeld != held || nowDropped != dropped) {
            held = nowHeld;
            dropped = nowDropped;
            deadline = std::chrono::steady_clock::now() + silence;
        }
        const bool failed = PortFailed();
        const bool late = std::chrono::steady_clock::now() >= deadline;
        if (failed || late || IsStopRequested() || !PortOpen()) {
            // What came of an unfinished reply is handed out, marked as not whole.
            buffer.ReadUpTo(line, kReplyEnd);
            if (!line.empty()) {
                lastLineIncomplete_.store(true);
                return static_cast<int>(line.size());
            }
            if (failed) {
                Disconnect();
                return -1;
            }
            return PortOpen() ? 0 : -1;
        }
        buffer.WaitForData(std::chrono::milliseconds(kReadStepMs));
        if (buffer.Available() > 0 && !buffer.HasDelimited(kReplyEnd)) {
            // Bytes of an unfinished reply: wait for the rest without spinning.
            std::this_thread::sleep_for(std::chrono::milliseconds(kReadStepMs));
        }
    }
}

int CSerialComBox::Write(const char* bytes, int length) {
    if (!PortOpen()) return -1;
    return WriteBytes(bytes, length);
}

std::string CSerialComBox::GetDescription() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return fmt::sprintf("[%s-%s]", portName_, detectorId_);
}

std::string CSerialComBox::GetKey() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return fmt::sprintf("%s-%d-%s", LastComponent(portName_), portNumber_, detectorId_);
}

bool CSerialComBox::HasPort() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return portNumber_ != 0;
}

bool CSerialComBox::IsConfigured() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return portNumber_ != 0 && !portName_.empty();
}

bool CSerialComBox::IsInUse() const { return handle_.load() != 0 || IsPending(); }

bool CSerialComBox::IsConnected() const { return PortOpen(); }

void CSerialComBox::SetParameters(const std::string& detectorId, const std::string& host, int port) {
    std::lock_guard<std::mutex> guard(parametersLock_);
    detectorId_ = detectorId;
    portName_ = host;
    portNumber_ = port;
}

void CSerialComBox::GetParameters(std::string& detectorId, std::string& host, int& port) const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    detectorId = detectorId_;
    host = portName_;
    port = portNumber_;
}

void CSerialComBox::SetHandle(int value) {
    if (value == 0) {
        Disconnect();
    } else {
        handle_.store(value);
    }
}

std::string CSerialComBox::GetPortName() const {
    std::lock_guard<std::mutex> guard(parametersLock_);
    return portName_;
}

bool CSerialComBox::SetSerialDTR(bool on) {
    DtrLine line;
    {
        std::lock_guard<std::mutex> guard(dtrLock_);
        line = dtrLine_;
    }
    if (line) return line(on);
    return SetDtr(on);
}

void CSerialComBox::SetDtrLine(DtrLine line) {
    std::lock_guard<std::mutex> guard(dtrLock_);
    dtrLine_ = std::move(line);
}

}  // namespace lv
