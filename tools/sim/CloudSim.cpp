// lumivane-sim cloud: a stand-in for the decoder vendor's device REST service over
// HTTPS on loopback, written from the service's request and reply formats alone:
//   POST /token                          form body "apikey=<key>" -> {"access_token": ...}
//                                        or {"error": ...}
//   GET  /customers/<id>/devices         {"Devices": [{"DeviceID", "TimeZoneName"}...]}
//   GET  .../devices/<dev>/files         {"Files": [{"DeviceID", "FileNo", "Count",
//                                        "Created"}...]} (the files of every device)
//   GET  .../files/<n>/detections        [{"TranspCode", "Time"}...]
// GETs need "Accept: application/json" and "Authorization: Bearer <issued token>".
// The certificate is generated with openssl at start (or given); its path is printed.
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "SimCommands.h"
#include "SimHttp.h"
#include "StopSignals.h"

extern char** environ;

namespace sim {

namespace {


struct Options {
    int port = 0;
    std::string bind = "127.0.0.1";
    std::string tlsDir;
    std::string certFile;
    std::string keyFile;
    std::string apiKey = "demo-key";
    std::string customer = "1001";
    int devices = 2;
    int files = 3;
    int detections = 3;
    int emptyFile = 0;  // this file of every device holds no detection
    unsigned seed = 1;
    int slowMs = 5000;
    std::string requestLog;
    std::map<std::string, std::string> faults;  // place -> kind
};

void PrintHelp() {
    std::printf(
        "usage: lumivane-sim cloud [options]\n"
        "  --port N             port to listen on (0: any; printed as \"port N\")\n"
        "  --bind ADDR          address to listen on (default 127.0.0.1)\n"
        "  --tls-dir DIR        where cert.pem and key.pem are generated (default: a new\n"
        "                       temporary folder); the CA path is printed as \"ca PATH\"\n"
        "  --cert FILE --key FILE  use this certificate and key instead\n"
        "  --api-key KEY        the key that gets a token (default demo-key)\n"
        "  --customer ID        the customer account (default 1001)\n"
        "  --devices N --files N --detections N   size of the generated account (2, 3, 3)\n"
        "  --empty-file N       file N of every device holds no detection (count 0)\n"
        "  --seed N             generator seed (chip codes and times)\n"
        "  --fault PLACE:KIND   PLACE token|devices|files|detections; KIND 401|500|cut|\n"
        "                       nonarray|slow|huge|error|errorfirst (huge: a 50 MB reply;\n"
        "                       error: an error device in the devices reply; errorfirst:\n"
        "                       a token reply with \"error\" before \"access_token\"); repeatable\n"
        "  --slow-ms N          delay of the slow fault (default 5000)\n"
        "  --request-log FILE   append one line per request (method, path, headers, body)\n");
}

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "cloud: %s needs a value\n", word.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        if (word == "--help") {
            PrintHelp();
            std::exit(0);
        } else if (word == "--port") {
            options.port = std::atoi(value().c_str());
        } else if (word == "--bind") {
            options.bind = value();
        } else if (word == "--tls-dir") {
            options.tlsDir = value();
        } else if (word == "--cert") {
            options.certFile = value();
        } else if (word == "--key") {
            options.keyFile = value();
        } else if (word == "--api-key") {
            options.apiKey = value();
        } else if (word == "--customer") {
            options.customer = value();
        } else if (word == "--devices") {
            options.devices = std::atoi(value().c_str());
        } else if (word == "--files") {
            options.files = std::atoi(value().c_str());
        } else if (word == "--detections") {
            options.detections = std::atoi(value().c_str());
        } else if (word == "--empty-file") {
            options.emptyFile = std::atoi(value().c_str());
        } else if (word == "--seed") {
            options.seed = static_cast<unsigned>(std::strtoul(value().c_str(), nullptr, 10));
        } else if (word == "--slow-ms") {
            options.slowMs = std::atoi(value().c_str());
        } else if (word == "--request-log") {
            options.requestLog = value();
        } else if (word == "--fault") {
            const std::string fault = value();
            const std::size_t colon = fault.find(':');
            if (colon == std::string::npos) {
                std::fprintf(stderr, "cloud: --fault PLACE:KIND\n");
                return false;
            }
            options.faults[fault.substr(0, colon)] = fault.substr(colon + 1);
        } else {
            std::fprintf(stderr, "cloud: unknown option %s\n", word.c_str());
            return false;
        }
    }
    return true;
}

