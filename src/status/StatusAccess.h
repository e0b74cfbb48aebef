#pragma once
// Who may read the status page, and where it listens: section "StatusPage" of the
// settings file. The page is off unless a port is given; it listens on the loopback
// address unless told otherwise, and anywhere else only behind a token, which a browser
// gives once and then keeps in a cookie (scripts send it as "Authorization: Bearer").
#include <string>
#include <string_view>

namespace lv {

struct StatusPageSettings {
    int port = 0;                    // 0: no status page
    std::string bind = "127.0.0.1";  // an IPv4 or IPv6 address, or "localhost"
    std::string token;               // empty: no token asked
};

// Read from the settings file, each key written back so that the file lists it.
StatusPageSettings ReadStatusPageSettings();

// 127.x.x.x, ::1 and "localhost": only this computer can reach the page there.
bool IsLoopbackBind(std::string_view bind);

// Why the page may not start with these settings (in the program's language); empty
// when it may. A port of 0 is not asked about: it means no page at all.
std::string StartRefusal(const StatusPageSettings& settings);

// The cookie's name, and its Set-Cookie value once the token was given.
inline constexpr const char* kStatusTokenCookie = "lumivane_token";
std::string TokenCookie(std::string_view token);

// Whether a request may read the page: always when no token is set, else when its
// cookie or its "Authorization: Bearer ..." header carries the token. Either header
// may be empty (absent).
bool TokenAccepted(std::string_view token, std::string_view cookieHeader, std::string_view authorization);

// "%41b" -> "Ab"; '+' is a blank in form fields (plusIsBlank), itself in a cookie. A
// malformed escape stays as it is.
std::string PercentDecode(std::string_view text, bool plusIsBlank = true);

}  // namespace lv
