// Transfers against a real FTP server on loopback: what arrives, under which name,
// and what a failure says.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <thread>

#include "base/Texts.h"
#include "ftp/FtpTransfer.h"
#include "support/LoopbackSockets.h"
#include "FtpTestSupport.h"

namespace lv {
namespace {

using namespace lv::test;

class FtpTransferTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetLanguage(Language::English);
        ASSERT_TRUE(server.Running());
    }
    void TearDown() override { SetLanguage(Language::French); }

    std::string LocalFile(const std::string& name, const std::string& content) {
        WriteFile(local / name, content);
        return local / name;
    }

    FtpServerProcess server;
    TempFolder local;
    StateRecorder recorder;
};

TEST_F(FtpTransferTest, UploadArrivesWholeUnderItsFinalName) {
    const std::string content = Pattern(25000);
    auto job = UploadJob(server, LocalFile("results.txt", content), "results.txt");
    EXPECT_EQ(job->fileSize, 25000);
    EXPECT_EQ(job->binary, 1);
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 0) << job->errorText;
    EXPECT_EQ(job->state, kFtpJobDone);
    EXPECT_EQ(job->errorText, "");
    EXPECT_EQ(job->transferred, 25000);
    EXPECT_EQ(recorder.States(), (std::vector<int>{kFtpJobStarted, kFtpJobTransferring, kFtpJobDone}));
    EXPECT_EQ(ReadFile(server / "results.txt"), content);
    EXPECT_FALSE(std::filesystem::exists(server / "results.txt.lock"));
}

TEST_F(FtpTransferTest, LeftOversAreReplacedAndDirectoryIsEntered) {
    std::filesystem::create_directories(server / "out/day1");
    WriteFile(server / "out/day1/r.txt", "an older, much longer version of the file");
    WriteFile(server / "out/day1/r.txt.lock", "a broken earlier upload");
    auto job = UploadJob(server, LocalFile("r.txt", "new"), "r.txt", "  out/day1 ");
    ASSERT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 0) << job->errorText;
    EXPECT_EQ(ReadFile(server / "out/day1/r.txt"), "new");
    EXPECT_FALSE(std::filesystem::exists(server / "out/day1/r.txt.lock"));

    // From the root too, and an empty file, and a name with blanks.
    auto rooted = UploadJob(server, LocalFile("empty", ""), "empty file.txt", "/out/");
    ASSERT_EQ(RunFtpUpload(*rooted, QuickOptions(), recorder.Control()), 0) << rooted->errorText;
    EXPECT_TRUE(std::filesystem::exists(server / "out/empty file.txt"));
}

TEST_F(FtpTransferTest, ActiveModeUploadsAndDownloads) {
    const std::string content = Pattern(40000);
    auto job = UploadJob(server, LocalFile("a.txt", content), "a.txt");
    job->putPassive = false;
    ASSERT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 0) << job->errorText;
    EXPECT_EQ(ReadFile(server / "a.txt"), content);

    auto download = UploadJob(server, local / "back.txt", "a.txt");
    download->upload = false;
    download->getPassive = false;
    ASSERT_EQ(RunFtpDownload(*download, QuickOptions(), recorder.Control()), 0) << download->errorText;
    EXPECT_EQ(ReadFile(local / "back.txt"), content);
}

