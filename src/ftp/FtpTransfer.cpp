#include "ftp/FtpTransfer.h"

#include <curl/curl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <fmt/printf.h>

#include "base/SettingsSchema.h"
#include "base/Texts.h"
#include "ftp/FtpSite.h"

namespace lv {

namespace {

// Uploads are read and counted in blocks of this size.
constexpr std::size_t kBlockSize = 10240;
// How much of a server reply or of a failure's own message an error text keeps.
constexpr std::size_t kReplyMax = 200;
constexpr std::size_t kUploadErrorMax = 254;
constexpr std::size_t kDownloadErrorMax = 1024;

void EnsureCurlReady() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// At most `max` bytes, never cutting a UTF-8 character in two.
std::string Cut(std::string text, std::size_t max) {
    if (text.size() <= max) return text;
    std::size_t end = max;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
    text.resize(end);
    return text;
}

std::string Printable(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\r' || c == '\n') continue;
        out.push_back(static_cast<unsigned char>(c) < 0x20 ? '?' : c);
    }
    return out;
}

struct CurlDeleter {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

class CommandList {
public:
    CommandList() = default;
    ~CommandList() { curl_slist_free_all(list_); }
    CommandList(const CommandList&) = delete;
    CommandList& operator=(const CommandList&) = delete;
    void Add(const std::string& command) { list_ = curl_slist_append(list_, command.c_str()); }
    curl_slist* Get() const { return list_; }

private:
    curl_slist* list_ = nullptr;
};

// What the control connection said last: which command was sent, what came back,
// and whether the login went through. Filled from libcurl's debug callback.
struct CommandTrace {
    std::string lastCommand;  // its verb, upper case
    std::string lastReply;    // the last reply line
    bool loggedIn = false;
};

int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    auto* trace = static_cast<CommandTrace*>(user);
    std::string_view text(data, size);
    if (type == CURLINFO_HEADER_OUT) {
        std::string verb(text.substr(0, std::min<std::size_t>(text.find_first_of(" \r\n"), 16)));
        for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (verb == "QUIT") return 0;  // the goodbye says nothing about what failed
        trace->lastCommand = verb;
        // Anything but the greeting's and the login's commands comes after the login.
        if (verb != "AUTH" && verb != "USER" && verb != "PASS" && verb != "ACCT") {
            trace->loggedIn = true;
        }
    } else if (type == CURLINFO_HEADER_IN) {
        trace->lastReply = Cut(Printable(text), kReplyMax);
        if (text.substr(0, 4) == "230 " || text.substr(0, 4) == "230-") trace->loggedIn = true;
    }
    return 0;
}

// Everything one transfer needs: the handle, its error buffer, the trace and the abort.
struct Session {
    CurlHandle handle;
    char errorBuffer[CURL_ERROR_SIZE] = {};
    CommandTrace trace;
    FtpEndpoint endpoint;
    const std::function<bool()>* abortRequested = nullptr;
    bool aborted = false;  // the abort came from the worker
};

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* session = static_cast<Session*>(user);
    if (session->abortRequested && *session->abortRequested && (*session->abortRequested)()) {
        session->aborted = true;
        return 1;
    }
    return 0;
}

// SFTP servers must be known: only a key listed for the host in known_hosts is accepted.
int OnHostKey(CURL*, const curl_khkey*, const curl_khkey*, curl_khmatch match, void*) {
    return match == CURLKHMATCH_OK ? CURLKHSTAT_FINE : CURLKHSTAT_REJECT;
}

long Seconds(std::chrono::milliseconds ms) {
    return static_cast<long>(std::max<std::chrono::milliseconds::rep>(1, (ms.count() + 999) / 1000));
}

std::string Escaped(CURL* handle, const std::string& text) {
    char* escaped = curl_easy_escape(handle, text.c_str(), static_cast<int>(text.size()));
    std::string result = escaped ? escaped : "";
    curl_free(escaped);
    return result;
}

