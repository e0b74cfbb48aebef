#include "ftp/FtpSite.h"

#include <curl/curl.h>

#include <cctype>
#include <cstring>

#include <fmt/printf.h>

#include "base/Texts.h"
#include "ftp/FtpServers.h"

namespace lv {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    }
    return true;
}

bool IsHostChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

bool ParsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 65535) return false;
    port = value;
    return true;
}

}  // namespace

bool ParseFtpSite(std::string_view siteText, FtpEndpoint& endpoint, std::string& reason) {
    const std::string site = TrimFtpText(siteText);
    std::string_view rest = site;
    endpoint = FtpEndpoint{};
    if (rest.empty()) {
        reason = Tr("no server given", "aucun serveur indiqué");
        return false;
    }
    if (StartsWithNoCase(rest, "ftp://")) {
        rest.remove_prefix(6);
    } else if (StartsWithNoCase(rest, "ftps://")) {
        endpoint.protocol = FtpProtocol::FtpsExplicit;
        rest.remove_prefix(7);
    } else if (StartsWithNoCase(rest, "sftp://")) {
        endpoint.protocol = FtpProtocol::Sftp;
        endpoint.port = 22;
        rest.remove_prefix(7);
    } else if (rest.find("://") != std::string_view::npos) {
        reason = Tr("unknown protocol (ftp://, ftps:// or sftp:// expected)",
                    "protocole inconnu (ftp://, ftps:// ou sftp:// attendu)");
        return false;
    }
    // "ftp://host/" is still just the host.
    if (!rest.empty() && rest.back() == '/') rest.remove_suffix(1);

    std::string_view host = rest;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        std::size_t close = rest.find(']');
        if (close == std::string_view::npos) {
            reason = Tr("unclosed '[' in the address", "'[' non fermé dans l'adresse");
            return false;
        }
        host = rest.substr(0, close + 1);
        std::string_view after = rest.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') {
                reason = Tr("unexpected text after the address", "texte inattendu après l'adresse");
                return false;
            }
            port = after.substr(1);
            if (port.empty()) port = ":";  // refused below
        }
        for (char c : host.substr(1, host.size() - 2)) {
            if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.') {
                reason = Tr("invalid IPv6 address", "adresse IPv6 invalide");
                return false;
            }
        }
    } else {
        std::size_t colon = rest.find(':');
        if (colon != std::string_view::npos) {
            host = rest.substr(0, colon);
            port = rest.substr(colon + 1);
            if (port.empty()) port = ":";
        }
        for (char c : host) {
            if (!IsHostChar(c)) {
                reason = fmt::sprintf(Tr("invalid character '%s' in the server name "
                                         "(blanks, '/', '@' are not allowed)",
                                         "caractère '%s' invalide dans le nom du serveur "
                                         "(blancs, '/', '@' interdits)"),
                                      std::isprint(static_cast<unsigned char>(c))
                                          ? std::string(1, c)
                                          : fmt::sprintf("\\x%02X", static_cast<unsigned char>(c)));
                return false;
            }
        }
    }
    if (host.empty() || host == "[]") {
        reason = Tr("no server given", "aucun serveur indiqué");
        return false;
    }
    if (!port.empty() && !ParsePort(port, endpoint.port)) {
        reason = Tr("invalid port (1 to 65535)", "port invalide (1 à 65535)");
        return false;
    }
    endpoint.host = std::string(host);
    if (!FtpProtocolAvailable(endpoint.protocol)) {
        reason = Tr("this protocol is not available in this build",
                    "ce protocole n'est pas disponible dans cette version");
        return false;
    }
    return true;
}

bool FtpProtocolAvailable(FtpProtocol protocol) {
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (info == nullptr) return false;
    const char* wanted = "ftp";
    if (protocol == FtpProtocol::Sftp) wanted = "sftp";
    bool found = false;
    for (const char* const* name = info->protocols; name && *name; ++name) {
        if (std::strcmp(*name, wanted) == 0) found = true;
    }
    if (found && protocol == FtpProtocol::FtpsExplicit) found = (info->features & CURL_VERSION_SSL) != 0;
    return found;
}

}  // namespace lv
