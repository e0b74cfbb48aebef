// The TCP transport against a scripted loopback peer.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <future>

#include "boxes/transport/TcpComBox.h"
#include "support/LoopbackSockets.h"

namespace lv {
namespace {

class TcpTransportTest : public ::testing::Test {
protected:
    void ConnectToPeer() {
        transport.SetParameters("31", "127.0.0.1", peer.Port());
        std::string error;
        ASSERT_TRUE(transport.Connect(error)) << error;
        ASSERT_TRUE(peer.Accept());
    }
    // The next line, waiting for it as the box thread does.
    int NextLine(std::string& line) {
        for (int attempt = 0; attempt < 400; ++attempt) {
            int ready = transport.WaitForData(5);
            if (ready < 0) return transport.ReadLine(line);
            if (ready > 0) return transport.ReadLine(line);
        }
        return -99;
    }

    test::LoopbackPeer peer;
    CTcpComBox transport;
};

TEST(TcpTransport, DescribesItselfByTheLastHostComponent) {
    CTcpComBox transport;
    transport.SetParameters("31", "192.168.1.21", 3601);
    EXPECT_EQ(transport.GetDescription(), "[21:3601 31]");
    EXPECT_EQ(transport.GetKey(), "21-3601-31");
    transport.SetParameters("7", "finish-line", 3601);
    EXPECT_EQ(transport.GetDescription(), "[finish-line:3601 7]");
}

TEST(TcpTransport, UnconnectedReadsFailAndPendingMeansInUse) {
    CTcpComBox transport;
    std::string line;
    EXPECT_EQ(transport.WaitForData(5), -1);
    EXPECT_EQ(transport.ReadLine(line), -1);
    EXPECT_LT(transport.Write("X\r\n"), 0);
    EXPECT_EQ(transport.GetHandle(), 0);
    EXPECT_FALSE(transport.IsInUse());
    transport.SetPending(true);
    EXPECT_TRUE(transport.IsInUse());
    EXPECT_TRUE(transport.IsPending());
}

TEST(TcpTransport, ReportsRefusedAndUnresolvableConnections) {
    int port = test::LoopbackPeer::FreePort();
    CTcpComBox transport;
    transport.SetParameters("31", "127.0.0.1", port);
    std::string error;
    EXPECT_FALSE(transport.Connect(error));
    EXPECT_EQ(error, "Unable to Connect");
    EXPECT_FALSE(transport.IsConnected());
    transport.SetParameters("31", "", port);
    EXPECT_FALSE(transport.Connect(error));
    EXPECT_EQ(error, "Error gethostbyname");
}

TEST(TcpTransport, GivesUpAConnectionThatIsNotAnsweredWithinTheTimeout) {
    // A listener whose queue is full drops further connection requests unanswered.
    test::LoopbackPeer full(0);
    CTcpComBox first, second;
    std::string error;
    first.SetParameters("31", "127.0.0.1", full.Port());
    first.SetConnectionTimeout(1);
    ASSERT_TRUE(first.Connect(error));
    second.SetParameters("31", "127.0.0.1", full.Port());
    second.SetConnectionTimeout(1);
    // Depending on the kernel the queue takes one or two before it is full.
    bool connected = second.Connect(error);
    CTcpComBox third;
    third.SetParameters("31", "127.0.0.1", full.Port());
    third.SetConnectionTimeout(1);
    bool thirdConnected = third.Connect(error);
    EXPECT_FALSE(connected && thirdConnected);
    EXPECT_EQ(error, "Unable to Connect");
    EXPECT_EQ(third.GetHandle(), 0);
}

TEST_F(TcpTransportTest, ResolvesLocalhostAndSetsDecoderSocketOptions) {
    transport.SetParameters("31", "localhost", peer.Port());
    std::string error;
    ASSERT_TRUE(transport.Connect(error)) << error;
    EXPECT_NE(transport.GetHandle(), 0);
    int fd = transport.NativeSocketForTests();
    ASSERT_GE(fd, 0);
    auto option = [fd](int level, int name) {
        int value = -1;
        socklen_t length = sizeof value;
        EXPECT_EQ(getsockopt(fd, level, name, &value, &length), 0);
        return value;
    };
    EXPECT_NE(option(IPPROTO_TCP, TCP_NODELAY), 0);
    EXPECT_NE(option(SOL_SOCKET, SO_KEEPALIVE), 0);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPIDLE), 5);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPINTVL), 1);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_KEEPCNT), 3);
    EXPECT_EQ(option(IPPROTO_TCP, TCP_USER_TIMEOUT), 10000);
}