// The URL of `leaf` in `directory` on the endpoint; the leaf is escaped unless it is a
// listing pattern (libcurl matches the pattern as written).
std::string BuildUrl(CURL* handle, const FtpEndpoint& endpoint, const std::string& directory,
                     const std::string& leaf, bool escapeLeaf) {
    std::string url = fmt::format("{}://{}:{}/", endpoint.protocol == FtpProtocol::Sftp ? "sftp" : "ftp",
                                  endpoint.host, endpoint.port);
    const std::string folder = TrimFtpText(directory);
    const bool absolute = !folder.empty() && folder.front() == '/';
    if (endpoint.protocol == FtpProtocol::Sftp) {
        if (!absolute) url += "~/";
    } else if (absolute) {
        url += "%2F";  // the first change of directory goes to the root
    }
    std::size_t start = 0;
    while (start <= folder.size()) {
        std::size_t slash = folder.find('/', start);
        if (slash == std::string::npos) slash = folder.size();
        if (slash > start) url += Escaped(handle, folder.substr(start, slash - start)) + "/";
        start = slash + 1;
    }
    url += escapeLeaf ? Escaped(handle, leaf) : leaf;
    return url;
}

// The path of a name for SFTP commands: relative names are relative to the login folder.
std::string SftpQuoted(const std::string& directory, const std::string& name) {
    std::string folder = TrimFtpText(directory);
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    std::string path = folder.empty() ? name : folder + "/" + name;
    std::string quoted = "\"";
    for (char c : path) {
        if (c == '"' || c == '\\') quoted.push_back('\\');
        quoted.push_back(c);
    }
    return quoted + "\"";
}

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

// A remote file name: not empty, no folder part, nothing that would end an FTP command.
bool CheckRemoteName(const std::string& name, std::string& reason) {
    if (name.empty() || name.find('/') != std::string::npos || HasLineBreakOrNul(name) ||
        name == "." || name == "..") {
        reason = fmt::sprintf(Tr("Invalid remote file name \"%s\"", "Nom de fichier distant invalide \"%s\""),
                              Printable(name));
        return false;
    }
    return true;
}

bool CheckDirectory(const std::string& directory, std::string& reason) {
    if (HasLineBreakOrNul(directory)) {
        reason = fmt::sprintf(Tr("Invalid remote directory \"%s\"", "Répertoire distant invalide \"%s\""),
                              Printable(directory));
        return false;
    }
    return true;
}

std::string ConnectErrorText(const std::string& site, const std::string& detail) {
    std::string text = fmt::sprintf(Tr("Can't connect to site %s", "Erreur de connexion au site %s"), site);
    if (!detail.empty()) text += " (" + detail + ")";
    return text;
}

// The session's common options. False with the reason when the site is not usable.
bool OpenSession(Session& session, const std::string& site, const std::string& user,
                 const std::string& password, bool passive, const FtpConnectOptions& options,
                 std::string& reason) {
    EnsureCurlReady();
    if (!ParseFtpSite(site, session.endpoint, reason)) return false;
    session.handle.reset(curl_easy_init());
    CURL* h = session.handle.get();
    if (!h) {
        reason = "curl_easy_init";
        return false;
    }
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(h, CURLOPT_ERRORBUFFER, session.errorBuffer);
    curl_easy_setopt(h, CURLOPT_USERNAME, user.c_str());
    curl_easy_setopt(h, CURLOPT_PASSWORD, password.c_str());
    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.timeouts.connect.count()));
    curl_easy_setopt(h, CURLOPT_SERVER_RESPONSE_TIMEOUT, Seconds(options.timeouts.response));
    curl_easy_setopt(h, CURLOPT_ACCEPTTIMEOUT_MS, static_cast<long>(options.timeouts.acceptActive.count()));
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, Seconds(options.timeouts.stall));
    curl_easy_setopt(h, CURLOPT_FTP_CREATE_MISSING_DIRS, static_cast<long>(CURLFTP_CREATE_DIR_NONE));
    // Active mode: the data connection comes back to the address of the control one.
    if (!passive) curl_easy_setopt(h, CURLOPT_FTPPORT, "-");
    curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION, &OnDebug);
    curl_easy_setopt(h, CURLOPT_DEBUGDATA, &session.trace);
    curl_easy_setopt(h, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &session);
    if (session.endpoint.protocol == FtpProtocol::FtpsExplicit) {
        curl_easy_setopt(h, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
        if (!options.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, options.caFile.c_str());
    }
    if (session.endpoint.protocol == FtpProtocol::Sftp) {
        const char* home = std::getenv("HOME");
        std::string knownHosts = std::string(home ? home : "") + "/.ssh/known_hosts";
        curl_easy_setopt(h, CURLOPT_SSH_KNOWNHOSTS, knownHosts.c_str());
        curl_easy_setopt(h, CURLOPT_SSH_KEYFUNCTION, &OnHostKey);
    }
    return true;
}

