// The cloud client against the cloud simulator over real TLS: the token and its
// cache, the request headers, the devices and files listings, and every fault giving
// its own error text.
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "cloud/CloudDebugCopies.h"
#include "cloud/CustomerInfo.h"
#include "cloud/CloudTestSupport.h"

namespace lv {
namespace {

using test::CloudFixture;

class CloudClientTest : public CloudFixture {};

TEST_F(CloudClientTest, TheTokenIsKeptForTheClockHourAndForTheSameCredentials) {
    auto& sim = StartCloud();
    CloudConnection connection = ConnectionTo(sim);
    std::string token, error;
    ASSERT_EQ(RequestAccessToken(connection, token, error), 0) << error;
    EXPECT_EQ(token, "tok1s1");
    EXPECT_EQ(setting::AccessTokenDateTime.Read(), "2024050112");

    now += 50 * 60;  // 12:55: the same hour
    std::string again;
    ASSERT_EQ(RequestAccessToken(connection, again, error), 0) << error;
    EXPECT_EQ(again, token);
    EXPECT_EQ(CountRequests("POST /token"), 1);

    now += 10 * 60;  // 13:05: a new hour, even though the token still works
    ASSERT_EQ(RequestAccessToken(connection, again, error), 0) << error;
    EXPECT_EQ(again, "tok2s1");
    EXPECT_EQ(CountRequests("POST /token"), 2);

    // OK without a change keeps the token; a new key drops it.
    CustomerInfoRules unchanged;
    std::string warning;
    ASSERT_TRUE(unchanged.Accept(" 1001 ", "demo-key", warning));
    ASSERT_EQ(RequestAccessToken(connection, again, error), 0);
    EXPECT_EQ(again, "tok2s1");
    CustomerInfoRules changed;
    ASSERT_TRUE(changed.Accept("1001", "other-key", warning));
    EXPECT_EQ(setting::AccessTokenValue.Read(), "");
    EXPECT_EQ(RequestAccessToken(connection, again, error), kCloudTokenRefused);
    EXPECT_EQ(error, "Error getting access token: invalid api key");
    EXPECT_EQ(CountRequests("POST /token"), 3);
}

TEST_F(CloudClientTest, RequestsCarryTheFormBodyAgentAndBearer) {
    EXPECT_EQ(TokenRequestBody("a b/c-9"), "apikey=a+b%2Fc%2D9");
    setting::ApiKey.Write("my key/1");
    auto& sim = StartCloud({"--api-key", "my key/1"});
    CloudConnection connection = ConnectionTo(sim);
    std::string token, reply, error;
    ASSERT_EQ(RequestAccessToken(connection, token, error), 0) << error;
    ASSERT_EQ(GetCustomerDevices(connection, token, reply, error), 0) << error;
    EXPECT_EQ(reply, R"({"Devices": [{"DeviceID": "A-1000", "TimeZoneName": "Europe/Paris"}, )"
                     R"({"DeviceID": "A-1001", "TimeZoneName": "Europe/Paris"}]})");
    const auto requests = Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0], "POST /token | agent=Quillet-Module | accept=*/* | auth= | "
                           "type=application/x-www-form-urlencoded | body=apikey=my+key%2F1");
    EXPECT_EQ(requests[1], "GET /customers/1001/devices | agent=Quillet-Module | accept=application/json | "
                           "auth=Bearer " + token + " | type= | body=");
}

TEST_F(CloudClientTest, FilesOfOtherDevicesAreLeftOutAndCreatedIsShownInLocalTime) {
    auto& sim = StartCloud();
    CloudConnection connection = ConnectionTo(sim);
    std::string token, error;
    std::vector<std::unique_ptr<CDetectionFile>> files;
    ASSERT_EQ(GetDeviceFiles(connection, token, "A-1001", files, error), 0) << error;
    ASSERT_EQ(files.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(files[i]->fileId, std::to_string(i + 1));
        EXPECT_EQ(files[i]->deviceId, "A-1001");
        EXPECT_EQ(files[i]->count, 3);
        EXPECT_EQ(files[i]->details, "");
    }
    // 07:00 UTC is 09:00 in Paris in May.
    EXPECT_EQ(files[0]->created, "01/05/2024    09:00:00.00");
    EXPECT_EQ(files[2]->detectionsPath, "/customers/1001/devices/A-1001/files/3/detections");

    std::string reply;
    ASSERT_EQ(CloudGet(connection, token, files[0]->detectionsPath, reply, error), 0) << error;
    EXPECT_EQ(reply.front(), '[');
}