TEST_F(TcpTransportTest, ReturnsLinesWithTheirCarriageReturn) {
    ConnectToPeer();
    ASSERT_TRUE(peer.Send("ABC\r\n"));
    std::string line;
    EXPECT_EQ(NextLine(line), 4);
    EXPECT_EQ(line, "ABC\r");
    EXPECT_FALSE(transport.LastLineIncomplete());
}

TEST_F(TcpTransportTest, KeepsBytesAfterALineFeedForTheNextReader) {
    ConnectToPeer();
    // One segment with two lines and the start of a third: the readers share the buffer.
    ASSERT_TRUE(peer.Send("ONE\nTWO\nTHR"));
    std::string line;
    ASSERT_EQ(transport.WaitForData(1000), 1);
    EXPECT_EQ(transport.ReadLine(line), 3);
    EXPECT_EQ(line, "ONE");
    EXPECT_EQ(transport.WaitForData(0), 1);
    EXPECT_EQ(transport.ReadLine(line), 3);
    EXPECT_EQ(line, "TWO");
    // Half a line is not data yet.
    EXPECT_EQ(transport.WaitForData(20), 0);
    ASSERT_TRUE(peer.Send("EE\n"));
    EXPECT_EQ(NextLine(line), 5);
    EXPECT_EQ(line, "THREE");
}

TEST_F(TcpTransportTest, CutsAnOverlongLineAndCarriesOn) {
    ConnectToPeer();
    ASSERT_TRUE(peer.Send(std::string(6000, 'Z') + "\nOK\n"));
    std::string line;
    EXPECT_EQ(NextLine(line), static_cast<int>(CComBox::kMaxLineBytes));
    EXPECT_TRUE(transport.LastLineIncomplete());
    EXPECT_EQ(NextLine(line), 2);
    EXPECT_EQ(line, "OK");
    EXPECT_FALSE(transport.LastLineIncomplete());
}

TEST_F(TcpTransportTest, HandsOutEverythingBeforeAPeerCloseThenFails) {
    ConnectToPeer();
    ASSERT_TRUE(peer.Send("L1\nL2\nHALF"));
    peer.CloseClient();
    std::string line;
    EXPECT_EQ(NextLine(line), 2);
    EXPECT_EQ(line, "L1");
    EXPECT_EQ(NextLine(line), 2);
    EXPECT_EQ(line, "L2");
    EXPECT_EQ(NextLine(line), 4);
    EXPECT_EQ(line, "HALF");
    EXPECT_TRUE(transport.LastLineIncomplete());
    EXPECT_EQ(NextLine(line), -1);
    EXPECT_FALSE(transport.IsConnected());
    EXPECT_FALSE(transport.IsStopRequested());
}

TEST_F(TcpTransportTest, WritesTheWholeCommandAndFailsWithoutSignalOnceThePeerIsGone) {
    ConnectToPeer();
    EXPECT_EQ(transport.Write("STARTOPERATION\r\n"), 16);
    EXPECT_EQ(peer.ReceiveBytes(16), "STARTOPERATION\r\n");
    peer.CloseClient();
    int result = 0;
    for (int attempt = 0; attempt < 200 && result >= 0; ++attempt) {
        result = transport.Write("GETTIME\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_LT(result, 0);
}

TEST_F(TcpTransportTest, CloseFromAnotherThreadWakesABlockedReader) {
    ConnectToPeer();
    auto reader = std::async(std::launch::async, [this] { return transport.WaitForData(60000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(transport.Close());
    EXPECT_NE(reader.get(), 0);
    std::string line;
    EXPECT_EQ(transport.ReadLine(line), -1);
    EXPECT_TRUE(transport.IsStopRequested());
    EXPECT_FALSE(transport.IsConnected());
}

TEST_F(TcpTransportTest, AReconnectionStartsWithAnEmptyBuffer) {
    ConnectToPeer();
    ASSERT_TRUE(peer.Send("STALE-PART"));
    std::string line;
    EXPECT_EQ(transport.WaitForData(50), 0);
    transport.Close();
    std::string error;
    ASSERT_TRUE(transport.Connect(error));
    EXPECT_FALSE(transport.IsStopRequested());
    ASSERT_TRUE(peer.Accept());
    ASSERT_TRUE(peer.Send("FRESH\n"));
    EXPECT_EQ(NextLine(line), 5);
    EXPECT_EQ(line, "FRESH");
}

}  // namespace
}  // namespace lv