// openssl req: a self-signed certificate for 127.0.0.1 and localhost.
bool GenerateCertificate(const std::string& cert, const std::string& key) {
    std::vector<std::string> words = {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                                      "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert,
                                      "-days", "3", "-subj", "/CN=127.0.0.1", "-addext",
                                      "subjectAltName=IP:127.0.0.1,DNS:localhost"};
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = ::posix_spawnp(&pid, "openssl", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string FormDecode(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out.push_back(' ');
        } else if (text[i] == '%' && i + 2 < text.size() + 0 && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::strtol(text.substr(i + 1, 2).c_str(), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::vector<std::string> SplitPath(const std::string& target) {
    std::vector<std::string> parts;
    const std::string path = target.substr(0, target.find('?'));
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t slash = path.find('/', start);
        if (slash == std::string::npos) slash = path.size();
        parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

// "2024-05-01T07:30:00.000Z" plus `seconds` and `ms`.
std::string IsoUtc(long long seconds, int ms) {
    const std::time_t base = 1714548600 + static_cast<std::time_t>(seconds);  // 2024-05-01 07:30:00 UTC
    std::tm utc{};
    ::gmtime_r(&base, &utc);
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900, utc.tm_mon + 1,
                  utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec, ms);
    return text;
}

class CloudService {
public:
    explicit CloudService(Options options) : options_(std::move(options)) {}

    void Handle(const http::Request& request, http::Connection& connection) {
        LogRequest(request);
        const std::vector<std::string> parts = SplitPath(request.target);
        if (parts.size() == 1 && parts[0] == "token") return Token(request, connection);
        if (request.method != "GET") return Json(connection, 405, R"({"error": "method not allowed"})");
        if (request.Header("Accept") != "application/json")
            return Json(connection, 406, R"({"error": "Accept must be application/json"})");
        if (!Authorised(request)) return Json(connection, 401, R"({"error": "invalid token"})");
        if (parts.size() < 3 || parts[0] != "customers" || parts[2] != "devices")
            return Json(connection, 404, R"({"error": "no such resource"})");
        if (parts[1] != options_.customer) return Json(connection, 404, R"({"error": "no such customer"})");
        if (parts.size() == 3) return Reply(connection, "devices", Devices());
        const int device = DeviceIndex(parts[3]);
        if (device < 0) return Json(connection, 404, R"({"error": "no such device"})");
        if (parts.size() == 5 && parts[4] == "files") return Reply(connection, "files", Files());
        if (parts.size() == 7 && parts[4] == "files" && parts[6] == "detections") {
            const int file = std::atoi(parts[5].c_str());
            if (file < 1 || file > options_.files) return Json(connection, 404, R"({"error": "no such file"})");
            return Reply(connection, "detections", Detections(device, file));
        }
        Json(connection, 404, R"({"error": "no such resource"})");
    }

private:
    static void Json(http::Connection& connection, int status, const std::string& body) {
        http::SendResponse(connection, status, "application/json", body);
    }

    void LogRequest(const http::Request& request) {
        if (options_.requestLog.empty()) return;
        std::lock_guard<std::mutex> hold(lock_);
        FILE* file = std::fopen(options_.requestLog.c_str(), "a");
        if (file == nullptr) return;
        std::fprintf(file, "%s %s | agent=%s | accept=%s | auth=%s | type=%s | body=%s\n", request.method.c_str(),
                     request.target.c_str(), request.Header("User-Agent").c_str(), request.Header("Accept").c_str(),
                     request.Header("Authorization").c_str(), request.Header("Content-Type").c_str(),
                     request.body.c_str());
        std::fclose(file);
    }

    std::string Fault(const std::string& place) const {
        const auto found = options_.faults.find(place);
        return found == options_.faults.end() ? std::string() : found->second;
    }

    // The reply of one place, with its fault if one was asked for.
    void Reply(http::Connection& connection, const std::string& place, const std::string& body) {
        const std::string fault = Fault(place);
        if (fault == "401") return Json(connection, 401, R"({"error": "unauthorized"})");
        if (fault == "500") return http::SendResponse(connection, 500, "text/plain", "internal error\n");
        if (fault == "nonarray") return Json(connection, 200, R"({"message": "not a list"})");
        if (fault == "cut") {
            http::SendHead(connection, 200, "application/json", body.size() + 100);
            connection.Write(body.substr(0, body.size() / 2));
            return;
        }
        if (fault == "slow") {
            for (int waited = 0; waited < options_.slowMs && !g_stop.load(); waited += 50)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (fault == "huge") return Huge(connection);
        if (place == "devices" && fault == "error")
            return Json(connection, 200, R"({"Devices": [{"DeviceID": "error", "Message": "account suspended"}]})");
        Json(connection, 200, body);
    }

    // 50 MB of detections, written as it goes.
    void Huge(http::Connection& connection) {
        const std::string item = R"({"TranspCode": "2000001", "Time": "2024-05-01T07:30:00.000Z"},)";
        const std::size_t count = 50u * 1000 * 1000 / item.size();
        http::SendHead(connection, 200, "application/json", 1 + count * item.size() + 1);
        if (!connection.Write("[", 1)) return;
        std::string chunk;
        for (int i = 0; i < 1000; ++i) chunk += item;
        std::size_t sent = 0;
        while (sent + 1000 <= count) {
            if (!connection.Write(chunk)) return;
            sent += 1000;
        }
        for (; sent < count; ++sent) {
            if (!connection.Write(item)) return;
        }
        connection.Write("]", 1);
    }

    void Token(const http::Request& request, http::Connection& connection) {
        const std::string fault = Fault("token");
        if (fault == "500") return http::SendResponse(connection, 500, "text/plain", "internal error\n");
        if (fault == "cut") {
            http::SendHead(connection, 200, "application/json", 200);
            connection.Write(std::string(R"({"access_to)"));
            return;
        }
        if (fault == "slow") {
            for (int waited = 0; waited < options_.slowMs && !g_stop.load(); waited += 50)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (request.method != "POST") return Json(connection, 405, R"({"error": "method not allowed"})");
        if (request.Header("Content-Type") != "application/x-www-form-urlencoded")
            return Json(connection, 400, R"({"error": "form body expected"})");
        const std::string prefix = "apikey=";
        if (request.body.rfind(prefix, 0) != 0 || FormDecode(request.body.substr(prefix.size())) != options_.apiKey ||
            fault == "401")
            return Json(connection, 401, R"({"error": "invalid api key"})");
        if (fault == "errorfirst")
            return Json(connection, 200, R"({"error": "key revoked", "access_token": "tok-late"})");
        std::string token;
        {
            std::lock_guard<std::mutex> hold(lock_);
            token = "tok" + std::to_string(++issued_) + "s" + std::to_string(options_.seed);
            tokens_.insert(token);
        }
        Json(connection, 200, R"({"token_type": "bearer", "access_token": ")" + token + R"(", "expires_in": 3600})");
    }

    bool Authorised(const http::Request& request) {
        const std::string header = request.Header("Authorization");
        const std::string prefix = "Bearer ";
        if (header.rfind(prefix, 0) != 0) return false;
        std::lock_guard<std::mutex> hold(lock_);
        return tokens_.count(header.substr(prefix.size())) != 0;
    }

    std::string DeviceId(int index) const { return "A-" + std::to_string(1000 + index); }

    int DeviceIndex(const std::string& id) const {
        for (int i = 0; i < options_.devices; ++i) {
            if (DeviceId(i) == id) return i;
        }
        return -1;
    }

    std::string Devices() const {
        std::string body = R"({"Devices": [)";
        for (int i = 0; i < options_.devices; ++i) {
            if (i > 0) body += ", ";
            body += R"({"DeviceID": ")" + DeviceId(i) + R"(", "TimeZoneName": "Europe/Paris"})";
        }
        return body + "]}";
    }

    int Count(int file) const { return file == options_.emptyFile ? 0 : options_.detections; }

    // The files of every device of the account, device after device.
    std::string Files() const {
        std::string body = R"({"Files": [)";
        bool first = true;
        for (int device = 0; device < options_.devices; ++device) {
            for (int file = 1; file <= options_.files; ++file) {
                if (!first) body += ", ";
                first = false;
                body += R"({"DeviceID": ")" + DeviceId(device) + R"(", "FileNo": )" + std::to_string(file) +
                        R"(, "Count": )" + std::to_string(Count(file)) + R"(, "Created": ")" +
                        IsoUtc(-5400 + 3600LL * file, 0) + R"("})";
            }
        }
        return body + "]}";
    }

    std::string Detections(int device, int file) const {
        unsigned state = options_.seed * 2654435761u + static_cast<unsigned>(device * 131 + file);
        std::string body = "[";
        for (int i = 0; i < Count(file); ++i) {
            state = state * 1103515245u + 12345u;
            const int chip = 2000000 + static_cast<int>((state >> 8) % 5000);
            if (i > 0) body += ", ";
            body += R"({"TranspCode": ")" + std::to_string(chip) + R"(", "Time": ")" +
                    IsoUtc(3600LL * (file - 1) + 7 * i, static_cast<int>((state >> 4) % 1000)) + R"("})";
        }
        return body + "]";
    }

    Options options_;
    std::mutex lock_;
    std::set<std::string> tokens_;
    long issued_ = 0;
};

}  // namespace