bool IsConnectionFailure(const Session& session, CURLcode code) {
    if (session.endpoint.protocol != FtpProtocol::Sftp) return !session.trace.loggedIn;
    switch (code) {
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_CONNECT:
        case CURLE_LOGIN_DENIED:
        case CURLE_SSH:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_OPERATION_TIMEDOUT:
            return true;
        default:
            return false;
    }
}

std::string CurlDetail(const Session& session, CURLcode code) {
    std::string detail = session.errorBuffer[0] ? session.errorBuffer : curl_easy_strerror(code);
    return Printable(detail);
}

// The error text of a failed transfer and whether the server could not be reached.
std::string DescribeFailure(const Session& session, CURLcode code, const std::string& site,
                            const std::string& remoteName, std::size_t maxLength, bool& connection) {
    connection = IsConnectionFailure(session, code);
    if (connection) return Cut(ConnectErrorText(site, CurlDetail(session, code)), maxLength);
    const std::string& command = session.trace.lastCommand;
    const std::string& reply = session.trace.lastReply;
    std::string text;
    if (command == "CWD") {
        text = fmt::sprintf("SetCurrentDirectory Error: %d (0x%X)", static_cast<int>(code),
                            static_cast<unsigned>(code));
        if (!reply.empty()) text += " (" + reply + ")";
    } else if (command == "RNFR" || command == "RNTO") {
        text = fmt::sprintf(Tr("Rename of %s.lock to %s failed (%s)", "Échec du renommage de %s.lock en %s (%s)"),
                            remoteName, remoteName, reply.empty() ? CurlDetail(session, code) : reply);
    } else {
        text = CurlDetail(session, code);
        if (!reply.empty() && reply[0] >= '4' && reply[0] <= '5' && text.find(reply) == std::string::npos)
            text += " (" + reply + ")";
    }
    return Cut(text, maxLength);
}

// --- Upload -----------------------------------------------------------------------------

struct UploadContext {
    CFtpJob* job;
    const FtpJobControl* control;
    Session* session;
    std::FILE* file;
    int readError = 0;
};

void SetState(CFtpJob& job, const FtpJobControl& control, int state) {
    job.state = state;
    if (control.notify) control.notify(job);
}

size_t ReadBlock(char* buffer, size_t size, size_t count, void* user) {
    auto* context = static_cast<UploadContext*>(user);
    CFtpJob& job = *context->job;
    if (job.state == kFtpJobStarted) SetState(job, *context->control, kFtpJobTransferring);
    if (context->control->abortRequested && context->control->abortRequested()) {
        context->session->aborted = true;
        return CURL_READFUNC_ABORT;
    }
    const size_t wanted = std::min(size * count, kBlockSize);
    const size_t got = std::fread(buffer, 1, wanted, context->file);
    if (got < wanted && std::ferror(context->file)) {
        context->readError = errno ? errno : EIO;
        return CURL_READFUNC_ABORT;
    }
    job.transferred += static_cast<std::int64_t>(got);
    return got;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The transfer went through and the rename at its end was refused.
bool RenameWasRefused(const Session& session) {
    const std::string& command = session.trace.lastCommand;
    if (session.endpoint.protocol == FtpProtocol::Sftp) return true;  // only the rename comes after the data
    return command == "RNTO" || command == "RNFR";
}

// On the same connection: delete the published name, then rename the complete copy onto it.
CURLcode ReplaceByRename(Session& session, const std::string& directory, const std::string& lockName,
                         const std::string& remoteName) {
    CURL* h = session.handle.get();
    CommandList commands;
    if (session.endpoint.protocol == FtpProtocol::Sftp) {
        commands.Add("*rm " + SftpQuoted(directory, remoteName));
        commands.Add("rename " + SftpQuoted(directory, lockName) + " " + SftpQuoted(directory, remoteName));
    } else {
        commands.Add("*DELE " + remoteName);
        commands.Add("RNFR " + lockName);
        commands.Add("RNTO " + remoteName);
    }
    session.errorBuffer[0] = '\0';
    // The folder itself: no data moves, the commands run once it is entered.
    const std::string url = BuildUrl(h, session.endpoint, directory, "", true);
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 0L);
    curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(h, CURLOPT_PREQUOTE, nullptr);
    if (session.endpoint.protocol == FtpProtocol::Sftp) {
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, nullptr);
        curl_easy_setopt(h, CURLOPT_QUOTE, commands.Get());
    } else {
        curl_easy_setopt(h, CURLOPT_POSTQUOTE, commands.Get());
    }
    const CURLcode code = curl_easy_perform(h);
    curl_easy_setopt(h, CURLOPT_QUOTE, nullptr);
    curl_easy_setopt(h, CURLOPT_POSTQUOTE, nullptr);
    return code;
}

}  // namespace