TEST_F(CloudClientTest, EachFaultGivesItsErrorText) {
    auto& statusSim = StartCloud({"--fault", "devices:500", "--fault", "files:401", "--fault", "detections:cut"});
    CloudConnection connection = ConnectionTo(statusSim);
    std::string token, reply, error;
    std::vector<std::unique_ptr<CDetectionFile>> files;
    ASSERT_EQ(RequestAccessToken(connection, token, error), 0) << error;
    EXPECT_EQ(GetCustomerDevices(connection, token, reply, error), kCloudHttpStatus);
    EXPECT_EQ(error, "The cloud service answered HTTP 500");
    EXPECT_EQ(reply, "");
    EXPECT_EQ(GetDeviceFiles(connection, token, "A-1000", files, error), kCloudHttpStatus);
    EXPECT_EQ(error, "The cloud service answered HTTP 401");
    EXPECT_EQ(CloudGet(connection, token, "/customers/1001/devices/A-1000/files/1/detections", reply, error),
              kCloudSendFailed);
    EXPECT_EQ(error.rfind("Error sending winInet GET HTTP request: ", 0), 0u) << error;
    EXPECT_EQ(reply, "");

    auto& shapeSim = StartCloud({"--fault", "files:nonarray", "--fault", "detections:huge", "--fault",
                                 "token:errorfirst"});
    connection = ConnectionTo(shapeSim);
    setting::AccessTokenValue.Write("");
    EXPECT_EQ(RequestAccessToken(connection, token, error), kCloudTokenRefused);
    EXPECT_EQ(error, "Error getting access token: key revoked");
    setting::AccessTokenValue.Write(token = "tok-late");
    setting::AccessTokenDateTime.Write("2024050112");
    EXPECT_EQ(GetDeviceFiles(connection, token, "A-1000", files, error), kCloudHttpStatus);  // unknown token

    auto& plainSim = StartCloud({"--fault", "files:nonarray", "--fault", "detections:huge"});
    connection = ConnectionTo(plainSim);
    setting::AccessTokenValue.Write("");
    EXPECT_EQ(GetDeviceFiles(connection, token, "A-1000", files, error), kCloudNoSession);
    EXPECT_EQ(error, "Invalid JSON data string");
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(CloudGet(connection, token, "/customers/1001/devices/A-1000/files/1/detections", reply, error),
              kCloudReplyTooLarge);
    EXPECT_EQ(error, "Cloud reply too large (more than 32 MB)");
    EXPECT_EQ(reply, "");
}

TEST_F(CloudClientTest, SlowRepliesEndAtTheirTimeOrWhenCancelled) {
    auto& sim = StartCloud({"--fault", "devices:slow", "--slow-ms", "20000"});
    CloudConnection connection = ConnectionTo(sim);
    std::string token, reply, error;
    ASSERT_EQ(RequestAccessToken(connection, token, error), 0) << error;
    connection.limits.totalTimeoutMs = 300;
    EXPECT_EQ(GetCustomerDevices(connection, token, reply, error), kCloudSendFailed);
    EXPECT_NE(error.find("Error sending winInet GET HTTP request: "), std::string::npos) << error;

    std::atomic<bool> cancel{false};
    connection.limits = HttpLimits{};
    connection.cancel = &cancel;
    std::thread canceller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        cancel = true;
    });
    EXPECT_EQ(GetCustomerDevices(connection, token, reply, error), kCloudCancelled);
    canceller.join();
    EXPECT_EQ(error, "Request cancelled");
}

TEST_F(CloudClientTest, AServerWithAnotherCertificateIsRefused) {
    auto& trusted = StartCloud();
    auto& stranger = StartCloud({}, "other-tls");
    CloudConnection connection = ConnectionTo(stranger, "tls");
    (void)trusted;
    std::string token, error;
    EXPECT_EQ(RequestAccessToken(connection, token, error), kCloudConnectFailed);
    EXPECT_EQ(error.rfind("Error connecting winInet session: ", 0), 0u) << error;
    EXPECT_EQ(CountRequests("POST"), 0);
    EXPECT_EQ(setting::AccessTokenValue.Read(), "");
}

TEST_F(CloudClientTest, AddressAndCredentialsAreCheckedBeforeAnyRequest) {
    CloudConnection connection;
    std::string token, reply, error;
    EXPECT_EQ(RequestAccessToken(connection, token, error), kCloudNoAddress);
    EXPECT_EQ(error, "cloud service address not set");
    connection.baseUrl = "http://127.0.0.1:1";
    EXPECT_EQ(RequestAccessToken(connection, token, error), kCloudNoAddress);
    setting::ApiKey.Write("");
    EXPECT_EQ(RequestAccessToken(connection, token, error), kCloudNoApiKey);
    EXPECT_EQ(error, "No API key was set. Edit your customer information");
    setting::CustomerId.Write("");
    EXPECT_EQ(GetCustomerDevices(connection, "tok", reply, error), kCloudNoSession);
    EXPECT_EQ(error, "Customer credentials not set");
    setting::CustomerId.Write("../1001");
    EXPECT_EQ(GetCustomerDevices(connection, "tok", reply, error), kCloudBadIdentifier);

    EXPECT_TRUE(IsSafeIdentifier("A-1000"));
    EXPECT_TRUE(IsSafeIdentifier("file_1.v2"));
    for (const char* bad : {"", ".", "..", "../x", "a/b", "a\\b", "a b", "a;b", "a\nb", "a?b", "%2e%2e"})
        EXPECT_FALSE(IsSafeIdentifier(bad)) << bad;

    SetLanguage(Language::French);
    EXPECT_EQ(RequestAccessToken(connection, token, error), kCloudNoApiKey);
    EXPECT_EQ(error, "Aucune API key installée. Editez vos informations utilisateur");
    EXPECT_EQ(CloudErrorLogLine(-7, "x"), "$$$ Erreur -7 : x");
    SetLanguage(Language::English);
    EXPECT_EQ(CloudErrorLogLine(-7, "x"), "$$$ Error -7: x");
}