int RunCloudSimulator(int argc, char** argv) {
    Options options;
    if (!ParseOptions(argc, argv, options)) return 2;

    InstallStopSignals();

    if (options.certFile.empty() != options.keyFile.empty()) {
        std::fprintf(stderr, "cloud: --cert and --key go together\n");
        return 2;
    }
    if (options.certFile.empty()) {
        if (options.tlsDir.empty()) {
            char pattern[] = "/tmp/lumivane-cloud-XXXXXX";
            if (::mkdtemp(pattern) == nullptr) {
                std::fprintf(stderr, "cloud: cannot make a temporary folder\n");
                return 1;
            }
            options.tlsDir = pattern;
        }
        ::mkdir(options.tlsDir.c_str(), 0700);
        options.certFile = options.tlsDir + "/cert.pem";
        options.keyFile = options.tlsDir + "/key.pem";
        struct stat info {};
        if (::stat(options.certFile.c_str(), &info) != 0 || ::stat(options.keyFile.c_str(), &info) != 0) {
            if (!GenerateCertificate(options.certFile, options.keyFile)) {
                std::fprintf(stderr, "cloud: openssl could not generate a certificate in %s\n", options.tlsDir.c_str());
                return 1;
            }
        }
    }
    SSL_CTX* context = http::MakeServerContext(options.certFile, options.keyFile);
    if (context == nullptr) return 1;

    const std::string certFile = options.certFile;
    const std::string bind = options.bind;
    const int port = options.port;
    auto service = std::make_shared<CloudService>(std::move(options));
    http::Server server;
    if (!server.Listen(bind, port, context, [service](const http::Request& request, http::Connection& connection) {
            service->Handle(request, connection);
        })) {
        return 1;
    }
    std::printf("port %d\nca %s\n", server.Port(), certFile.c_str());
    std::fflush(stdout);
    server.Run(g_stop);
    SSL_CTX_free(context);
    return 0;
}

}  // namespace sim
