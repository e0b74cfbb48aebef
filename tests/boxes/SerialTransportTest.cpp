// The serial transport against a real pseudo-terminal pair: this test holds the
// terminal's master side and plays the box.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "boxes/transport/SerialComBox.h"
#include "boxes/transport/SerialPortNames.h"
#include "support/TempFolder.h"

namespace lv {
namespace {

class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
        path_ = ::ptsname(master_);
    }
    ~PseudoTerminal() { CloseMaster(); }
    const std::string& Path() const { return path_; }
    void Send(const std::string& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else {
                pollfd waiter{master_, POLLOUT, 0};
                ::poll(&waiter, 1, 100);
            }
        }
    }
    // What the transport wrote, up to `count` bytes within the limit.
    std::string Receive(std::size_t count, int limitMs = 2000) const {
        std::string got;
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        while (got.size() < count && std::chrono::steady_clock::now() < until) {
            pollfd waiter{master_, POLLIN, 0};
            if (::poll(&waiter, 1, 20) <= 0) continue;
            char chunk[256];
            ssize_t n = ::read(master_, chunk, std::min(sizeof chunk, count - got.size()));
            if (n > 0) got.append(chunk, static_cast<std::size_t>(n));
        }
        return got;
    }
    void CloseMaster() {
        if (master_ >= 0) ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    std::string path_;
};

class SerialTransportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(terminal_.Path().empty());
        transport_.SetParameters("31", terminal_.Path(), 19200);
        std::string error;
        ASSERT_TRUE(transport_.Connect(error)) << error;
    }

    PseudoTerminal terminal_;
    CSerialComBox transport_;
};

TEST_F(SerialTransportTest, CarriesRawBytesBothWays) {
    const std::string command("PASSINGGET;0000002a\n", 20);
    ASSERT_EQ(transport_.Write(command), static_cast<int>(command.size()));
    EXPECT_EQ(terminal_.Receive(command.size()), command);

    // Every byte value comes through untouched: no echo, no CR/LF mapping, no XON/XOFF.
    std::string binary;
    for (int c = 1; c < 256; ++c) {
        if (c != '\n') binary.push_back(static_cast<char>(c));
    }
    binary.push_back('\0');
    terminal_.Send(binary + "\n\n");
    ASSERT_EQ(transport_.WaitForData(2000), 1);
    std::string reply;
    ASSERT_EQ(transport_.ReadLine(reply), static_cast<int>(binary.size() + 2));
    EXPECT_EQ(reply, binary + "\n\n");
    EXPECT_FALSE(transport_.LastLineIncomplete());
    EXPECT_EQ(transport_.GetHandle(), CSerialComBox::kOpenHandle);
    EXPECT_TRUE(transport_.IsConnected());
}

