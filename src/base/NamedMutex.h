#pragma once
// Named mutexes with bookkeeping of who holds them, as the program uses them to
// serialise the writing into its windows and the log. Two objects built with the same
// name share one lock, as two handles on one named kernel mutex would. The lock lives
// in this process; like a kernel mutex it may be taken again by the thread that owns
// it (each Acquire then needs its Release), and only the owning thread can release it.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace lv {

// The number the bookkeeping records for the calling thread (its kernel thread id).
std::uint32_t CurrentThreadNumber();

class CNamedMutex {
public:
    static constexpr const char* kNoOwner = "none";
    // A negative wait waits without limit.
    static constexpr int kWaitForever = -1;

    CNamedMutex(std::string name, int defaultWaitMs);
    virtual ~CNamedMutex();
    CNamedMutex(const CNamedMutex&) = delete;
    CNamedMutex& operator=(const CNamedMutex&) = delete;

    // Waits up to waitMs for the mutex. When the wait took more than 2 ms, sleeps
    // 20 ms before going on (lets the thread that just released it finish its work).
    // True when the calling thread owns the mutex.
    bool Acquire(const std::string& label, int waitMs);
    bool Acquire(const std::string& label) { return Acquire(label, defaultWait_); }
    // False when the calling thread does not own the mutex (the bookkeeping is then
    // left as it was).
    bool Release(const std::string& label);

    bool IsValid() const { return handle_ != nullptr; }
    const std::string& Name() const { return name_; }
    int DefaultWait() const { return defaultWait_; }
    // "Cannot create Mutex" when creation failed, else empty.
    const std::string& Error() const { return error_; }

    struct Bookkeeping {
        std::string owner = kNoOwner;
        std::uint32_t ownerThread = 0;
        std::string lastReleaser;
        std::uint32_t lastReleaserThread = 0;
        std::string previousOwner;
        std::uint32_t previousOwnerThread = 0;
    };
    Bookkeeping Snapshot() const;
    std::string Owner() const { return Snapshot().owner; }
    std::uint32_t OwnerThread() const { return Snapshot().ownerThread; }
    std::string LastReleaser() const { return Snapshot().lastReleaser; }
    std::uint32_t LastReleaserThread() const { return Snapshot().lastReleaserThread; }
    std::string PreviousOwner() const { return Snapshot().previousOwner; }
    std::uint32_t PreviousOwnerThread() const { return Snapshot().previousOwnerThread; }

    // The lock shared by every object of one name.
    struct Shared {
        std::mutex lock;
        std::condition_variable freed;
        std::thread::id owner;
        unsigned depth = 0;
    };

private:
    std::shared_ptr<Shared> handle_;
    std::string name_;
    int defaultWait_;
    std::string error_;
    mutable std::mutex infoLock_;
    Bookkeeping info_;
};

// A named mutex guarding one shared resource (a window's lines, the log), with a
// switch that turns the serialisation off.
class CResourceMutex {
public:
    CResourceMutex(std::string name, int defaultWaitMs, bool enabled = true);
    virtual ~CResourceMutex();

    CNamedMutex& Mutex() { return mutex_; }
    const CNamedMutex& Mutex() const { return mutex_; }
    const std::string& Name() const { return mutex_.Name(); }
    bool Enabled() const;
    void SetEnabled(bool enabled);

private:
    CNamedMutex mutex_;
    std::atomic<bool> enabled_;
};

enum class ResourceMutexId { Detections, Summary, LogWin };
constexpr int kResourceMutexDefaultWaitMs = 120;

// The three process-wide instances "Detections", "Summary" and "LogWin".
CResourceMutex& GetResourceMutex(ResourceMutexId id);

// Takes a resource mutex for a scope when it is enabled; gives back only what it took.
// Whether it was obtained or not, the caller goes on (the lock is a courtesy between
// writers, not a condition of writing).
class ResourceMutexLock {
public:
    ResourceMutexLock(CResourceMutex& resource, int waitMs);
    ResourceMutexLock(CResourceMutex& resource, std::string label, int waitMs);
    ~ResourceMutexLock();
    ResourceMutexLock(const ResourceMutexLock&) = delete;
    ResourceMutexLock& operator=(const ResourceMutexLock&) = delete;
    bool Owned() const { return owned_; }

private:
    CResourceMutex& resource_;
    std::string label_;
    bool owned_ = false;
};

}  // namespace lv
