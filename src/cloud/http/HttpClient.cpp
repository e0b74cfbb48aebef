#include "cloud/http/HttpClient.h"

#include <curl/curl.h>

#include <mutex>

#include <fmt/format.h>

namespace lv {

namespace {

void InitialiseCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Transfer {
    const HttpRequest* request = nullptr;
    std::string body;
    bool tooLarge = false;
};

size_t OnData(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const size_t bytes = size * count;
    if (transfer->body.size() + bytes > transfer->request->limits.maxReplyBytes) {
        transfer->tooLarge = true;
        return 0;  // ends the transfer with a write error
    }
    transfer->body.append(data, bytes);
    return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* transfer = static_cast<Transfer*>(user);
    const std::atomic<bool>* cancel = transfer->request->cancel;
    return cancel != nullptr && cancel->load() ? 1 : 0;
}

HttpFailure Classify(CURLcode code) {
    switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_URL_MALFORMAT:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
        return HttpFailure::Connect;
    case CURLE_OPERATION_TIMEDOUT:
        return HttpFailure::TimedOut;
    case CURLE_ABORTED_BY_CALLBACK:
        return HttpFailure::Cancelled;
    default:
        return HttpFailure::Transfer;
    }
}

}  // namespace

HttpResult HttpTransfer(const HttpRequest& request) {
    InitialiseCurlOnce();
    HttpResult result;
    CURL* curl = curl_easy_init();
    if (curl == nullptr) {
        result.failure = HttpFailure::Setup;
        result.detail = "curl_easy_init failed";
        return result;
    }
    Transfer transfer;
    transfer.request = &request;
    char errorText[CURL_ERROR_SIZE] = {};
    curl_slist* headers = nullptr;
    for (const std::string& header : request.headers) {
        curl_slist* grown = curl_slist_append(headers, header.c_str());
        if (grown == nullptr) break;
        headers = grown;
    }

    curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caFile.empty()) {
        // An extra CA: the file is trusted besides the system's folder of certificates.
        curl_easy_setopt(curl, CURLOPT_CAINFO, request.caFile.c_str());
        const curl_version_info_data* version = curl_version_info(CURLVERSION_NOW);
        if (version != nullptr && version->capath != nullptr)
            curl_easy_setopt(curl, CURLOPT_CAPATH, version->capath);
    }
    if (!request.userAgent.empty()) curl_easy_setopt(curl, CURLOPT_USERAGENT, request.userAgent.c_str());
    if (headers != nullptr) curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    if (request.method == "POST") {
        curl_easy_setopt(curl, CURLOPT_POST, 1L);
        curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.c_str());
        curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
    } else {
        curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, request.limits.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, request.limits.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.limits.maxReplyBytes));
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnData);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);

    const CURLcode code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &result.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);

    result.body = std::move(transfer.body);
    if (transfer.tooLarge || code == CURLE_FILESIZE_EXCEEDED) {
        result.failure = HttpFailure::TooLarge;
        result.detail = fmt::format("reply larger than {} bytes", request.limits.maxReplyBytes);
    } else if (code != CURLE_OK) {
        result.failure = Classify(code);
        result.detail = errorText[0] != '\0' ? std::string(errorText) : std::string(curl_easy_strerror(code));
    } else if (result.status < 200 || result.status > 299) {
        result.failure = HttpFailure::Status;
        result.detail = fmt::format("HTTP {}", result.status);
    }
    if (!result.Ok() && result.failure != HttpFailure::Status) result.body.clear();
    return result;
}

}  // namespace lv