TEST_F(SerialTransportTest, ReplyEndingOverSeveralChunksIsOneReply) {
    terminal_.Send("EPOCHREFGET;0\n5f5e");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    terminal_.Send("1000;100\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(60));
    terminal_.Send("\nASCII;0\n\n");
    std::string reply;
    ASSERT_GT(transport_.ReadLine(reply), 0);
    EXPECT_EQ(reply, "EPOCHREFGET;0\n5f5e1000;100\n\n");
    // What came after the first reply's end waits, whole, for the next read.
    EXPECT_TRUE(transport_.HasReceivedLine());
    ASSERT_GT(transport_.ReadLine(reply), 0);
    EXPECT_EQ(reply, "ASCII;0\n\n");
    EXPECT_EQ(transport_.WaitForData(20), 0);
}

TEST_F(SerialTransportTest, OverlongReplyIsCutAtTheBoundAndItsTailDropped) {
    // A 100 KB reply: its first part comes out marked as cut, the rest is never taken
    // for a reply of its own, and the reply after it comes out whole.
    terminal_.Send(std::string(100 * 1024, 'x') + "\n\nASCII;0\n\n");
    transport_.SetReplyWaitMs(10000);
    std::string reply;
    ASSERT_EQ(transport_.ReadLine(reply), static_cast<int>(CSerialBuffer::kMaxReplyBytes));
    EXPECT_TRUE(transport_.LastLineIncomplete());
    ASSERT_GT(transport_.ReadLine(reply), 0);
    EXPECT_EQ(reply, "ASCII;0\n\n");
    EXPECT_FALSE(transport_.LastLineIncomplete());
}

TEST_F(SerialTransportTest, ReplyThatNeverEndsIsGivenUpAfterTheReplyTimeOut) {
    transport_.SetReplyWaitMs(200);
    terminal_.Send("PASSINGGET;0\n2a;40\nC00001;2a");
    ASSERT_EQ(transport_.WaitForData(2000), 1);
    std::string reply;
    EXPECT_EQ(transport_.ReadLine(reply), 28);
    EXPECT_EQ(reply, "PASSINGGET;0\n2a;40\nC00001;2a");
    EXPECT_TRUE(transport_.LastLineIncomplete());
    // Nothing more: the wait is short and says so.
    EXPECT_EQ(transport_.ReadLine(reply), 0);
    EXPECT_TRUE(transport_.IsConnected());
}

TEST_F(SerialTransportTest, CloseEndsAWaitingRead) {
    transport_.SetReplyWaitMs(60000);
    terminal_.Send("PASSINGGET;0\n");
    ASSERT_EQ(transport_.WaitForData(2000), 1);
    std::thread closer([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        transport_.Close();
    });
    std::string reply;
    const int count = transport_.ReadLine(reply);
    closer.join();
    // What was there is handed out, marked unfinished (or nothing, had the close won).
    EXPECT_TRUE(count == -1 || (count == 13 && transport_.LastLineIncomplete()));
    EXPECT_FALSE(transport_.IsConnected());
    EXPECT_TRUE(transport_.IsStopRequested());
    EXPECT_EQ(transport_.ReadLine(reply), -1);
}

TEST_F(SerialTransportTest, VanishedDeviceEndsReadingAfterWhatCameBefore) {
    terminal_.Send("ASCII;0\n\nPASS");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    terminal_.CloseMaster();  // the adapter pulled out
    std::string reply;
    ASSERT_GT(transport_.ReadLine(reply), 0);
    EXPECT_EQ(reply, "ASCII;0\n\n");
    ASSERT_EQ(transport_.ReadLine(reply), 4);
    EXPECT_TRUE(transport_.LastLineIncomplete());
    EXPECT_EQ(transport_.ReadLine(reply), -1);
    EXPECT_FALSE(transport_.IsConnected());
    EXPECT_EQ(transport_.GetHandle(), 0);
    EXPECT_LT(transport_.Write("ASCII\n"), 0);
}

TEST_F(SerialTransportTest, DtrOnAPseudoTerminalFailsWithoutHarm) {
    // A pseudo-terminal has no modem lines: the call fails and the port stays usable.
    EXPECT_FALSE(transport_.SetSerialDTR(true));
    EXPECT_FALSE(transport_.SetSerialDTR(false));
    EXPECT_EQ(transport_.Write("ASCII\n"), 6);
    EXPECT_EQ(terminal_.Receive(6), "ASCII\n");
}

TEST_F(SerialTransportTest, SecondOpenOfTheSamePortIsRefused) {
    CSerialComBox other;
    other.SetParameters("31", terminal_.Path(), 19200);
    std::string error;
    EXPECT_FALSE(other.Connect(error));
    EXPECT_EQ(error.rfind("Erreur de connexion au port " + terminal_.Path() + " : [#11]= \"", 0), 0u) << error;
}

TEST(SerialTransportOpen, PortThatIsNoTerminalOrIsMissingSaysWhy) {
    CSerialComBox transport;
    std::string error;
    transport.SetParameters("31", "/dev/null", 19200);
    EXPECT_FALSE(transport.Connect(error));
    EXPECT_EQ(error, "Erreur GetCommState pour le port /dev/null : [#25]= \"Inappropriate ioctl for device\"");
    EXPECT_FALSE(transport.IsConnected());
    EXPECT_EQ(transport.GetHandle(), 0);

    transport.SetParameters("31", "/dev/ttyNoSuchAdapter7", 19200);
    EXPECT_FALSE(transport.Connect(error));
    EXPECT_EQ(error, "Erreur de connexion au port /dev/ttyNoSuchAdapter7 : [#2]= \"No such file or directory\"");
    EXPECT_EQ(transport.WaitForData(10), -1);
    std::string reply;
    EXPECT_EQ(transport.ReadLine(reply), -1);
}

TEST(SerialTransportParameters, DescriptionKeyAndConfiguration) {
    CSerialComBox transport;
    EXPECT_TRUE(transport.IsSerial());
    EXPECT_FALSE(transport.IsConfigured());  // no speed yet
    EXPECT_FALSE(transport.IsInUse());
    transport.SetParameters("31", "COM4", 19200);
    EXPECT_TRUE(transport.IsConfigured());
    EXPECT_TRUE(transport.HasPort());
    EXPECT_EQ(transport.GetDescription(), "[COM4-31]");
    EXPECT_EQ(transport.GetKey(), "COM4-19200-31");
    transport.SetParameters("12", "/dev/serial/by-id/usb-box.if00", 19200);
    EXPECT_EQ(transport.GetKey(), "if00-19200-12");
    transport.SetPending(true);
    EXPECT_TRUE(transport.IsInUse());
    EXPECT_FALSE(transport.IsConnected());
}

TEST(SerialPortNames, WhichHostsAreSerial) {
    EXPECT_TRUE(IsSerialHost("COM3"));
    EXPECT_TRUE(IsSerialHost("com3"));
    EXPECT_TRUE(IsSerialHost("Com12"));
    EXPECT_TRUE(IsSerialHost("/dev/ttyUSB0"));
    EXPECT_TRUE(IsSerialHost("/dev/serial/by-id/usb-FTDI_box-if00-port0"));
    EXPECT_FALSE(IsSerialHost("decoder.company.com"));
    EXPECT_FALSE(IsSerialHost("COM"));
    EXPECT_FALSE(IsSerialHost("COM3A"));
    EXPECT_FALSE(IsSerialHost("comet"));
    EXPECT_FALSE(IsSerialHost("192.168.1.20"));
    EXPECT_FALSE(IsSerialHost("dev/ttyUSB0"));
    EXPECT_FALSE(IsSerialHost(""));
}

TEST(SerialPortNames, ComNamesMapToDevices) {
    test::TempFolder folder;
    InstallSettingsFile(folder / "Lumivane.ini");
    EXPECT_EQ(SerialDevicePath("COM1"), "/dev/ttyUSB0");
    EXPECT_EQ(SerialDevicePath("com4"), "/dev/ttyUSB3");
    EXPECT_EQ(SerialDevicePath("/dev/ttyACM0"), "/dev/ttyACM0");
    setting::SerialPortDevice.Write(4, "/dev/serial/by-id/usb-box");
    EXPECT_EQ(SerialDevicePath("COM4"), "/dev/serial/by-id/usb-box");
    EXPECT_EQ(SerialDevicePath("COM5"), "/dev/ttyUSB4");
    InstallSettingsFile("");
}

TEST(SerialBuffer, OverlongReplyIsCutAndTheNextOneKept) {
    CSerialBuffer buffer;
    const std::string longReply = std::string(CSerialBuffer::kMaxReplyBytes + 100, 'a') + "\n\n";
    const std::string next = "NEXT;0\n\n";
    const std::string stream = longReply + next;
    EXPECT_EQ(buffer.Append(stream.data(), stream.size()), CSerialBuffer::kMaxReplyBytes + next.size());
    EXPECT_EQ(buffer.DroppedBytes(), 102u);
    std::string out;
    EXPECT_EQ(buffer.ReadUpTo(out, "\n\n"), CSerialBuffer::Read::Cut);
    EXPECT_EQ(out, std::string(CSerialBuffer::kMaxReplyBytes, 'a'));
    out.clear();
    EXPECT_EQ(buffer.ReadUpTo(out, "\n\n"), CSerialBuffer::Read::Delimited);
    EXPECT_EQ(out, next);
    EXPECT_EQ(buffer.ReadUpTo(out, "\n\n"), CSerialBuffer::Read::Nothing);
}

TEST(SerialBuffer, NeverHoldsMoreThanItsCapacity) {
    // Replies nobody takes: the one that reaches the bound is cut there, the next lost
    // whole, and what is held stays in order.
    CSerialBuffer buffer;
    const std::string reply = std::string(998, 'r') + "\n\n";
    for (int i = 0; i < 42; ++i) buffer.Append(reply.data(), reply.size());
    EXPECT_EQ(buffer.Available(), CSerialBuffer::kCapacity);
    std::string out;
    for (int i = 0; i < 40; ++i) {
        out.clear();
        ASSERT_EQ(buffer.ReadUpTo(out, "\n\n"), CSerialBuffer::Read::Delimited) << i;
        EXPECT_EQ(out, reply);
    }
    out.clear();
    EXPECT_EQ(buffer.ReadUpTo(out, "\n\n"), CSerialBuffer::Read::Cut);
    EXPECT_EQ(out.size(), 960u);
    EXPECT_EQ(buffer.DroppedBytes(), 42u * reply.size() - CSerialBuffer::kCapacity);
    // Room again: the next reply comes whole.
    buffer.Append(reply.data(), reply.size());
    out.clear();
    EXPECT_EQ(buffer.ReadUpTo(out, "\n\n"), CSerialBuffer::Read::Delimited);
    EXPECT_EQ(out, reply);
}

}  // namespace
}  // namespace lv
