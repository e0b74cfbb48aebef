// The decoder simulator as the outage recovery tests use it: reads going on while
// nobody is connected, kept in the stored file of the day (LISTFILES and HTTP), only
// new reads pushed, and a cut of the connection during which connections are refused.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/LoopbackSockets.h"
#include "support/SimulatorProcess.h"
#include "support/UsbBoxSimulator.h"
#include "support/WaitUntil.h"

namespace lv {
namespace {

constexpr int kLimitMs = 5000;
constexpr std::size_t kMaxReceived = 8 * 1024 * 1024;

std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        std::size_t cut = text.find(separator, start);
        if (cut == std::string::npos) {
            parts.push_back(text.substr(start));
            return parts;
        }
        parts.push_back(text.substr(start, cut - start));
        start = cut + separator.size();
    }
}

std::string LocalToday() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
    return text;
}

// A client of the decoder protocol over a plain socket.
class DecoderClient {
public:
    explicit DecoderClient(int fd) : fd_(fd) {}
    ~DecoderClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    DecoderClient(const DecoderClient&) = delete;
    DecoderClient& operator=(const DecoderClient&) = delete;

    bool Connected() const { return fd_ >= 0; }
    bool Closed() const { return closed_; }

    bool Send(const std::string& text) {
        return fd_ >= 0 && ::send(fd_, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    }
    // The next line without its CR LF; "" once the decoder closed or after the limit.
    std::string Line(int limitMs = kLimitMs) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
        char buffer[4096];
        while (pending_.find("\r\n") == std::string::npos && !closed_ && pending_.size() < kMaxReceived) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
            if (left.count() <= 0) return {};
            pollfd waiter{fd_, POLLIN, 0};
            if (::poll(&waiter, 1, static_cast<int>(left.count())) <= 0) continue;
            ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got <= 0) {
                closed_ = true;
                break;
            }
            pending_.append(buffer, static_cast<std::size_t>(got));
        }
        std::size_t end = pending_.find("\r\n");
        if (end == std::string::npos) return {};
        std::string line = pending_.substr(0, end);
        pending_.erase(0, end + 2);
        return line;
    }

private:
    int fd_;
    std::string pending_;
    bool closed_ = false;
};

// A plain HTTP GET; the body of a 200 answer, or "(status line)" for another one.
std::string HttpGet(int port, const std::string& path) {
    int fd = test::ConnectLoopback(port);
    if (fd < 0) return "(no connection)";
    std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    std::string answer;
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        pollfd waiter{fd, POLLIN, 0};
        while (answer.size() < kMaxReceived && ::poll(&waiter, 1, kLimitMs) > 0) {
            ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(fd);
    std::size_t headEnd = answer.find("\r\n\r\n");
    std::string status = answer.substr(0, answer.find("\r\n"));
    if (headEnd == std::string::npos || status.rfind("HTTP/1.1 200", 0) != 0) return "(" + status + ")";
    return answer.substr(headEnd + 4);
}

// The lines of the stored file of the day, as its HTTP server gives them.
std::vector<std::string> StoredReads(int filesPort) {
    std::string content = HttpGet(filesPort, "/media/passings_1003.txt");
    if (content.empty()) return {};
    std::vector<std::string> lines = Split(content, "\r\n");
    if (lines.back().empty()) {
        lines.pop_back();
    } else {
        ADD_FAILURE() << "the stored file does not end with CR LF: " << content.substr(0, 200);
    }
    return lines;
}

// The "1003,<count>,<date>,<details>" entry of a LISTFILES answer, split at ",".
std::vector<std::string> DayFileEntry(const std::string& answer) {
    std::vector<std::string> fields = Split(answer, ";");
    if (fields.size() < 2 || fields[0] != "LISTFILES" || fields[1] != std::to_string(fields.size() - 2)) return {};
    for (std::size_t i = 2; i < fields.size(); ++i) {
        if (fields[i].rfind("1003,", 0) == 0) return Split(fields[i], ",");
    }
    return {};
}

long long Number(const std::string& passingLine) { return std::atoll(Split(passingLine, ";").at(1).c_str()); }

// Every stored read is an 18-field passing line numbered from 1, of today.
void ExpectReadsOfToday(const std::vector<std::string>& reads, const std::string& today,
                        const std::string& tomorrowMaybe) {
    for (std::size_t i = 0; i < reads.size(); ++i) {
        std::vector<std::string> fields = Split(reads[i], ";");
        ASSERT_EQ(fields.size(), 18u) << reads[i];
        EXPECT_EQ(fields[0], "#P");
        EXPECT_EQ(fields[1], std::to_string(i + 1)) << reads[i];
        EXPECT_EQ(fields[2].rfind("C", 0), 0u) << reads[i];
        EXPECT_TRUE(fields[3] == today || fields[3] == tomorrowMaybe) << reads[i];
        EXPECT_EQ(fields[4].size(), 12u) << reads[i];
    }
}

TEST(DecoderSimulatorTest, KeepsReadingIntoTheStoredFileOfTheDayWhileNobodyIsConnected) {
    const std::string today = LocalToday();
    test::SimulatorProcess decoder("decoder", {"--keep-reading", "--rate", "50", "--files-port", "0"});
    ASSERT_TRUE(decoder.Running());
    ASSERT_GT(decoder.FilesPort(), 0);

    // Nobody has connected yet.
    std::vector<std::string> reads;
    ASSERT_TRUE(test::WaitUntil([&] {
        reads = StoredReads(decoder.FilesPort());
        return reads.size() >= 20;
    }));
    ExpectReadsOfToday(reads, today, LocalToday());

    DecoderClient client(test::ConnectLoopback(decoder.Port()));
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send("LISTFILES\r\n"));
    const std::string answer = client.Line();
    // After the fixed files, the file of the day, still growing.
    EXPECT_EQ(answer.rfind("LISTFILES;3;1001,", 0), 0u) << answer;
    std::vector<std::string> entry = DayFileEntry(answer);
    ASSERT_EQ(entry.size(), 4u) << answer;
    EXPECT_TRUE(entry[2] == today || entry[2] == LocalToday()) << answer;
    EXPECT_EQ(entry[3], "open");
    const long long listed = std::atoll(entry[1].c_str());
    EXPECT_GE(listed, static_cast<long long>(reads.size()));

    std::vector<std::string> later = StoredReads(decoder.FilesPort());
    EXPECT_GE(static_cast<long long>(later.size()), listed);
    ExpectReadsOfToday(later, today, LocalToday());
    // What was stored stays as it was.
    for (std::size_t i = 0; i < reads.size() && i < later.size(); ++i) {
        EXPECT_EQ(later[i], reads[i]);
    }
}

