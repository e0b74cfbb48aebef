#pragma once
// CTcpComBox: a TCP client connection to a network decoder (base/net/TcpClient.h). One
// line reader, owned here and kept across readers (the box thread, or a command
// exchange when no thread runs), so that bytes after a line feed are never lost and a
// line costs one recv. Sockets get TCP_NODELAY and short keepalive timings, so that a
// decoder that loses power (sends nothing, closes nothing) turns into a failed read
// within about 10 s.
#include <memory>
#include <mutex>
#include <string>

#include "boxes/transport/ComBox.h"
#include "base/net/LineReader.h"

namespace lv {

// Keepalive timings of decoder sockets (seconds) and the bound on unacknowledged data.
struct TcpKeepalive {
    static constexpr int kIdleSeconds = 5;
    static constexpr int kIntervalSeconds = 1;
    static constexpr int kProbes = 3;
    static constexpr int kUserTimeoutMs = 10000;
};

class CTcpComBox : public CComBox {
public:
    static constexpr int kDefaultPort = 10000;
    // How long ReadLine waits for the rest of a line once it has begun.
    static constexpr int kLineWaitMs = 1000;

    CTcpComBox();
    ~CTcpComBox() override;

    bool Close() override;
    bool Disconnect() override;
    int ReadLine(std::string& line) override;
    int WaitForData(int milliseconds) override;
    bool HasReceivedLine() const override;
    bool MoreLikelyWaiting() const override;
    bool PeerHasClosed() const override;
    std::string GetDescription() const override;
    int Write(const char* bytes, int length) override;
    using CComBox::Write;
    bool HasPort() const override;
    // Resolves the host (getaddrinfo), tries its addresses in turn within the
    // connection time-out. Errors: "Error gethostbyname", "Unable to Connect".
    bool Connect(std::string& error) override;
    bool IsConfigured() const override;
    bool IsInUse() const override;
    bool IsConnected() const override;
    std::string GetKey() const override;
    void SetParameters(const std::string& detectorId, const std::string& host, int port) override;
    void GetParameters(std::string& detectorId, std::string& host, int& port) const override;
    void SetHandle(int value) override;
    int GetHandle() const override;
    bool IsSerial() const override { return false; }
    bool SetSerialDTR(bool) override { return false; }

    std::string GetHost() const;
    int GetPort() const;

    // GTarvexConnectionTimeout, in seconds (default 2; values below 1 count as 1).
    void SetConnectionTimeout(int seconds);
    int ConnectionTimeout() const;

    // The OS descriptor of the present connection, -1 when none. For checks of socket
    // options only: never read from or close it.
    int NativeSocketForTests() const;

private:
    struct Connection;
    static constexpr int kNothing = -2;
    static constexpr int kFailed = -1;
    std::shared_ptr<Connection> CurrentConnection() const;
    // Receives one chunk into the buffer: the byte count, 0 when the peer closed,
    // kFailed on a receive failure, kNothing when nothing came within `milliseconds`.
    // Caller holds readLock_.
    int ReceiveChunk(Connection& connection, int milliseconds);

    mutable std::mutex connectionLock_;
    std::shared_ptr<Connection> connection_;  // guarded by connectionLock_
    int connectionSerial_ = 0;                // guarded by connectionLock_

    std::string host_ = "localhost";  // guarded by parametersLock_
    int port_ = kDefaultPort;          // guarded by parametersLock_
    std::atomic<int> connectTimeoutSeconds_{2};

    std::mutex writeLock_;               // keeps each command's bytes together
    mutable std::mutex readLock_;        // one reader at a time; taken before connectionLock_
    LineReader buffer_{kMaxLineBytes};   // guarded by readLock_
    bool peerClosed_ = false;            // guarded by readLock_
    bool receiveFailed_ = false;         // guarded by readLock_
    bool lastChunkFull_ = false;         // guarded by readLock_
    bool streaming_ = false;      // the last receive took bytes (readLock_)
};

}  // namespace lv
