#include "status/StatusServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <microhttpd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <string_view>

#include <fmt/printf.h>

#include "base/Clock.h"
#include "base/Texts.h"
#include "status/StatusJson.h"
#include "status/StatusPageHtml.h"

namespace lv {

struct StatusServer::Request {
    std::string body;
    bool tooLarge = false;
};

namespace {

// Every answer: nothing cached, nothing loaded from elsewhere, no framing.
void AddCommonHeaders(MHD_Response* response, const char* contentType) {
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, contentType);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-store");
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
    MHD_add_response_header(response, "Content-Security-Policy",
                            "default-src 'none'; script-src 'unsafe-inline'; style-src 'unsafe-inline'; "
                            "connect-src 'self'; form-action 'self'; frame-ancestors 'none'");
}

bool Send(MHD_Connection* connection, unsigned int status, const std::string& body, const char* contentType,
          const std::pair<const char*, std::string>* extra = nullptr) {
    MHD_Response* response =
        MHD_create_response_from_buffer(body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (!response) return false;
    AddCommonHeaders(response, contentType);
    if (extra) MHD_add_response_header(response, extra->first, extra->second.c_str());
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued == MHD_YES;
}

std::string Header(MHD_Connection* connection, const char* name) {
    const char* value = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, name);
    return value ? value : "";
}

// The value of field `name` of a form body, decoded.
std::string FormField(std::string_view body, std::string_view name) {
    while (!body.empty()) {
        const std::size_t end = body.find('&');
        const std::string_view pair = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view() : body.substr(end + 1);
        const std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && PercentDecode(pair.substr(0, equals)) == name) {
            return PercentDecode(pair.substr(equals + 1));
        }
    }
    return {};
}

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json; charset=utf-8";

}  // namespace

// The library's calls, turned into the server's.
struct StatusServerCalls {
    static MHD_Result Answer(void* self, MHD_Connection* connection, const char* url, const char* method,
                             const char* /*version*/, const char* uploadData, std::size_t* uploadSize,
                             void** state) {
        auto* server = static_cast<StatusServer*>(self);
        if (*state == nullptr) {
            *state = new StatusServer::Request();
            return MHD_YES;
        }
        auto* request = static_cast<StatusServer::Request*>(*state);
        if (*uploadSize != 0) {
            if (request->body.size() + *uploadSize > StatusServer::kMaxFormBytes) {
                request->tooLarge = true;
            } else {
                request->body.append(uploadData, *uploadSize);
            }
            *uploadSize = 0;
            return MHD_YES;
        }
        return server->Serve(connection, url ? url : "", method ? method : "", *request) ? MHD_YES : MHD_NO;
    }

    static void Completed(void* /*self*/, MHD_Connection* /*connection*/, void** state,
                          MHD_RequestTerminationCode /*why*/) {
        delete static_cast<StatusServer::Request*>(*state);
        *state = nullptr;
    }
};

StatusServer::StatusServer() = default;

StatusServer::~StatusServer() { Stop(); }