TEST_F(FtpTransferTest, ReaderOfTheFolderNeverSeesAPartialFile) {
    FtpServerProcess::Options slow;
    slow.readLimit = 60000;  // about three seconds for the file
    FtpServerProcess slowServer(slow);
    ASSERT_TRUE(slowServer.Running());
    const std::string content = Pattern(180000);
    auto job = UploadJob(slowServer, LocalFile("big.txt", content), "big.txt");
    std::atomic<bool> done{false};
    std::atomic<int> partialSeen{0};
    std::atomic<int> lockSeen{0};
    std::thread reader([&] {
        while (!done.load()) {
            if (std::filesystem::exists(slowServer / "big.txt") && ReadFile(slowServer / "big.txt") != content) ++partialSeen;
            if (std::filesystem::exists(slowServer / "big.txt.lock")) ++lockSeen;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    int result = RunFtpUpload(*job, QuickOptions(), recorder.Control());
    done = true;
    reader.join();
    ASSERT_EQ(result, 0) << job->errorText;
    EXPECT_EQ(partialSeen.load(), 0);
    EXPECT_GT(lockSeen.load(), 0);  // the upload did go through the ".lock" name
    EXPECT_EQ(ReadFile(slowServer / "big.txt"), content);
}

TEST_F(FtpTransferTest, MissingLocalFileFailsBeforeConnecting) {
    auto job = UploadJob(server, local / "nothing.txt", "nothing.txt");
    EXPECT_EQ(job->fileSize, 0);
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), -1);
    EXPECT_EQ(job->state, kFtpJobFailed);
    EXPECT_EQ(job->errorText, "Can't open sourceFile " + (local / "nothing.txt"));
    EXPECT_EQ(recorder.States(), (std::vector<int>{kFtpJobStarted, kFtpJobFailed}));

    SetLanguage(Language::French);
    auto french = UploadJob(server, local / "nothing.txt", "nothing.txt");
    RunFtpUpload(*french, QuickOptions(), recorder.Control());
    EXPECT_EQ(french->errorText, "Erreur d'ouverture du fichier " + (local / "nothing.txt"));
}

TEST_F(FtpTransferTest, WrongPasswordClosedPortAndBadSiteCannotConnect) {
    const std::string file = LocalFile("f.txt", "x");
    auto wrong = UploadJob(server, file, "f.txt");
    wrong->password = "not the password";
    EXPECT_EQ(RunFtpUpload(*wrong, QuickOptions(), recorder.Control()), -2);
    EXPECT_EQ(wrong->state, kFtpJobFailed);
    EXPECT_EQ(wrong->errorText.rfind("Can't connect to site " + server.Site(), 0), 0u) << wrong->errorText;
    EXPECT_FALSE(std::filesystem::exists(server / "f.txt"));

    auto closed = UploadJob(server, file, "f.txt");
    closed->site = "127.0.0.1:" + std::to_string(LoopbackPeer::FreePort());
    EXPECT_EQ(RunFtpUpload(*closed, QuickOptions(), recorder.Control()), -2);
    EXPECT_EQ(closed->errorText.rfind("Can't connect to site " + closed->site, 0), 0u) << closed->errorText;

    auto blanks = UploadJob(server, file, "f.txt");
    blanks->site = "ftp club org";
    EXPECT_EQ(RunFtpUpload(*blanks, QuickOptions(), recorder.Control()), -2);
    EXPECT_NE(blanks->errorText.find("invalid character ' '"), std::string::npos) << blanks->errorText;

    SetLanguage(Language::French);
    auto french = UploadJob(server, file, "f.txt");
    french->password = "nope";
    RunFtpUpload(*french, QuickOptions(), recorder.Control());
    EXPECT_EQ(french->errorText.rfind("Erreur de connexion au site " + server.Site(), 0), 0u) << french->errorText;
}

TEST_F(FtpTransferTest, MissingDirectoryGivesItsErrorWithCurlsCode) {
    auto job = UploadJob(server, LocalFile("f.txt", "x"), "f.txt", "no/such/dir");
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 1);
    EXPECT_EQ(job->state, kFtpJobFailed);
    EXPECT_EQ(job->errorText.rfind("SetCurrentDirectory Error: 9 (0x9)", 0), 0u) << job->errorText;
    EXPECT_FALSE(std::filesystem::exists(server / "no"));
}