int RunFtpUpload(CFtpJob& job, const FtpConnectOptions& options, const FtpJobControl& control) {
    job.startTick = FtpTickNow();
    job.errorText.clear();
    job.transferred = 0;
    SetState(job, control, kFtpJobStarted);

    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(job.localPath.c_str(), "rb"));
    if (!file) {
        job.errorText = fmt::sprintf(Tr("Can't open sourceFile %s", "Erreur d'ouverture du fichier %s"), job.localPath);
        SetState(job, control, kFtpJobFailed);
        return -1;
    }
    std::string reason;
    if (!CheckRemoteName(job.remoteName, reason) || !CheckDirectory(job.directory, reason)) {
        job.errorText = Cut(reason, kUploadErrorMax);
        SetState(job, control, kFtpJobFailed);
        return 1;
    }
    Session session;
    session.abortRequested = &control.abortRequested;
    if (!OpenSession(session, job.site, job.user, job.password, job.putPassive, options, reason)) {
        job.errorText = Cut(ConnectErrorText(job.site, reason), kUploadErrorMax);
        SetState(job, control, kFtpJobFailed);
        return -2;
    }
    CURL* h = session.handle.get();
    const std::string lockName = job.remoteName + ".lock";
    CommandList before;
    CommandList after;
    // The published name is left alone until the new copy is complete: only a left-over
    // ".lock" goes first, and the rename replaces the old file in one step.
    if (session.endpoint.protocol == FtpProtocol::Sftp) {
        before.Add("*rm " + SftpQuoted(job.directory, lockName));
        after.Add("rename " + SftpQuoted(job.directory, lockName) + " " + SftpQuoted(job.directory, job.remoteName));
    } else {
        // A leading '*' lets the command fail: there may be nothing to delete.
        before.Add("*DELE " + lockName);
        after.Add("RNFR " + lockName);
        after.Add("RNTO " + job.remoteName);
    }
    const std::string url = BuildUrl(h, session.endpoint, job.directory, lockName, true);
    UploadContext context{&job, &control, &session, file.get()};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(h, CURLOPT_PREQUOTE, before.Get());
    curl_easy_setopt(h, CURLOPT_POSTQUOTE, after.Get());
    curl_easy_setopt(h, CURLOPT_READFUNCTION, &ReadBlock);
    curl_easy_setopt(h, CURLOPT_READDATA, &context);

    CURLcode code = curl_easy_perform(h);
    file.reset();
    if (code == CURLE_QUOTE_ERROR && !session.aborted && RenameWasRefused(session)) {
        // Some servers refuse to rename onto an existing name: the old file goes only now,
        // with the complete new copy waiting beside it.
        code = ReplaceByRename(session, job.directory, lockName, job.remoteName);
    }
    if (code == CURLE_OK) {
        if (job.state == kFtpJobStarted) job.state = kFtpJobTransferring;
        SetState(job, control, kFtpJobDone);
        return 0;
    }
    int result = 1;
    if (session.aborted) {
        // The ".lock" file stays as it is: the next upload of the name deletes it.
        job.errorText = "Aborted";
        SetState(job, control, kFtpJobAborted);
        return 1;
    }
    if (context.readError != 0) {
        job.errorText = Cut(fmt::sprintf(Tr("Can't read %s: %s", "Erreur de lecture du fichier %s : %s"),
                                         job.localPath, std::strerror(context.readError)),
                            kUploadErrorMax);
    } else {
        bool connection = false;
        job.errorText = DescribeFailure(session, code, job.site, job.remoteName, kUploadErrorMax, connection);
        if (connection) result = -2;
    }
    SetState(job, control, kFtpJobFailed);
    return result;
}

