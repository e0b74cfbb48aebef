#include "base/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include <fmt/printf.h>

#include "base/Texts.h"
#include "base/WriteAll.h"

namespace lv {

namespace {

void SetError(std::string* error, const std::string& text) {
    if (error) *error = text;
}

std::string SystemError(int code) { return std::strerror(code); }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    int Close() {
        int result = 0;
        if (fd_ >= 0) result = ::close(fd_);
        fd_ = -1;
        return result;
    }

private:
    int fd_;
};

// The file a rename must replace: the target of a symbolic link, so that the link
// survives.
std::string ResolveTarget(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return path;
    return resolved;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

FileReadStatus ReadWholeFile(const std::string& path, std::size_t maxSize, std::string& content,
                             std::string* error) {
    content.clear();
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        int code = errno;
        if (code == ENOENT) return FileReadStatus::Missing;
        SetError(error, fmt::sprintf(Tr("Cannot open \"%s\": %s", "Impossible d'ouvrir \"%s\" : %s"),
                                     path, SystemError(code)));
        return FileReadStatus::Failed;
    }
    char buffer[16384];
    for (;;) {
        ssize_t got = ::read(fd.Get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) continue;
            int code = errno;
            content.clear();
            SetError(error, fmt::sprintf(Tr("Cannot read \"%s\": %s", "Impossible de lire \"%s\" : %s"),
                                         path, SystemError(code)));
            return FileReadStatus::Failed;
        }
        if (got == 0) break;
        if (content.size() + static_cast<std::size_t>(got) > maxSize) {
            content.clear();
            SetError(error, fmt::sprintf(Tr("\"%s\" is larger than %u bytes",
                                            "\"%s\" dépasse %u octets"),
                                         path, static_cast<unsigned>(maxSize)));
            return FileReadStatus::TooLarge;
        }
        content.append(buffer, static_cast<std::size_t>(got));
    }
    return FileReadStatus::Ok;
}

bool ReplaceFileAtomically(const std::string& path, std::string_view content, std::string* error,
                           FileAccess access) {
    const bool ownerOnly = access == FileAccess::OwnerOnly;
    static std::atomic<unsigned> counter{0};
    const std::string target = ResolveTarget(path);

    struct stat previous {};
    const bool replacing = ::stat(target.c_str(), &previous) == 0;

    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temporary = fmt::sprintf("%s.tmp%ld-%u", target, static_cast<long>(::getpid()),
                                 counter.fetch_add(1));
        fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ownerOnly ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        int code = errno;
        SetError(error, fmt::sprintf(Tr("Cannot create \"%s\": %s", "Impossible de créer \"%s\" : %s"),
                                     temporary, SystemError(code)));
        return false;
    }
    FileDescriptor file(fd);
    auto fail = [&](int code) {
        file.Close();
        ::unlink(temporary.c_str());
        SetError(error, fmt::sprintf(Tr("Cannot write \"%s\": %s", "Impossible d'écrire \"%s\" : %s"),
                                     target, SystemError(code)));
        return false;
    };
    if (ownerOnly) {
        // A new file is its owner's; a replaced one keeps its group's rights (chosen by
        // an administrator) but never stays readable by everyone.
        const mode_t mode = replacing ? (previous.st_mode & 07770) : 0600;
        if (::fchmod(file.Get(), mode) != 0) return fail(errno);
    } else if (replacing) {
        (void)::fchmod(file.Get(), previous.st_mode & 07777);
    }
    if (const int code = WriteAll(file.Get(), content); code != 0) return fail(code);
    if (::fsync(file.Get()) != 0) return fail(errno);
    if (file.Close() != 0) return fail(errno);
    if (::rename(temporary.c_str(), target.c_str()) != 0) return fail(errno);

    // The rename itself reaches the disk only with its folder.
    FileDescriptor folder(::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Get() >= 0) (void)::fsync(folder.Get());
    return true;
}

}  // namespace lv