bool StatusServer::Start(const StatusPageSettings& settings, std::string& error) {
    Stop();
    if (settings.port != 0) {
        error = StartRefusal(settings);
        if (!error.empty()) return false;
    } else if (!IsLoopbackBind(settings.bind) && settings.token.empty()) {
        StatusPageSettings asked = settings;
        asked.port = 1;
        error = StartRefusal(asked);
        return false;
    }
    token_ = settings.token;
    page_ = StatusPageHtml();
    tokenPage_ = TokenPageHtml(false);
    wrongTokenPage_ = TokenPageHtml(true);

    const std::string address = settings.bind == "localhost" ? std::string("127.0.0.1") : settings.bind;
    sockaddr_in v4{};
    sockaddr_in6 v6{};
    const sockaddr* where = nullptr;
    unsigned int flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO;
    if (inet_pton(AF_INET, address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(static_cast<std::uint16_t>(settings.port));
        where = reinterpret_cast<const sockaddr*>(&v4);
    } else if (inet_pton(AF_INET6, address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(static_cast<std::uint16_t>(settings.port));
        where = reinterpret_cast<const sockaddr*>(&v6);
        // "::" is every address: IPv4 clients too, as "0.0.0.0" would take them.
        flags |= IN6_IS_ADDR_UNSPECIFIED(&v6.sin6_addr) ? MHD_USE_DUAL_STACK : MHD_USE_IPv6;
    } else {
        StatusPageSettings asked = settings;
        asked.port = 1;
        error = StartRefusal(asked);
        return false;
    }

    daemon_ = MHD_start_daemon(
        flags, static_cast<std::uint16_t>(settings.port), nullptr, nullptr, &StatusServerCalls::Answer, this,
        MHD_OPTION_SOCK_ADDR, where, MHD_OPTION_CONNECTION_LIMIT, static_cast<unsigned int>(kMaxConnections),
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, static_cast<unsigned int>(kMaxConnectionsPerAddress),
        MHD_OPTION_CONNECTION_TIMEOUT, static_cast<unsigned int>(kIdleSeconds), MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        static_cast<std::size_t>(kConnectionMemory), MHD_OPTION_LISTENING_ADDRESS_REUSE,
        static_cast<unsigned int>(1), MHD_OPTION_NOTIFY_COMPLETED, &StatusServerCalls::Completed, this,
        MHD_OPTION_END);
    if (!daemon_) {
        const int cause = errno;
        error = fmt::sprintf(Tr("### Status page not started: cannot listen on %s port %d (%s)",
                                "### Page d'état non démarrée : impossible d'écouter sur %s port %d (%s)"),
                             settings.bind, settings.port, std::strerror(cause));
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(daemon_, MHD_DAEMON_INFO_BIND_PORT);
    port_ = info ? info->port : settings.port;
    return true;
}

void StatusServer::Stop() {
    if (!daemon_) return;
    MHD_stop_daemon(daemon_);
    daemon_ = nullptr;
    port_ = 0;
}

void StatusServer::Publish(std::shared_ptr<const StatusFacts> facts) {
    std::lock_guard<std::mutex> hold(lock_);
    facts_ = std::move(facts);
}

std::shared_ptr<const StatusFacts> StatusServer::Published() const {
    std::lock_guard<std::mutex> hold(lock_);
    return facts_;
}

bool StatusServer::Serve(MHD_Connection* connection, const std::string& url, const std::string& method,
                         Request& request) {
    const bool read = method == "GET" || method == "HEAD";
    if (request.tooLarge) return Send(connection, MHD_HTTP_CONTENT_TOO_LARGE, "", "text/plain");
    if (url == "/login") {
        if (method != "POST") return Send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "", "text/plain");
        const std::string given = FormField(request.body, "token");
        if (!TokenAccepted(token_, "", "Bearer " + given)) return Send(connection, MHD_HTTP_UNAUTHORIZED, wrongTokenPage_, kHtml);
        const std::pair<const char*, std::string> cookie{MHD_HTTP_HEADER_SET_COOKIE, TokenCookie(given)};
        MHD_Response* response = MHD_create_response_from_buffer(0, nullptr, MHD_RESPMEM_PERSISTENT);
        if (!response) return false;
        AddCommonHeaders(response, kHtml);
        MHD_add_response_header(response, MHD_HTTP_HEADER_LOCATION, "./");
        if (!token_.empty()) MHD_add_response_header(response, cookie.first, cookie.second.c_str());
        const MHD_Result queued = MHD_queue_response(connection, MHD_HTTP_SEE_OTHER, response);
        MHD_destroy_response(response);
        return queued == MHD_YES;
    }
    const bool page = url == "/" || url == "/index.html";
    const bool json = url == "/status.json";
    if (!page && !json) return Send(connection, MHD_HTTP_NOT_FOUND, "", "text/plain");
    if (!read) return Send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "", "text/plain");
    const bool allowed =
        TokenAccepted(token_, Header(connection, MHD_HTTP_HEADER_COOKIE), Header(connection, MHD_HTTP_HEADER_AUTHORIZATION));
    if (page) return Send(connection, allowed ? MHD_HTTP_OK : MHD_HTTP_UNAUTHORIZED, allowed ? page_ : tokenPage_, kHtml);
    if (!allowed) {
        const std::pair<const char*, std::string> challenge{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer"};
        return Send(connection, MHD_HTTP_UNAUTHORIZED, "{\"error\":\"token\"}", kJson, &challenge);
    }
    std::shared_ptr<const StatusFacts> facts = Published();
    static const StatusFacts kNone;
    return Send(connection, MHD_HTTP_OK, StatusJson(facts ? *facts : kNone, static_cast<std::int64_t>(std::chrono::system_clock::to_time_t(WallNow()))), kJson);
}

}  // namespace lv