// --- Download ---------------------------------------------------------------------------

namespace {

struct DownloadContext {
    CFtpJob* job;
    const FtpJobControl* control;
    std::FILE* file;
    int writeError = 0;
};

size_t WriteBlock(char* data, size_t size, size_t count, void* user) {
    auto* context = static_cast<DownloadContext*>(user);
    CFtpJob& job = *context->job;
    if (job.state == kFtpJobStarted) SetState(job, *context->control, kFtpJobTransferring);
    const size_t bytes = size * count;
    if (std::fwrite(data, 1, bytes, context->file) != bytes) {
        context->writeError = errno ? errno : EIO;
        return 0;
    }
    job.transferred += static_cast<std::int64_t>(bytes);
    return bytes;
}

}  // namespace

int RunFtpDownload(CFtpJob& job, const FtpConnectOptions& options, const FtpJobControl& control) {
    job.startTick = FtpTickNow();
    job.errorText.clear();
    job.transferred = 0;
    SetState(job, control, kFtpJobStarted);

    std::string reason;
    if (job.localPath.empty()) reason = Tr("No local file given", "Aucun fichier local indiqué");
    if (!reason.empty() || !CheckRemoteName(job.remoteName, reason) || !CheckDirectory(job.directory, reason)) {
        job.errorText = Cut(reason, kDownloadErrorMax);
        SetState(job, control, kFtpJobFailed);
        return 1;
    }
    Session session;
    session.abortRequested = &control.abortRequested;
    if (!OpenSession(session, job.site, job.user, job.password, job.getPassive, options, reason)) {
        job.errorText = Cut(ConnectErrorText(job.site, reason), kDownloadErrorMax);
        SetState(job, control, kFtpJobFailed);
        return -2;
    }
    // The file arrives under a temporary name: a broken download leaves no partial file.
    ::unlink(job.localPath.c_str());
    const std::string partial = job.localPath + ".part";
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(partial.c_str(), "wb"));
    if (!file) {
        job.errorText = Cut(fmt::sprintf("M$ FtpGetFile failed (%s: %s)", partial, std::strerror(errno)),
                            kDownloadErrorMax);
        SetState(job, control, kFtpJobFailed);
        return 1;
    }
    CURL* h = session.handle.get();
    const std::string url = BuildUrl(h, session.endpoint, job.directory, job.remoteName, true);
    DownloadContext context{&job, &control, file.get()};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_TRANSFERTEXT, 0L);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, &WriteBlock);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &context);

    CURLcode code = curl_easy_perform(h);
    const bool closed = std::fclose(file.release()) == 0;
    if (code == CURLE_OK && closed && std::rename(partial.c_str(), job.localPath.c_str()) == 0) {
        if (job.state == kFtpJobStarted) job.state = kFtpJobTransferring;
        SetState(job, control, kFtpJobDone);
        return 0;
    }
    const int renameError = errno;
    ::unlink(partial.c_str());
    int result = 1;
    if (session.aborted) {
        job.errorText = "Aborted";
        SetState(job, control, kFtpJobAborted);
        return 1;
    }
    if (code == CURLE_OK || context.writeError != 0) {
        const int error = context.writeError != 0 ? context.writeError : renameError;
        job.errorText = Cut(fmt::sprintf("M$ FtpGetFile failed (%s: %s)", job.localPath, std::strerror(error)),
                            kDownloadErrorMax);
    } else if (code == CURLE_REMOTE_FILE_NOT_FOUND) {
        job.errorText = Tr("Unknown extended error. Possible cause: remote file does not exist.",
                           "Erreur non documentée Microsoft. Cause possible : fichier distant inexistant.");
    } else {
        bool connection = false;
        job.errorText = DescribeFailure(session, code, job.site, job.remoteName, kDownloadErrorMax, connection);
        if (connection) result = -2;
    }
    SetState(job, control, kFtpJobFailed);
    return result;
}