TEST_F(FtpTransferTest, NamesThatWouldBreakACommandAreRefused) {
    const std::string file = LocalFile("f.txt", "x");
    for (const char* name : {"", "a/b.txt", "x\r\nDELE important.txt", ".."}) {
        auto job = UploadJob(server, file, name);
        EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 1) << name;
        EXPECT_EQ(job->state, kFtpJobFailed);
        EXPECT_NE(job->errorText.find("Invalid remote file name"), std::string::npos) << job->errorText;
    }
    auto badDirectory = UploadJob(server, file, "f.txt", "dir\r\nRMD x");
    EXPECT_EQ(RunFtpUpload(*badDirectory, QuickOptions(), recorder.Control()), 1);
    EXPECT_NE(badDirectory->errorText.find("Invalid remote directory"), std::string::npos);
}

TEST_F(FtpTransferTest, FailedRenameIsAFailedJob) {
    // The final name is a folder that cannot be deleted (it is not empty): the rename
    // onto it fails, and the job must say so.
    std::filesystem::create_directories(server / "taken.txt/inside");
    auto job = UploadJob(server, LocalFile("taken.txt", "data"), "taken.txt");
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 1);
    EXPECT_EQ(job->state, kFtpJobFailed);
    EXPECT_NE(job->errorText.find("Rename of taken.txt.lock to taken.txt failed"), std::string::npos)
        << job->errorText;
    EXPECT_TRUE(std::filesystem::is_directory(server / "taken.txt"));
}

TEST_F(FtpTransferTest, SilentServerFailsWithinItsBound) {
    // Accepts the connection and never says a word.
    LoopbackPeer silent;
    auto job = UploadJob(server, LocalFile("f.txt", "x"), "f.txt");
    job->site = "127.0.0.1:" + std::to_string(silent.Port());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), -2);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(job->state, kFtpJobFailed);
    EXPECT_EQ(job->errorText.rfind("Can't connect to site", 0), 0u) << job->errorText;
}

TEST_F(FtpTransferTest, ServerDroppingMidTransferFailsAndPublishesNothing) {
    FtpServerProcess::Options dropping;
    dropping.dropAfter = 30000;
    FtpServerProcess flaky(dropping);
    ASSERT_TRUE(flaky.Running());
    auto job = UploadJob(flaky, LocalFile("big.txt", Pattern(200000)), "big.txt");
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 1);
    EXPECT_EQ(job->state, kFtpJobFailed);
    EXPECT_FALSE(job->errorText.empty());
    EXPECT_LE(job->errorText.size(), 254u);
    EXPECT_FALSE(std::filesystem::exists(flaky / "big.txt"));
}

TEST_F(FtpTransferTest, FailedUploadLeavesThePublishedFileInPlace) {
    // The results already published stay readable while a new version fails on the way.
    FtpServerProcess::Options dropping;
    dropping.dropAfter = 30000;
    FtpServerProcess flaky(dropping);
    ASSERT_TRUE(flaky.Running());
    WriteFile(flaky / "results.qox", "1\t31\t101\t1\t10:00:00.00\t1\r\n");
    auto job = UploadJob(flaky, LocalFile("results.qox", Pattern(200000)), "results.qox");
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 1);
    EXPECT_EQ(job->state, kFtpJobFailed);
    EXPECT_EQ(ReadFile(flaky / "results.qox"), "1\t31\t101\t1\t10:00:00.00\t1\r\n");
}

TEST_F(FtpTransferTest, ServerRefusingRenameOverAnExistingNameStillGetsTheNewFile) {
    FtpServerProcess::Options strict;
    strict.noRenameOver = true;
    FtpServerProcess strictServer(strict);
    ASSERT_TRUE(strictServer.Running());
    std::filesystem::create_directories(strictServer / "out");
    WriteFile(strictServer / "out/r.txt", "the version published before, longer than the new one");
    auto job = UploadJob(strictServer, LocalFile("r.txt", "new"), "r.txt", "out");
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), recorder.Control()), 0) << job->errorText;
    EXPECT_EQ(job->state, kFtpJobDone);
    EXPECT_EQ(ReadFile(strictServer / "out/r.txt"), "new");
    EXPECT_FALSE(std::filesystem::exists(strictServer / "out/r.txt.lock"));

    // A first upload has nothing to replace.
    auto first = UploadJob(strictServer, LocalFile("s.txt", "first"), "s.txt", "out");
    EXPECT_EQ(RunFtpUpload(*first, QuickOptions(), recorder.Control()), 0) << first->errorText;
    EXPECT_EQ(ReadFile(strictServer / "out/s.txt"), "first");
}

