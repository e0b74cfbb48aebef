// Where the status page may listen and who may read it: loopback addresses, the
// refusal of any other address without a token, and the token in a cookie or a
// bearer header.
#include <gtest/gtest.h>

#include <string>

#include "base/Texts.h"
#include "status/StatusAccess.h"

namespace lv {
namespace {

class StatusAccess : public ::testing::Test {
protected:
    void SetUp() override { SetLanguage(Language::English); }
    void TearDown() override { SetLanguage(Language::French); }
};

TEST_F(StatusAccess, OnlyLoopbackAddressesCountAsThisComputer) {
    for (const char* address : {"127.0.0.1", "127.1.2.3", "::1", "localhost", " 127.0.0.1 "}) {
        EXPECT_TRUE(IsLoopbackBind(address)) << address;
    }
    for (const char* address : {"0.0.0.0", "::", "192.168.1.20", "128.0.0.1", "localhost.example", "", "127.0.0",
                                "::ffff:127.0.0.1x"}) {
        EXPECT_FALSE(IsLoopbackBind(address)) << address;
    }
}

TEST_F(StatusAccess, LoopbackStartsWithOrWithoutAToken) {
    EXPECT_EQ(StartRefusal({8080, "127.0.0.1", ""}), "");
    EXPECT_EQ(StartRefusal({8080, "::1", ""}), "");
    EXPECT_EQ(StartRefusal({8080, "127.0.0.1", "secret"}), "");
}

TEST_F(StatusAccess, AnyOtherAddressNeedsAToken) {
    EXPECT_EQ(StartRefusal({8080, "0.0.0.0", ""}),
              "### Status page not started: listening on 0.0.0.0 needs a token ([StatusPage] Token), or listen on "
              "127.0.0.1");
    EXPECT_NE(StartRefusal({8080, "192.168.1.20", ""}), "");
    EXPECT_NE(StartRefusal({8080, "::", ""}), "");
    EXPECT_EQ(StartRefusal({8080, "0.0.0.0", "secret"}), "");
}

TEST_F(StatusAccess, AnAddressOrAPortThatIsNoneIsRefused) {
    EXPECT_EQ(StartRefusal({8080, "timing-pc", "secret"}),
              "### Status page not started: \"timing-pc\" is not an address to listen on");
    EXPECT_EQ(StartRefusal({70000, "127.0.0.1", ""}), "### Status page not started: port 70000 is not a port (1 to 65535)");
    EXPECT_NE(StartRefusal({-1, "127.0.0.1", ""}), "");
}

TEST_F(StatusAccess, WithoutATokenEveryRequestReads) {
    EXPECT_TRUE(TokenAccepted("", "", ""));
    EXPECT_TRUE(TokenAccepted("", "lumivane_token=anything", "Bearer wrong"));
}

TEST_F(StatusAccess, TheTokenComesInItsCookieOrAsABearer) {
    EXPECT_TRUE(TokenAccepted("s3cret", "lumivane_token=s3cret", ""));
    EXPECT_TRUE(TokenAccepted("s3cret", "theme=dark; lumivane_token=s3cret; lang=fr", ""));
    EXPECT_TRUE(TokenAccepted("s3cret", "", "Bearer s3cret"));
    EXPECT_FALSE(TokenAccepted("s3cret", "", ""));
    EXPECT_FALSE(TokenAccepted("s3cret", "lumivane_token=s3cre", ""));
    EXPECT_FALSE(TokenAccepted("s3cret", "lumivane_token=s3cretX", ""));
    EXPECT_FALSE(TokenAccepted("s3cret", "other_token=s3cret", ""));
    EXPECT_FALSE(TokenAccepted("s3cret", "", "Basic s3cret"));
    EXPECT_FALSE(TokenAccepted("s3cret", "", "Bearer "));
    EXPECT_FALSE(TokenAccepted("s3cret", "lumivane_token=", ""));
}

TEST_F(StatusAccess, TheCookieSetAfterTheFormGivesTheTokenBackWhateverItHolds) {
    for (const std::string token : {"plain", "a b;c=d+e%f", "jeton-été", "\"quoted\""}) {
        const std::string cookie = TokenCookie(token);
        EXPECT_NE(cookie.find("HttpOnly"), std::string::npos);
        EXPECT_NE(cookie.find("SameSite=Strict"), std::string::npos);
        // The browser sends back the name=value pair alone.
        const std::string pair = cookie.substr(0, cookie.find(';'));
        EXPECT_EQ(pair.find(' '), std::string::npos) << pair;
        EXPECT_TRUE(TokenAccepted(token, pair, "")) << token << " -> " << pair;
        EXPECT_FALSE(TokenAccepted(token + "x", pair, "")) << token;
    }
}

TEST_F(StatusAccess, FormFieldsAreDecoded) {
    EXPECT_EQ(PercentDecode("a+b%20c%3Bd"), "a b c;d");
    EXPECT_EQ(PercentDecode("a+b", false), "a+b");
    EXPECT_EQ(PercentDecode("100%"), "100%");
    EXPECT_EQ(PercentDecode("%zz%4"), "%zz%4");
}

}  // namespace
}  // namespace lv
