#pragma once
// The client of the vendor's device REST service: the bearer token (cached in the
// settings for the clock hour), the authorised GET, the customer's devices and the
// files of one device. Every call is blocking: callers run it off the UI thread.
// Results: 0 success, negative failure with the reason in `error` (language of the
// interface).
#include <atomic>
#include <ctime>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "boxes/DetectionFile.h"
#include "cloud/http/HttpClient.h"

namespace lv {

// Failure results. -1..-8 and -99 are those the service's users know.
enum CloudResult : int {
    kCloudOk = 0,
    kCloudNoSession = -1,        // also "Customer credentials not set", "Invalid JSON data string"
    kCloudConnectFailed = -2,
    kCloudRequestFailed = -3,
    kCloudSendFailed = -4,       // the transfer failed or was cut short
    kCloudHttpStatus = -5,       // an answer other than 2xx
    kCloudBadJson = -6,
    kCloudTokenRefused = -7,
    kCloudNoTokenInReply = -8,
    kCloudReplyTooLarge = -9,
    kCloudCancelled = -10,
    kCloudNoAddress = -11,       // URLs/CloudApiBase is empty
    kCloudBadIdentifier = -12,   // a device or file id that cannot go into a path
    kCloudNoApiKey = -99,
};

// Where and how requests go; FromSettings reads the address and the CA file.
struct CloudConnection {
    std::string baseUrl;  // "https://host[:port]" without a trailing slash
    std::string caFile;   // extra trusted CA certificates (PEM); empty: the system's only
    HttpLimits limits;
    const std::atomic<bool>* cancel = nullptr;  // set from another thread: the request ends
    // The present instant; the token is cached per local clock hour of it.
    std::function<std::time_t()> now;

    static CloudConnection FromSettings();
};

// Local "YYYYMMDDHH" of an instant: the token's hour stamp.
std::string TokenHourStamp(std::time_t instant);

// "apikey=" and the key form-encoded (letters and digits kept, blanks as '+', every
// other byte %XX).
std::string TokenRequestBody(const std::string& apiKey);

int RequestAccessToken(const CloudConnection& connection, std::string& token, std::string& error);

// The replies of the service read without I/O (what the requests above do with them).
// A token reply: the first "access_token" or "error" member of the object, whichever
// comes first.
struct TokenReply {
    bool json = false;  // the reply is JSON at all
    std::string token;
    std::string refusal;
};
TokenReply ReadTokenReply(const std::string& body);
// The files of `deviceId` in a files reply (a list as the first child of its value),
// each fetched from `devicePath` + "/files/<id>/detections". kCloudOk, or
// kCloudNoSession with "Invalid JSON data string" when the reply holds no list.
int ReadDeviceFiles(const std::string& reply, const std::string& deviceId, const std::string& devicePath,
                    std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error);
// A devices reply: the device ids in reply order (empty for an item without one); an
// item whose id is "error" ends the list and carries the service's refusal.
struct DevicesReply {
    std::vector<std::string> deviceIds;
    std::optional<std::string> refusal;
};
DevicesReply ReadDevicesReply(const std::string& reply);
// Appends the reply of GET `path` (which begins with '/') to `reply`.
int CloudGet(const CloudConnection& connection, const std::string& token, const std::string& path,
             std::string& reply, std::string& error);
// The unparsed devices reply of the customer.
int GetCustomerDevices(const CloudConnection& connection, const std::string& token, std::string& reply,
                       std::string& error);
// The files of one device, in reply order (files of other devices left out).
int GetDeviceFiles(const CloudConnection& connection, std::string& token, const std::string& deviceId,
                   std::vector<std::unique_ptr<CDetectionFile>>& files, std::string& error);

// Steps of "Get customer detections" before the explorer opens: token, then the
// devices reply. On failure `logLine` is "$$$ Error %d: %s" for the import log.
int FetchCustomerDevices(const CloudConnection& connection, std::string& devicesReply, std::string& error,
                         std::string& logLine);
std::string CloudErrorLogLine(int result, const std::string& error);

// A device or file id from a box or the cloud goes into a request path or a file name
// only when it is made of letters, digits, '-', '_' and '.' (not "." or ".."), at most
// 64 bytes.
bool IsSafeIdentifier(const std::string& id);

}  // namespace lv
