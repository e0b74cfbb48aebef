#pragma once
// One HTTP request from a test, through libcurl: its status, headers and body.
#include <curl/curl.h>

#include <string>
#include <vector>

namespace lv::test {

struct HttpReply {
    long status = 0;  // 0: no answer (refused, closed, timed out)
    std::string headers;
    std::string body;
};

// GET, or POST of `form` (application/x-www-form-urlencoded) when given; redirects are
// not followed. `extraHeaders` are whole header lines ("Cookie: a=b").
inline HttpReply HttpFetch(const std::string& url, const std::vector<std::string>& extraHeaders = {},
                           const std::string* form = nullptr, long timeoutSeconds = 5) {
    HttpReply reply;
    CURL* curl = curl_easy_init();
    if (!curl) return reply;
    auto append = +[](char* data, size_t size, size_t count, void* out) -> size_t {
        static_cast<std::string*>(out)->append(data, size * count);
        return size * count;
    };
    curl_slist* headers = nullptr;
    for (const std::string& line : extraHeaders) headers = curl_slist_append(headers, line.c_str());
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, append);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, &reply.headers);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, timeoutSeconds);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
    if (form) curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, form->c_str());
    if (curl_easy_perform(curl) == CURLE_OK) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(curl);
    return reply;
}

}  // namespace lv::test