TEST_F(FtpTransferTest, AbortStopsTheUploadWithoutPublishing) {
    FtpServerProcess::Options slow;
    slow.readLimit = 20000;
    FtpServerProcess slowServer(slow);
    ASSERT_TRUE(slowServer.Running());
    auto job = UploadJob(slowServer, LocalFile("big.txt", Pattern(400000)), "big.txt");
    std::atomic<bool> abort{false};
    FtpJobControl control = recorder.Control(&abort);
    auto notify = control.notify;
    control.notify = [&](const CFtpJob& changed) {
        notify(changed);
        if (changed.state == kFtpJobTransferring) abort = true;
    };
    EXPECT_EQ(RunFtpUpload(*job, QuickOptions(), control), 1);
    EXPECT_EQ(job->state, kFtpJobAborted);
    EXPECT_EQ(job->errorText, "Aborted");
    EXPECT_EQ(recorder.States().back(), kFtpJobAborted);
    EXPECT_FALSE(std::filesystem::exists(slowServer / "big.txt"));
}

TEST_F(FtpTransferTest, DownloadFetchesAndReportsAMissingRemoteFile) {
    const std::string content = Pattern(30000);
    WriteFile(server / "in/remote.bin", content);
    WriteFile(local / "old.bin", "previous");
    auto job = UploadJob(server, local / "old.bin", "remote.bin", "in");
    job->upload = false;
    ASSERT_EQ(RunFtpDownload(*job, QuickOptions(), recorder.Control()), 0) << job->errorText;
    EXPECT_EQ(ReadFile(local / "old.bin"), content);
    EXPECT_FALSE(std::filesystem::exists(local / "old.bin.part"));

    auto missing = UploadJob(server, local / "m.bin", "absent.bin", "in");
    missing->upload = false;
    EXPECT_EQ(RunFtpDownload(*missing, QuickOptions(), recorder.Control()), 1);
    EXPECT_EQ(missing->errorText, "Unknown extended error. Possible cause: remote file does not exist.");
    EXPECT_FALSE(std::filesystem::exists(local / "m.bin"));
    EXPECT_FALSE(std::filesystem::exists(local / "m.bin.part"));
}

TEST_F(FtpTransferTest, ListingGivesNamesAndSizes) {
    WriteFile(server / "list/a.txt", "12345");
    WriteFile(server / "list/b.txt", std::string(3000, 'b'));
    WriteFile(server / "list/c.zip", "zz");
    std::filesystem::create_directories(server / "list/sub.txt");
    FtpFileList files;
    std::string error;
    ASSERT_EQ(ListRemoteFiles(server.Site(), server.User(), server.Password(), "list", "*.txt", true,
                              QuickOptions(), files, error),
              0)
        << error;
    ASSERT_EQ(files.size(), 2u);
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a->name < b->name; });
    EXPECT_EQ(files[0]->name, "a.txt");
    EXPECT_EQ(files[0]->size, 5);
    EXPECT_EQ(files[1]->name, "b.txt");
    EXPECT_EQ(files[1]->size, 3000);

    FtpFileList none;
    EXPECT_EQ(ListRemoteFiles(server.Site(), server.User(), server.Password(), "list", "*.csv", false,
                              QuickOptions(), none, error),
              0)
        << error;
    EXPECT_TRUE(none.empty());

    EXPECT_EQ(ListRemoteFiles(server.Site(), server.User(), server.Password(), "nowhere", "", true,
                              QuickOptions(), none, error),
              -3);
    EXPECT_EQ(error.rfind("SetCurrentDirectory Error:", 0), 0u) << error;
    EXPECT_EQ(ListRemoteFiles(server.Site(), server.User(), "bad", "", "", true, QuickOptions(), none, error), -2);
    EXPECT_EQ(error.rfind("Can't connect to site", 0), 0u) << error;
}

}  // namespace
}  // namespace lv

