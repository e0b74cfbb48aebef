#include "status/StatusAccess.h"

#include <arpa/inet.h>

#include <algorithm>
#include <iterator>

#include <fmt/printf.h>

#include "base/SettingsSchema.h"
#include "base/Texts.h"

namespace lv {

namespace {

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Compares without stopping at the first difference: the time of a wrong guess tells
// nothing about how much of it was right.
bool SameSecret(std::string_view given, std::string_view secret) {
    unsigned char difference = given.size() == secret.size() ? 0 : 1;
    for (std::size_t i = 0; i < given.size(); ++i) {
        const unsigned char s = secret.empty() ? 0 : static_cast<unsigned char>(secret[i % secret.size()]);
        difference |= static_cast<unsigned char>(static_cast<unsigned char>(given[i]) ^ s);
    }
    return difference == 0;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

StatusPageSettings ReadStatusPageSettings() {
    StatusPageSettings settings;
    settings.port = setting::StatusPagePort.ReadBack();
    settings.bind = std::string(Trimmed(setting::StatusPageBind.ReadBack()));
    if (settings.bind.empty()) settings.bind = setting::StatusPageBind.defaultValue;
    settings.token = setting::StatusPageToken.ReadBack();
    return settings;
}

bool IsLoopbackBind(std::string_view bind) {
    const std::string address(Trimmed(bind));
    if (address == "localhost") return true;
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    in6_addr v6{};
    if (inet_pton(AF_INET6, address.c_str(), &v6) == 1) {
        static const in6_addr loopback = IN6ADDR_LOOPBACK_INIT;
        return std::equal(std::begin(v6.s6_addr), std::end(v6.s6_addr), std::begin(loopback.s6_addr));
    }
    return false;
}

std::string StartRefusal(const StatusPageSettings& settings) {
    if (settings.port < 1 || settings.port > 65535) {
        return fmt::sprintf(Tr("### Status page not started: port %d is not a port (1 to 65535)",
                               "### Page d'état non démarrée : le port %d n'est pas un port (1 à 65535)"),
                            settings.port);
    }
    const std::string address(Trimmed(settings.bind));
    in_addr v4{};
    in6_addr v6{};
    if (address != "localhost" && inet_pton(AF_INET, address.c_str(), &v4) != 1 &&
        inet_pton(AF_INET6, address.c_str(), &v6) != 1) {
        return fmt::sprintf(Tr("### Status page not started: \"%s\" is not an address to listen on",
                               "### Page d'état non démarrée : \"%s\" n'est pas une adresse d'écoute"),
                            address);
    }
    if (!IsLoopbackBind(address) && settings.token.empty()) {
        return fmt::sprintf(Tr("### Status page not started: listening on %s needs a token ([StatusPage] Token), "
                               "or listen on 127.0.0.1",
                               "### Page d'état non démarrée : écouter sur %s demande un jeton ([StatusPage] "
                               "Token), ou écoutez sur 127.0.0.1"),
                            address);
    }
    return {};
}

std::string PercentDecode(std::string_view text, bool plusIsBlank) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+' && plusIsBlank) {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string TokenCookie(std::string_view token) {
    std::string value;
    for (unsigned char c : token) {
        if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '-' || c == '_' ||
            c == '.') {
            value.push_back(static_cast<char>(c));
        } else {
            value += fmt::format("%{:02X}", c);
        }
    }
    // A month: a timing point is set up once for a race weekend.
    return std::string(kStatusTokenCookie) + "=" + value + "; Path=/; Max-Age=2592000; HttpOnly; SameSite=Strict";
}

bool TokenAccepted(std::string_view token, std::string_view cookieHeader, std::string_view authorization) {
    if (token.empty()) return true;
    bool accepted = false;
    const std::string_view bearer = "Bearer ";
    const std::string_view given = Trimmed(authorization);
    if (given.size() > bearer.size() && given.substr(0, bearer.size()) == bearer) {
        accepted |= SameSecret(Trimmed(given.substr(bearer.size())), token);
    }
    std::string_view rest = cookieHeader;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        const std::string_view pair = Trimmed(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos || Trimmed(pair.substr(0, equals)) != kStatusTokenCookie) continue;
        std::string_view value = Trimmed(pair.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        // '+' is a plus sign in a cookie: only %XX escapes were made by TokenCookie.
        accepted |= SameSecret(PercentDecode(value, false), token);
    }
    return accepted;
}

}  // namespace lv