TEST(DecoderSimulatorTest, PushesOnlyTheReadsMadeSincePushingWasSwitchedOn) {
    test::SimulatorProcess decoder("decoder", {"--keep-reading", "--rate", "50", "--files-port", "0"});
    ASSERT_TRUE(decoder.Running());
    ASSERT_GT(decoder.FilesPort(), 0);
    ASSERT_TRUE(test::WaitUntil([&] { return StoredReads(decoder.FilesPort()).size() >= 20; }));

    DecoderClient client(test::ConnectLoopback(decoder.Port()));
    ASSERT_TRUE(client.Connected());
    ASSERT_TRUE(client.Send("LISTFILES\r\nSTARTOPERATION\r\nSETPUSHPASSINGS;1;0\r\nLISTFILES\r\n"));
    std::vector<std::string> before = DayFileEntry(client.Line());
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(client.Line(), "STARTOPERATION");
    EXPECT_EQ(client.Line(), "SETPUSHPASSINGS;1;0");
    std::vector<std::string> pushed;
    std::vector<std::string> after;
    while (pushed.size() < 20) {
        std::string line = client.Line();
        ASSERT_FALSE(line.empty()) << "the decoder went quiet after " << pushed.size() << " passings";
        if (line.rfind("LISTFILES;", 0) == 0) {
            after = DayFileEntry(line);
        } else {
            pushed.push_back(line);
        }
    }
    ASSERT_EQ(after.size(), 4u);
    // The first pushed read was made after pushing came on: after the first listing,
    // and no later than the next read after the second one.
    EXPECT_GT(Number(pushed.front()), std::atoll(before[1].c_str()));
    EXPECT_LE(Number(pushed.front()), std::atoll(after[1].c_str()) + 1);
    for (std::size_t i = 1; i < pushed.size(); ++i) EXPECT_EQ(Number(pushed[i]), Number(pushed[i - 1]) + 1);

    // Pushing off: nothing is pushed, and what is read meanwhile is not pushed later.
    ASSERT_TRUE(client.Send("SETPUSHPASSINGS;0;0\r\n"));
    std::string line;
    while ((line = client.Line()).rfind("#P;", 0) == 0) pushed.push_back(line);
    EXPECT_EQ(line, "SETPUSHPASSINGS;0;0");
    const long long lastPushed = Number(pushed.back());
    ASSERT_TRUE(test::WaitUntil(
        [&] { return static_cast<long long>(StoredReads(decoder.FilesPort()).size()) >= lastPushed + 20; }));
    ASSERT_TRUE(client.Send("LISTFILES\r\nSETPUSHPASSINGS;1;0\r\n"));
    std::vector<std::string> off = DayFileEntry(client.Line());
    ASSERT_EQ(off.size(), 4u);
    EXPECT_EQ(client.Line(), "SETPUSHPASSINGS;1;0");
    std::string resumed = client.Line();
    ASSERT_EQ(resumed.rfind("#P;", 0), 0u) << resumed;
    EXPECT_GT(Number(resumed), std::atoll(off[1].c_str()));
    pushed.push_back(resumed);

    // Every pushed read is in the stored file, with the same chip, date and time.
    std::vector<std::string> stored = StoredReads(decoder.FilesPort());
    for (const std::string& read : pushed) {
        std::vector<std::string> fields = Split(read, ";");
        ASSERT_EQ(fields.size(), 18u) << read;
        const long long number = Number(read);
        ASSERT_GE(number, 1);
        ASSERT_LE(number, static_cast<long long>(stored.size())) << read;
        std::vector<std::string> kept = Split(stored[static_cast<std::size_t>(number - 1)], ";");
        ASSERT_EQ(kept.size(), 18u);
        EXPECT_EQ(kept[2], fields[2]) << read;
        EXPECT_EQ(kept[3], fields[3]) << read;
        EXPECT_EQ(kept[4], fields[4]) << read;
    }
}

