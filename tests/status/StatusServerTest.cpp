// The status page's server on loopback: what it answers, the token's way in, and its
// bounds (a slow client, too many connections, a request too large) never keeping it
// from answering the others.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "status/StatusServer.h"
#include "support/HttpFetch.h"
#include "support/LoopbackSockets.h"
#include "support/WaitUntil.h"

namespace lv {
namespace {

using test::HttpFetch;

class StatusServerTest : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(Language::English); }
    void TearDown() override {
        server.Stop();
        for (int fd : sockets) ::close(fd);
        SetLanguage(Language::French);
    }
    void Start(const std::string& token = "") {
        std::string error;
        ASSERT_TRUE(server.Start({0, "127.0.0.1", token}, error)) << error;
        ASSERT_GT(server.Port(), 0);
    }
    std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(server.Port()) + path;
    }
    // A connection that says nothing, or only part of its request.
    int Idle(const std::string& said = "") {
        int fd = test::ConnectLoopback(server.Port());
        if (fd >= 0 && !said.empty()) {
            EXPECT_EQ(::send(fd, said.data(), said.size(), MSG_NOSIGNAL), static_cast<ssize_t>(said.size()));
        }
        sockets.push_back(fd);
        return fd;
    }

    StatusServer server;
    std::vector<int> sockets;
};

TEST_F(StatusServerTest, ThePageAndTheFactsAreServedAsPublished) {
    Start();
    auto facts = std::make_shared<StatusFacts>();
    facts->linkState = "connecting";
    facts->detectionFileLines = 7;
    server.Publish(facts);

    test::HttpReply page = HttpFetch(Url("/"));
    EXPECT_EQ(page.status, 200);
    EXPECT_NE(page.headers.find("text/html"), std::string::npos);
    EXPECT_NE(page.body.find("Lumivane status"), std::string::npos);
    // Nothing is loaded from elsewhere: no address of another host in the page.
    EXPECT_EQ(page.body.find("http"), std::string::npos);
    EXPECT_EQ(page.body.find("src="), std::string::npos);

    test::HttpReply json = HttpFetch(Url("/status.json"));
    EXPECT_EQ(json.status, 200);
    EXPECT_NE(json.headers.find("application/json"), std::string::npos);
    EXPECT_NE(json.headers.find("no-store"), std::string::npos);
    EXPECT_NE(json.body.find("\"state\":\"connecting\""), std::string::npos) << json.body;
    EXPECT_NE(json.body.find("\"lines\":7"), std::string::npos) << json.body;

    facts = std::make_shared<StatusFacts>(*facts);
    facts->detectionFileLines = 8;
    server.Publish(facts);
    EXPECT_NE(HttpFetch(Url("/status.json")).body.find("\"lines\":8"), std::string::npos);
}

TEST_F(StatusServerTest, NothingButReading) {
    Start();
    EXPECT_EQ(HttpFetch(Url("/nothing")).status, 404);
    const std::string form = "a=b";
    EXPECT_EQ(HttpFetch(Url("/status.json"), {}, &form).status, 405);
    EXPECT_EQ(HttpFetch(Url("/"), {}, &form).status, 405);
}

TEST_F(StatusServerTest, ATokenIsAskedOnceAndThenKeptInACookie) {
    Start("s3cret");
    test::HttpReply page = HttpFetch(Url("/"));
    EXPECT_EQ(page.status, 401);
    EXPECT_NE(page.body.find("name=\"token\""), std::string::npos);
    EXPECT_EQ(HttpFetch(Url("/status.json")).status, 401);

    const std::string wrong = "token=guess";
    test::HttpReply refused = HttpFetch(Url("/login"), {}, &wrong);
    EXPECT_EQ(refused.status, 401);
    EXPECT_NE(refused.body.find("This is not the token."), std::string::npos);
    EXPECT_EQ(refused.headers.find("Set-Cookie"), std::string::npos);

    const std::string right = "token=s3cret";
    test::HttpReply given = HttpFetch(Url("/login"), {}, &right);
    EXPECT_EQ(given.status, 303);
    const std::size_t at = given.headers.find("Set-Cookie: ");
    ASSERT_NE(at, std::string::npos) << given.headers;
    const std::size_t start = at + 12;
    const std::string cookie = given.headers.substr(start, given.headers.find(';', start) - start);
    EXPECT_EQ(HttpFetch(Url("/"), {"Cookie: " + cookie}).status, 200);
    EXPECT_EQ(HttpFetch(Url("/status.json"), {"Cookie: " + cookie}).status, 200);
    // Scripts give it as a bearer.
    EXPECT_EQ(HttpFetch(Url("/status.json"), {"Authorization: Bearer s3cret"}).status, 200);
    EXPECT_EQ(HttpFetch(Url("/status.json"), {"Authorization: Bearer s3cre"}).status, 401);
}

TEST_F(StatusServerTest, ANonLoopbackAddressWithoutTokenDoesNotStart) {
    std::string error;
    EXPECT_FALSE(server.Start({0, "0.0.0.0", ""}, error));
    EXPECT_NE(error.find("needs a token"), std::string::npos) << error;
    EXPECT_FALSE(server.Running());
}

TEST_F(StatusServerTest, EveryAddressOfIpv6TakesIpv4ClientsToo) {
    std::string error;
    if (!server.Start({0, "::", "s3cret"}, error)) GTEST_SKIP() << "no IPv6 here: " << error;
    EXPECT_EQ(HttpFetch(Url("/status.json"), {"Authorization: Bearer s3cret"}).status, 200);
    EXPECT_EQ(HttpFetch("http://[::1]:" + std::to_string(server.Port()) + "/status.json",
                        {"Authorization: Bearer s3cret"}).status,
              200);
}

TEST_F(StatusServerTest, AClientThatNeverFinishesItsRequestDelaysNobody) {
    Start();
    Idle("GET /status.json HTTP/1.1\r\nHost: x\r\n");
    Idle("GET / HTTP/1.1\r\nX-Slow: ");
    EXPECT_EQ(HttpFetch(Url("/status.json")).status, 200);
    EXPECT_EQ(HttpFetch(Url("/")).status, 200);
}

TEST_F(StatusServerTest, ConnectionsBeyondTheLimitAreRefusedUntilOneEnds) {
    Start();
    for (unsigned i = 0; i < StatusServer::kMaxConnectionsPerAddress; ++i) ASSERT_GE(Idle(), 0);
    // The server has taken them in before the next one comes.
    ASSERT_TRUE(test::WaitUntil([&] { return HttpFetch(Url("/status.json"), {}, nullptr, 2).status == 0; },
                                std::chrono::seconds(10)));
    ::close(sockets.back());
    sockets.pop_back();
    EXPECT_TRUE(test::WaitUntil([&] { return HttpFetch(Url("/status.json")).status == 200; },
                                std::chrono::seconds(10)));
}

TEST_F(StatusServerTest, ARequestLargerThanItsRoomIsRefusedAndTheServerGoesOn) {
    Start();
    const std::string huge(StatusServer::kConnectionMemory * 2, 'a');
    const long status = HttpFetch(Url("/status.json"), {"X-Filler: " + huge}).status;
    EXPECT_TRUE(status == 0 || status >= 400) << status;
    std::string form = "token=" + std::string(StatusServer::kMaxFormBytes * 4, 'b');
    const long posted = HttpFetch(Url("/login"), {}, &form).status;
    EXPECT_TRUE(posted == 0 || posted >= 400) << posted;
    EXPECT_EQ(HttpFetch(Url("/status.json")).status, 200);
}

}  // namespace
}  // namespace lv
