// What a server's site may say: host, port, protocol; what is refused.
#include <gtest/gtest.h>

#include "ftp/FtpSite.h"
#include "ftp/FtpTransfer.h"

namespace lv {
namespace {

FtpEndpoint Parsed(const std::string& site) {
    FtpEndpoint endpoint;
    std::string reason;
    EXPECT_TRUE(ParseFtpSite(site, endpoint, reason)) << site << ": " << reason;
    return endpoint;
}

TEST(FtpSite, HostPortAndProtocol) {
    FtpEndpoint plain = Parsed("ftp.club.org");
    EXPECT_EQ(plain.protocol, FtpProtocol::Ftp);
    EXPECT_EQ(plain.host, "ftp.club.org");
    EXPECT_EQ(plain.port, 21);

    FtpEndpoint withPort = Parsed("  10.0.0.5:2121 ");
    EXPECT_EQ(withPort.host, "10.0.0.5");
    EXPECT_EQ(withPort.port, 2121);

    EXPECT_EQ(Parsed("FTP://host/").host, "host");

    FtpEndpoint tls = Parsed("ftps://secure.example:990");
    EXPECT_EQ(tls.protocol, FtpProtocol::FtpsExplicit);
    EXPECT_EQ(tls.port, 990);
    EXPECT_EQ(Parsed("ftps://secure.example").port, 21);

    FtpEndpoint ipv6 = Parsed("[::1]:2121");
    EXPECT_EQ(ipv6.host, "[::1]");
    EXPECT_EQ(ipv6.port, 2121);
}

TEST(FtpSite, SftpWhenThisBuildOffersIt) {
    FtpEndpoint endpoint;
    std::string reason;
    bool ok = ParseFtpSite("sftp://box.example", endpoint, reason);
    EXPECT_EQ(ok, FtpProtocolAvailable(FtpProtocol::Sftp));
    if (ok) {
        EXPECT_EQ(endpoint.port, 22);
    }
    EXPECT_EQ(ok, SupportedFtpSchemes().find("sftp") != std::string::npos);
}

TEST(FtpSite, RefusedSites) {
    for (const char* site : {"", "   ", "ftp club.org", "host:0", "host:65536", "host:21x", "host:",
                             "http://host", "user@host", "host/dir", "[::1", "[zz]:21", "host\x01"}) {
        FtpEndpoint endpoint;
        std::string reason;
        EXPECT_FALSE(ParseFtpSite(site, endpoint, reason)) << "'" << site << "'";
        EXPECT_FALSE(reason.empty()) << site;
    }
}

}  // namespace
}  // namespace lv