TEST(DecoderSimulatorTest, CutsTheConnectionOnceAndRefusesConnectionsWhileReadsGoOn) {
    test::SimulatorProcess decoder("decoder", {"--keep-reading", "--rate", "50", "--files-port", "0",
                                               "--cut-after", "5", "--cut-seconds", "2"});
    ASSERT_TRUE(decoder.Running());
    ASSERT_GT(decoder.FilesPort(), 0);

    long long cutAt = 0;
    {
        DecoderClient client(test::ConnectLoopback(decoder.Port()));
        ASSERT_TRUE(client.Connected());
        ASSERT_TRUE(client.Send("STARTOPERATION\r\nSETPUSHPASSINGS;1;0\r\n"));
        EXPECT_EQ(client.Line(), "STARTOPERATION");
        EXPECT_EQ(client.Line(), "SETPUSHPASSINGS;1;0");
        int passings = 0;
        std::string line;
        while (!(line = client.Line()).empty()) {
            EXPECT_EQ(line.rfind("#P;", 0), 0u) << line;
            ++passings;
            cutAt = Number(line);
        }
        EXPECT_TRUE(client.Closed());
        EXPECT_EQ(passings, 5);
    }
    // The listening socket is gone before the connection is closed: refused at once.
    int refused = test::ConnectLoopback(decoder.Port());
    EXPECT_LT(refused, 0);
    if (refused >= 0) ::close(refused);

    int back = -1;
    ASSERT_TRUE(test::WaitUntil([&] {
        back = test::ConnectLoopback(decoder.Port());
        return back >= 0;
    }));
    DecoderClient client(back);
    const long long readsWhenBack = static_cast<long long>(StoredReads(decoder.FilesPort()).size());
    // The reads went on into the stored file during the cut.
    EXPECT_GT(readsWhenBack, cutAt + 1);

    // Once per process: the next session goes past 5 passings.
    ASSERT_TRUE(client.Send("STARTOPERATION\r\nSETPUSHPASSINGS;1;0\r\n"));
    EXPECT_EQ(client.Line(), "STARTOPERATION");
    EXPECT_EQ(client.Line(), "SETPUSHPASSINGS;1;0");
    long long previous = 0;
    for (int i = 0; i < 12; ++i) {
        std::string line = client.Line();
        ASSERT_EQ(line.rfind("#P;", 0), 0u) << "passing " << i << ": " << line;
        if (i == 0) {
            EXPECT_GT(Number(line), readsWhenBack);
        } else {
            EXPECT_EQ(Number(line), previous + 1);
        }
        previous = Number(line);
    }
    EXPECT_FALSE(client.Closed());

    std::vector<std::string> stored = StoredReads(decoder.FilesPort());
    ASSERT_GE(static_cast<long long>(stored.size()), previous);
    for (std::size_t i = 0; i < stored.size(); ++i) EXPECT_EQ(Number(stored[i]), static_cast<long long>(i + 1));
}

TEST(DecoderSimulatorTest, RefusesToKeepReadingWithoutARate) {
    const std::string simulator = std::string(LUMIVANE_BUILD_DIR) + "/lumivane-sim decoder";
    int status = std::system((simulator + " --keep-reading --rate 0 >/dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
    status = std::system((simulator + " --cut-after 0 >/dev/null 2>&1").c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

// A test may stop a simulator the moment it has said where it listens: the stop must
// land however soon it comes (under the thread sanitizer a signal handler could miss it,
// and the test then waited for ever).
TEST(SimulatorStopTest, EverySimulatorEndsOnSigtermRightAfterItStarted) {
    for (int round = 0; round < 5; ++round) {
        for (const char* mode : {"decoder", "timingapp", "cloud"}) {
            test::SimulatorProcess simulator(mode);
            ASSERT_TRUE(simulator.Running()) << mode;
            EXPECT_TRUE(simulator.Stop()) << mode << ", round " << round;
        }
        test::UsbBoxSimulator box;
        ASSERT_TRUE(box.Running());
        EXPECT_TRUE(box.Stop()) << "usbbox, round " << round;
    }
}

}  // namespace
}  // namespace lv