namespace lv {
namespace {

using namespace lv::test;

// A self-signed certificate for 127.0.0.1 with its key, in one file for the server;
// the certificate alone in `certificate` for the client to trust.
bool MakeCertificate(const TempFolder& folder, std::string& serverPem, std::string& certificate) {
    certificate = folder / "cert.pem";
    const std::string key = folder / "key.pem";
    const std::string command = "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
                                " -addext subjectAltName=IP:127.0.0.1 -keyout '" + key + "' -out '" +
                                certificate + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) return false;
    serverPem = folder / "server.pem";
    WriteFile(serverPem, ReadFile(key) + ReadFile(certificate));
    return true;
}

TEST(FtpTls, TlsIsNeverDroppedForPlainTextAndCertificatesAreChecked) {
    SetLanguage(Language::English);
    TempFolder local;
    WriteFile(local / "r.txt", "results");
    StateRecorder recorder;

    // A server without TLS: an "ftps://" site does not fall back to clear text (the
    // password is never sent).
    FtpServerProcess plainServer;
    ASSERT_TRUE(plainServer.Running());
    auto noTls = UploadJob(plainServer, local / "r.txt", "r.txt");
    noTls->site = "ftps://" + plainServer.Site();
    EXPECT_EQ(RunFtpUpload(*noTls, QuickOptions(), recorder.Control()), -2);
    EXPECT_EQ(noTls->errorText.rfind("Can't connect to site ftps://" + plainServer.Site(), 0), 0u)
        << noTls->errorText;
    EXPECT_FALSE(std::filesystem::exists(plainServer / "r.txt"));

    TempFolder certificates;
    std::string serverPem;
    std::string certificate;
    ASSERT_TRUE(MakeCertificate(certificates, serverPem, certificate));
    FtpServerProcess::Options tls;
    tls.tlsCertificate = serverPem;
    FtpServerProcess server(tls);
    ASSERT_TRUE(server.Running());

    // A certificate nobody vouches for is not accepted.
    auto untrusted = UploadJob(server, local / "r.txt", "u.txt");
    untrusted->site = "ftps://" + server.Site();
    EXPECT_EQ(RunFtpUpload(*untrusted, QuickOptions(), recorder.Control()), -2);
    EXPECT_EQ(untrusted->errorText.rfind("Can't connect to site ftps://" + server.Site(), 0), 0u)
        << untrusted->errorText;

    // Trusted, the login goes through TLS (past the connection stage).
    FtpConnectOptions trusting = QuickOptions();
    trusting.caFile = certificate;
    auto trusted = UploadJob(server, local / "r.txt", "t.txt", "no-such-dir");
    trusted->site = "ftps://" + server.Site();
    EXPECT_EQ(RunFtpUpload(*trusted, trusting, recorder.Control()), 1);
    EXPECT_EQ(trusted->errorText.rfind("SetCurrentDirectory Error:", 0), 0u) << trusted->errorText;

    // Plain FTP to a server that requires TLS: refused at login.
    auto plain = UploadJob(server, local / "r.txt", "p.txt");
    EXPECT_EQ(RunFtpUpload(*plain, trusting, recorder.Control()), -2);
    EXPECT_FALSE(std::filesystem::exists(server / "u.txt"));
    EXPECT_FALSE(std::filesystem::exists(server / "p.txt"));
    SetLanguage(Language::French);
}

}  // namespace
}  // namespace lv