// --- Listing ----------------------------------------------------------------------------

namespace {

struct ListContext {
    FtpFileList* list;
};

long OnListEntry(const void* info, void* user, int) {
    const auto* entry = static_cast<const curl_fileinfo*>(info);
    auto* context = static_cast<ListContext*>(user);
    if (entry->filetype == CURLFILETYPE_FILE && entry->filename) {
        auto desc = std::make_unique<CFtpFileDesc>();
        desc->name = entry->filename;
        desc->size = (entry->flags & CURLFINFOFLAG_KNOWN_SIZE) ? static_cast<std::int64_t>(entry->size) : -1;
        context->list->push_back(std::move(desc));
    }
    return CURL_CHUNK_BGN_FUNC_SKIP;
}

long OnListEntryEnd(void*) { return CURL_CHUNK_END_FUNC_OK; }

}  // namespace

int ListRemoteFiles(const std::string& site, const std::string& user, const std::string& password,
                    const std::string& directory, const std::string& pattern, FtpFileList& list,
                    std::string& error) {
    return ListRemoteFiles(site, user, password, directory, pattern, setting::BGetFileListInPassiveMode.Read(),
                           FtpConnectOptions{}, list, error);
}

int ListRemoteFiles(const std::string& site, const std::string& user, const std::string& password,
                    const std::string& directory, const std::string& pattern, bool passive,
                    const FtpConnectOptions& options, FtpFileList& list, std::string& error) {
    error.clear();
    const std::string wanted = pattern.empty() ? "*" : pattern;
    if (wanted.find_first_of(std::string_view("/ \r\n\0", 5)) != std::string::npos) {
        error = fmt::sprintf(Tr("Invalid file pattern \"%s\"", "Motif de fichier invalide \"%s\""), Printable(wanted));
        return 1;
    }
    if (!CheckDirectory(directory, error)) return 1;
    Session session;
    std::string reason;
    if (!OpenSession(session, site, user, password, passive, options, reason)) {
        error = Cut(ConnectErrorText(site, reason), kDownloadErrorMax);
        return -2;
    }
    if (session.endpoint.protocol == FtpProtocol::Sftp) {
        error = Tr("Remote listings are not available over SFTP", "Liste distante non disponible en SFTP");
        return 1;
    }
    CURL* h = session.handle.get();
    const std::string url = BuildUrl(h, session.endpoint, directory, wanted, false);
    ListContext context{&list};
    curl_easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_easy_setopt(h, CURLOPT_WILDCARDMATCH, 1L);
    curl_easy_setopt(h, CURLOPT_CHUNK_BGN_FUNCTION, &OnListEntry);
    curl_easy_setopt(h, CURLOPT_CHUNK_END_FUNCTION, &OnListEntryEnd);
    curl_easy_setopt(h, CURLOPT_CHUNK_DATA, &context);
    const CURLcode code = curl_easy_perform(h);
    // No entry matching the pattern is an empty listing.
    if (code == CURLE_OK || (code == CURLE_REMOTE_FILE_NOT_FOUND && session.trace.lastCommand != "CWD")) return 0;
    bool connection = false;
    error = DescribeFailure(session, code, site, wanted, kDownloadErrorMax, connection);
    if (connection) return -2;
    if (session.trace.lastCommand == "CWD") return -3;
    return 1;
}

std::string SupportedFtpSchemes() {
    std::string schemes;
    auto add = [&](FtpProtocol protocol, const char* name) {
        if (!FtpProtocolAvailable(protocol)) return;
        if (!schemes.empty()) schemes += ", ";
        schemes += name;
    };
    add(FtpProtocol::Ftp, "ftp");
    add(FtpProtocol::FtpsExplicit, "ftps");
    add(FtpProtocol::Sftp, "sftp");
    return schemes;
}

}  // namespace lv
