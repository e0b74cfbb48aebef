#include "cloud/CloudClient.h"

#include <cctype>
#include <vector>

#include <fmt/printf.h>

#include "base/Settings.h"
#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "cloud/CloudDebugCopies.h"
#include "cloud/PrivateSettings.h"
#include "cloud/json/Json.h"
#include "cloud/json/ParsedJson.h"
#include "core/Chrono.h"

namespace lv {

namespace {

constexpr const char* kAgent = "Quillet-Module";

void WritePrivateSetting(const TextSetting& setting, const std::string& value) {
    KeepSettingsPrivate();
    setting.Write(value);
    KeepSettingsPrivate();
}

std::string TextOf(const JsonNode* node) {
    return node->kind == JsonString && node->text != nullptr ? std::string(node->text) : std::string();
}

// The request's outcome as a result and an error text; `method` is "POST" or "GET".
int Outcome(const HttpResult& result, const char* method, std::string& error) {
    const bool post = std::string(method) == "POST";
    switch (result.failure) {
    case HttpFailure::None:
        return kCloudOk;
    case HttpFailure::Setup:
        error = Tr("Error opening winInet session", "Erreur ouverture session WinInet");
        return kCloudNoSession;
    case HttpFailure::Connect:
        error = fmt::sprintf("%s: %s", Tr("Error connecting winInet session", "Erreur connexion session WinInet"),
                             result.detail);
        return kCloudConnectFailed;
    case HttpFailure::Transfer:
    case HttpFailure::TimedOut:
        error = fmt::sprintf("%s: %s",
                             post ? Tr("Error sending winInet POST HTTP request", "Erreur envoi de requête POST HTTP WinInet")
                                  : Tr("Error sending winInet GET HTTP request", "Erreur envoi de requête GET HTTP WinInet"),
                             result.detail);
        return kCloudSendFailed;
    case HttpFailure::Status:
        error = fmt::sprintf(Tr("The cloud service answered HTTP %ld", "Le service cloud a répondu HTTP %ld"),
                             result.status);
        return kCloudHttpStatus;
    case HttpFailure::TooLarge:
        error = fmt::sprintf(Tr("Cloud reply too large (more than %d MB)", "Réponse du cloud trop grande (plus de %d Mo)"),
                             static_cast<int>(HttpLimits{}.maxReplyBytes / (1024 * 1024)));
        return kCloudReplyTooLarge;
    case HttpFailure::Cancelled:
        error = Tr("Request cancelled", "Requête annulée");
        return kCloudCancelled;
    }
    return kCloudSendFailed;
}

// The full address of `path`, or a failure when the service's address is unusable.
int MakeUrl(const CloudConnection& connection, const std::string& path, std::string& url, std::string& error) {
    if (connection.baseUrl.empty()) {
        error = Tr("cloud service address not set", "adresse du service cloud non renseignée");
        return kCloudNoAddress;
    }
    // The API key and the token never travel in clear.
    if (connection.baseUrl.rfind("https://", 0) != 0) {
        error = fmt::sprintf(Tr("The cloud service address must begin with https:// (%s)",
                                "L'adresse du service cloud doit commencer par https:// (%s)"),
                             connection.baseUrl);
        return kCloudNoAddress;
    }
    url = connection.baseUrl + path;
    return kCloudOk;
}

HttpRequest BaseRequest(const CloudConnection& connection) {
    HttpRequest request;
    request.caFile = connection.caFile;
    request.userAgent = kAgent;
    request.limits = connection.limits;
    request.cancel = connection.cancel;
    return request;
}

std::time_t Now(const CloudConnection& connection) {
    return connection.now ? connection.now() : std::time(nullptr);
}

// A token goes into a header line: printable ASCII without blanks only.
bool IsUsableToken(const std::string& token) {
    if (token.empty() || token.size() > 4096) return false;
    for (unsigned char c : token) {
        if (c <= 0x20 || c >= 0x7F) return false;
    }
    return true;
}

int InvalidIdentifier(const std::string& id, std::string& error) {
    error = fmt::sprintf(Tr("Invalid identifier from the cloud or the box: \"%s\"",
                            "Identifiant invalide venant du cloud ou du boîtier : \"%s\""),
                         id.substr(0, 64));
    return kCloudBadIdentifier;
}

std::string CustomerPath(const std::string& customerId) { return "/customers/" + customerId; }

}  // namespace

CloudConnection CloudConnection::FromSettings() {
    CloudConnection connection;
    connection.baseUrl = setting::CloudApiBase.Read();
    while (!connection.baseUrl.empty() && connection.baseUrl.back() == '/') connection.baseUrl.pop_back();
    connection.caFile = setting::CloudCaFile.Read();
    return connection;
}

std::string TokenHourStamp(std::time_t instant) {
    std::tm local{};
    if (::localtime_r(&instant, &local) == nullptr) return {};
    return fmt::sprintf("%4d%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour);
}

std::string TokenRequestBody(const std::string& apiKey) {
    std::string body = "apikey=";
    for (unsigned char c : apiKey) {
        if (std::isalnum(c)) body.push_back(static_cast<char>(c));
        else if (std::isspace(c)) body.push_back('+');
        else body += fmt::format("%{:02X}", c);
    }
    return body;
}

bool IsSafeIdentifier(const std::string& id) {
    if (id.empty() || id.size() > 64 || id == "." || id == "..") return false;
    for (unsigned char c : id) {
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') return false;
    }
    return true;
}

TokenReply ReadTokenReply(const std::string& body) {
    TokenReply read;
    ParsedJson parsed(body);
    if (parsed.root() == nullptr) return read;
    read.json = true;
    for (const JsonNode* member = parsed.root()->firstChild; member != nullptr; member = member->nextSibling) {
        if (member->key == nullptr) continue;
        if (std::string(member->key) == "access_token") {
            read.token = TextOf(member);
            break;
        }
        if (std::string(member->key) == "error") {
            read.refusal = TextOf(member);
            break;
        }
    }
    return read;
}

int ReadDeviceFiles(const std::string& reply, const std::string& deviceId, const std::string& devicePath,
                    std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error) {
    ParsedJson parsed(reply);
    // The list is the first child of the reply's value; a reply without one is not a
    // list of files, not an empty list.
    const JsonNode* list = parsed.root() != nullptr ? JsonItem(parsed.root(), 0) : nullptr;
    if (list == nullptr || list->kind != JsonArray) {
        error = Tr("Invalid JSON data string", "Données JSON invalides");
        return kCloudNoSession;
    }
    for (const JsonNode* item = list->firstChild; item != nullptr; item = item->nextSibling) {
        if (TextOf(JsonGet(item, "DeviceID")) != deviceId) continue;
        auto file = std::make_unique<CDetectionFile>();
        file->fileId = std::to_string(JsonGet(item, "FileNo")->intValue);
        file->count = JsonGet(item, "Count")->intValue;
        CChrono created;
        if (created.ParseIsoTimestamp(TextOf(JsonGet(item, "Created")), true))
            file->created = created.FormatDate() + "    " + created.FormatClockHundredths();
        file->deviceId = deviceId;
        file->detectionsPath = devicePath + "/files/" + file->fileId + "/detections";
        files.push_back(std::move(file));
    }
    return kCloudOk;
}

DevicesReply ReadDevicesReply(const std::string& reply) {
    DevicesReply read;
    ParsedJson parsed(reply);
    const JsonNode* list = parsed.root() != nullptr ? JsonItem(parsed.root(), 0) : nullptr;
    if (list == nullptr || list->kind != JsonArray) return read;
    for (const JsonNode* item = list->firstChild; item != nullptr; item = item->nextSibling) {
        const JsonNode* device = JsonGet(item, "DeviceID");
        std::string id = TextOf(device);
        if (id == "error") {
            // The service puts its refusal in the item's other text members.
            std::string why = TextOf(item);
            for (const JsonNode* member = item->firstChild; member != nullptr; member = member->nextSibling) {
                if (member == device || member->kind != JsonString) continue;
                if (!why.empty()) why += "\n";
                why += TextOf(member);
            }
            read.refusal = std::move(why);
            break;
        }
        read.deviceIds.push_back(std::move(id));
    }
    return read;
}

int RequestAccessToken(const CloudConnection& connection, std::string& token, std::string& error) {
    token.clear();
    const std::string stored = setting::AccessTokenValue.Read();
    if (!stored.empty() && setting::AccessTokenDateTime.Read() == TokenHourStamp(Now(connection))) {
        token = stored;
        return kCloudOk;
    }
    const std::string apiKey = setting::ApiKey.Read();
    if (apiKey.empty()) {
        error = Tr("No API key was set. Edit your customer information",
                   "Aucune API key installée. Editez vos informations utilisateur");
        return kCloudNoApiKey;
    }
    HttpRequest request = BaseRequest(connection);
    if (int result = MakeUrl(connection, "/token", request.url, error); result != kCloudOk) return result;
    request.method = "POST";
    request.headers = {"Content-Type: application/x-www-form-urlencoded"};
    request.body = TokenRequestBody(apiKey);
    const HttpResult reply = HttpTransfer(request);
    if (!reply.Ok() && reply.failure != HttpFailure::Status) return Outcome(reply, "POST", error);

    // The reply's own words come first: a refused key answers {"error": "..."}.
    const TokenReply read = ReadTokenReply(reply.body);
    if (!read.json) {
        if (!reply.Ok()) return Outcome(reply, "POST", error);
        error = Tr("Error decoding Json response", "Erreur décodage de la réponse Json");
        return kCloudBadJson;
    }
    const std::string& found = read.token;
    if (found.empty()) {
        if (!read.refusal.empty()) {
            error = fmt::sprintf(Tr("Error getting access token: %s", "Erreur récupération access token : %s"),
                                 read.refusal.substr(0, 512));
            return kCloudTokenRefused;
        }
        if (!reply.Ok()) return Outcome(reply, "POST", error);
        error = Tr("Error looking for token in Json response", "Erreur recherche token dans la réponse Json");
        return kCloudNoTokenInReply;
    }
    if (!reply.Ok()) return Outcome(reply, "POST", error);
    if (!IsUsableToken(found)) {
        error = Tr("Error looking for token in Json response", "Erreur recherche token dans la réponse Json");
        return kCloudNoTokenInReply;
    }
    WritePrivateSetting(setting::AccessTokenValue, found);
    WritePrivateSetting(setting::AccessTokenDateTime, TokenHourStamp(Now(connection)));
    token = found;
    return kCloudOk;
}

int CloudGet(const CloudConnection& connection, const std::string& token, const std::string& path,
             std::string& reply, std::string& error) {
    HttpRequest request = BaseRequest(connection);
    if (int result = MakeUrl(connection, path, request.url, error); result != kCloudOk) return result;
    if (!IsUsableToken(token)) {
        error = Tr("Error looking for token in Json response", "Erreur recherche token dans la réponse Json");
        return kCloudNoTokenInReply;
    }
    request.headers = {"Accept: application/json", "Authorization: Bearer " + token};
    const HttpResult result = HttpTransfer(request);
    if (const int outcome = Outcome(result, "GET", error); outcome != kCloudOk) return outcome;
    reply += result.body;
    return kCloudOk;
}

int GetCustomerDevices(const CloudConnection& connection, const std::string& token, std::string& reply,
                       std::string& error) {
    const std::string customerId = setting::CustomerId.Read();
    if (customerId.empty() || token.empty()) {
        error = Tr("Customer credentials not set", "Les informations utilisateur sont vides");
        return kCloudNoSession;
    }
    if (!IsSafeIdentifier(customerId)) return InvalidIdentifier(customerId, error);
    const int result = CloudGet(connection, token, CustomerPath(customerId) + "/devices", reply, error);
    if (result == kCloudOk) WriteCloudDebugCopy("devices.json", reply);
    return result;
}

int GetDeviceFiles(const CloudConnection& connection, std::string& token, const std::string& deviceId,
                   std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error) {
    if (const int result = RequestAccessToken(connection, token, error); result != kCloudOk) return result;
    const std::string customerId = setting::CustomerId.Read();
    if (customerId.empty() || token.empty()) {
        error = Tr("Customer credentials not set", "Les informations utilisateur sont vides");
        return kCloudNoSession;
    }
    if (!IsSafeIdentifier(customerId)) return InvalidIdentifier(customerId, error);
    if (!IsSafeIdentifier(deviceId)) return InvalidIdentifier(deviceId, error);
    const std::string devicePath = CustomerPath(customerId) + "/devices/" + deviceId;
    std::string reply;
    if (const int result = CloudGet(connection, token, devicePath + "/files", reply, error); result != kCloudOk)
        return result;
    WriteCloudDebugCopy("files-" + deviceId + ".json", reply);

    return ReadDeviceFiles(reply, deviceId, devicePath, files, error);
}

std::string CloudErrorLogLine(int result, const std::string& error) {
    return fmt::sprintf(Tr("$$$ Error %d: %s", "$$$ Erreur %d : %s"), result, error);
}

int FetchCustomerDevices(const CloudConnection& connection, std::string& devicesReply, std::string& error,
                         std::string& logLine) {
    std::string token;
    int result = RequestAccessToken(connection, token, error);
    if (result == kCloudOk) result = GetCustomerDevices(connection, token, devicesReply, error);
    if (result != kCloudOk) logLine = CloudErrorLogLine(result, error);
    return result;
}

}  // namespace lv
