#include "base/SingleInstance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <fmt/printf.h>

#include "base/Environment.h"
#include "base/Texts.h"

namespace lv {

SingleInstanceGuard::~SingleInstanceGuard() { Release(); }

bool SingleInstanceGuard::Acquire(const std::string& lockFilePath) {
    if (fd_ >= 0) return true;
    anotherInstance_ = false;
    error_.clear();
    int fd = ::open(lockFilePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        int code = errno;
        error_ = fmt::sprintf(Tr("Cannot open \"%s\": %s", "Impossible d'ouvrir \"%s\" : %s"),
                              lockFilePath, std::strerror(code));
        return false;
    }
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        int code = errno;
        ::close(fd);
        if (code == EWOULDBLOCK) {
            anotherInstance_ = true;
        } else {
            error_ = fmt::sprintf(Tr("Cannot lock \"%s\": %s", "Impossible de verrouiller \"%s\" : %s"),
                                  lockFilePath, std::strerror(code));
        }
        return false;
    }
    fd_ = fd;
    // The holder's process id, for whoever wonders which process holds the lock.
    std::string pid = fmt::sprintf("%ld\n", static_cast<long>(::getpid()));
    if (::ftruncate(fd_, 0) == 0) (void)!::write(fd_, pid.data(), pid.size());
    return true;
}

void SingleInstanceGuard::Release() {
    if (fd_ < 0) return;
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    fd_ = -1;
}

std::string InstanceLockFilePath() { return JoinPath(GetDataFolder(), "Lumivane.lock"); }

const char* AlreadyStartedText() {
    return Tr("Sorry...\nLumivane is already started and cannot be started twice...",
              "Désolé...\nLumivane est déjà lancé et ne peut être lancé plusieurs fois...");
}

}  // namespace lv
