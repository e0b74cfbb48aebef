// The site text of an FTP server: what reads names a host and a port in range, and the
// site written again from them reads the same.
#include <fmt/format.h>

#include "FuzzSupport.h"
#include "ftp/FtpSite.h"

using namespace lv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view site(reinterpret_cast<const char*>(data), size);
    FtpEndpoint endpoint;
    std::string reason;
    if (!ParseFtpSite(site, endpoint, reason)) {
        FUZZ_CHECK(!reason.empty());
        return 0;
    }
    FUZZ_CHECK(!endpoint.host.empty());
    FUZZ_CHECK(endpoint.port >= 1 && endpoint.port <= 65535);
    const char* scheme = endpoint.protocol == FtpProtocol::Sftp           ? "sftp://"
                         : endpoint.protocol == FtpProtocol::FtpsExplicit ? "ftps://"
                                                                          : "ftp://";
    FtpEndpoint again;
    FUZZ_CHECK(ParseFtpSite(fmt::format("{}{}:{}", scheme, endpoint.host, endpoint.port), again, reason));
    FUZZ_CHECK(again.protocol == endpoint.protocol && again.host == endpoint.host && again.port == endpoint.port);
    return 0;
}