TEST_F(CloudClientTest, CredentialsRulesAndTheSettingsFileMode) {
    CustomerInfoRules rules;
    EXPECT_EQ(rules.CustomerId(), "1001");
    EXPECT_EQ(rules.ApiKey(), "demo-key");
    std::string warning;
    EXPECT_FALSE(rules.Accept("  ", "key", warning));
    EXPECT_EQ(warning, "Please enter your Tarvex customer id");
    EXPECT_FALSE(rules.Accept("1002", " \t", warning));
    EXPECT_EQ(warning, "Please enter an API key here");
    EXPECT_EQ(setting::CustomerId.Read(), "1001");
    SetLanguage(Language::French);
    EXPECT_FALSE(rules.Accept("1002", "", warning));
    EXPECT_EQ(warning, "Générez une API key dans votre espace client et copiez-la ici");
    SetLanguage(Language::English);

    setting::AccessTokenValue.Write("tok-old");
    ASSERT_TRUE(rules.Accept("1002", "demo-key", warning));
    EXPECT_EQ(setting::CustomerId.Read(), "1002");
    EXPECT_EQ(setting::AccessTokenValue.Read(), "");
    EXPECT_TRUE(CustomerInfoRules::CredentialsSet());

    // The service's address and CA file are set in the same dialog: checked first,
    // stored only with the rest.
    EXPECT_FALSE(rules.AcceptAll("1003", "demo-key", "http://cloud.example", "", warning));
    EXPECT_EQ(warning, "The cloud address must begin with https://");
    EXPECT_FALSE(rules.AcceptAll("1003", "demo-key", "https://cloud.example", "/no/such/ca.pem", warning));
    EXPECT_EQ(warning, "The CA certificates file cannot be found: /no/such/ca.pem");
    EXPECT_EQ(setting::CustomerId.Read(), "1002");
    setting::AccessTokenValue.Write("tok-1002");
    ASSERT_TRUE(rules.AcceptAll("1002", "demo-key", " https://cloud.example:8443 ", GetSettingsFilePath(), warning));
    EXPECT_EQ(setting::CloudApiBase.Read(), "https://cloud.example:8443");
    EXPECT_EQ(setting::CloudCaFile.Read(), GetSettingsFilePath());
    EXPECT_EQ(setting::AccessTokenValue.Read(), "") << "another service, another token";

    struct stat info {};
    ASSERT_EQ(::stat(GetSettingsFilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    // A later write of any key keeps the mode.
    setting::DownloadTarvexPath.Write("/tmp/x");
    ASSERT_EQ(::stat(GetSettingsFilePath().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(CloudClientTest, FetchingTheCustomerDevicesLogsItsFailure) {
    auto& sim = StartCloud({"--fault", "token:500"});
    std::string reply, error, logLine;
    EXPECT_EQ(FetchCustomerDevices(ConnectionTo(sim), reply, error, logLine), kCloudHttpStatus);
    EXPECT_EQ(logLine, "$$$ Error -5: The cloud service answered HTTP 500");
    auto& good = StartCloud();
    logLine.clear();
    ASSERT_EQ(FetchCustomerDevices(ConnectionTo(good), reply, error, logLine), 0) << error;
    EXPECT_EQ(logLine, "");
    EXPECT_NE(reply.find("A-1001"), std::string::npos);
}

}  // namespace
}  // namespace lv

namespace lv {
namespace {

TEST_F(CloudClientTest, RawRepliesAreCopiedOnlyIntoAFolderTheUserMade) {
    auto& sim = StartCloud();
    CloudConnection connection = ConnectionTo(sim);
    std::string token, reply, error;
    ASSERT_EQ(RequestAccessToken(connection, token, error), 0) << error;
    ASSERT_EQ(GetCustomerDevices(connection, token, reply, error), 0) << error;
    struct stat info {};
    EXPECT_NE(::stat(CloudDebugFolder().c_str(), &info), 0);

    ASSERT_TRUE(CreateFolderPath(CloudDebugFolder()));
    reply.clear();
    ASSERT_EQ(GetCustomerDevices(connection, token, reply, error), 0) << error;
    EXPECT_EQ(test::ReadFile(JoinPath(CloudDebugFolder(), "devices.json")), reply);
}

}  // namespace
}  // namespace lv
