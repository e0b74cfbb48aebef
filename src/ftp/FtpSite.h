#pragma once
// What a server's "site" text names: the protocol, the host and the port.
//   "host" or "host:2121"          plain FTP (port 21 unless given)
//   "ftp://host[:port]"            the same
//   "ftps://host[:port]"           FTP with explicit TLS (AUTH TLS), port 21 unless given
//   "sftp://host[:port]"           SFTP (SSH), port 22 unless given
// IPv6 addresses go in brackets: "[::1]:2121". Anything else (blanks, a path, a user
// part, another scheme) is refused with a reason.
#include <string>
#include <string_view>

namespace lv {

enum class FtpProtocol { Ftp, FtpsExplicit, Sftp };

struct FtpEndpoint {
    FtpProtocol protocol = FtpProtocol::Ftp;
    std::string host;  // brackets kept around an IPv6 address
    int port = 21;
};

// False with the reason in the language of the interface.
bool ParseFtpSite(std::string_view site, FtpEndpoint& endpoint, std::string& reason);

// Whether this build's libcurl offers the protocol.
bool FtpProtocolAvailable(FtpProtocol protocol);

}  // namespace lv
