#pragma once
// Only one Lumivane runs per data folder: the running instance holds an exclusive
// flock on "Lumivane.lock" there. The system drops the lock when the process ends,
// however it ends, so a crash never blocks the next start.
#include <string>

namespace lv {

class SingleInstanceGuard {
public:
    SingleInstanceGuard() = default;
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // True when this process holds the lock on `lockFilePath` (taken now or before).
    // When false, AnotherInstanceRunning() tells a running instance from a lock file
    // that could not be used (then Error() says why).
    bool Acquire(const std::string& lockFilePath);
    void Release();

    bool Held() const { return fd_ >= 0; }
    bool AnotherInstanceRunning() const { return anotherInstance_; }
    const std::string& Error() const { return error_; }

private:
    int fd_ = -1;
    bool anotherInstance_ = false;
    std::string error_;
};

// data folder + "/Lumivane.lock"
std::string InstanceLockFilePath();

// "Sorry...\nLumivane is already started and cannot be started twice..." in the
// language of the interface.
const char* AlreadyStartedText();

}  // namespace lv
