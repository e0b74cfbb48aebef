#include "base/NamedMutex.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <map>

#ifdef __linux__
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace lv {

namespace {

// Objects of one name share one lock for as long as one of them lives.
std::shared_ptr<CNamedMutex::Shared> OpenShared(const std::string& name) {
    if (name.empty()) return std::make_shared<CNamedMutex::Shared>();
    static std::mutex registryLock;
    static std::map<std::string, std::weak_ptr<CNamedMutex::Shared>> registry;
    std::lock_guard<std::mutex> guard(registryLock);
    for (auto it = registry.begin(); it != registry.end();) {
        it = it->second.expired() ? registry.erase(it) : std::next(it);
    }
    std::weak_ptr<CNamedMutex::Shared>& slot = registry[name];
    std::shared_ptr<CNamedMutex::Shared> shared = slot.lock();
    if (!shared) {
        shared = std::make_shared<CNamedMutex::Shared>();
        slot = shared;
    }
    return shared;
}

}  // namespace

std::uint32_t CurrentThreadNumber() {
#ifdef __linux__
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
#else
    return static_cast<std::uint32_t>(std::hash<std::thread::id>()(std::this_thread::get_id()));
#endif
}

CNamedMutex::CNamedMutex(std::string name, int defaultWaitMs)
    : name_(std::move(name)), defaultWait_(defaultWaitMs) {
    try {
        handle_ = OpenShared(name_);
    } catch (const std::exception&) {
        handle_.reset();
        error_ = "Cannot create Mutex";
    }
}

CNamedMutex::~CNamedMutex() = default;

bool CNamedMutex::Acquire(const std::string& label, int waitMs) {
    if (!handle_) return false;
    const std::thread::id me = std::this_thread::get_id();
    const auto start = std::chrono::steady_clock::now();
    {
        std::unique_lock<std::mutex> lock(handle_->lock);
        auto available = [&] { return handle_->depth == 0 || handle_->owner == me; };
        if (waitMs < 0) {
            handle_->freed.wait(lock, available);
        } else if (!handle_->freed.wait_for(lock, std::chrono::milliseconds(waitMs), available)) {
            return false;
        }
        handle_->owner = me;
        ++handle_->depth;
    }
    if (std::chrono::steady_clock::now() - start > std::chrono::milliseconds(2)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::lock_guard<std::mutex> guard(infoLock_);
    info_.previousOwner = info_.owner;
    info_.previousOwnerThread = info_.ownerThread;
    info_.owner = label;
    info_.ownerThread = CurrentThreadNumber();
    return true;
}

bool CNamedMutex::Release(const std::string& label) {
    if (!handle_) return false;
    std::lock_guard<std::mutex> lock(handle_->lock);
    if (handle_->depth == 0 || handle_->owner != std::this_thread::get_id()) return false;
    {
        std::lock_guard<std::mutex> guard(infoLock_);
        info_.previousOwner = info_.owner;
        info_.previousOwnerThread = info_.ownerThread;
        info_.lastReleaser = label;
        info_.lastReleaserThread = CurrentThreadNumber();
        info_.owner = kNoOwner;
        info_.ownerThread = 0;
    }
    if (--handle_->depth == 0) {
        handle_->owner = std::thread::id();
        handle_->freed.notify_one();
    }
    return true;
}

CNamedMutex::Bookkeeping CNamedMutex::Snapshot() const {
    std::lock_guard<std::mutex> guard(infoLock_);
    return info_;
}

CResourceMutex::CResourceMutex(std::string name, int defaultWaitMs, bool enabled)
    : mutex_(std::move(name), defaultWaitMs), enabled_(enabled) {}

CResourceMutex::~CResourceMutex() = default;

bool CResourceMutex::Enabled() const { return enabled_.load(std::memory_order_relaxed); }

void CResourceMutex::SetEnabled(bool enabled) { enabled_.store(enabled, std::memory_order_relaxed); }

CResourceMutex& GetResourceMutex(ResourceMutexId id) {
    // Never destroyed: threads may still log while the process ends.
    static CResourceMutex* const detections =
        new CResourceMutex("Detections", kResourceMutexDefaultWaitMs);
    static CResourceMutex* const summary = new CResourceMutex("Summary", kResourceMutexDefaultWaitMs);
    static CResourceMutex* const logWin = new CResourceMutex("LogWin", kResourceMutexDefaultWaitMs);
    switch (id) {
        case ResourceMutexId::Detections: return *detections;
        case ResourceMutexId::Summary: return *summary;
        case ResourceMutexId::LogWin: break;
    }
    return *logWin;
}

ResourceMutexLock::ResourceMutexLock(CResourceMutex& resource, int waitMs)
    : ResourceMutexLock(resource, resource.Name(), waitMs) {}

ResourceMutexLock::ResourceMutexLock(CResourceMutex& resource, std::string label, int waitMs)
    : resource_(resource), label_(std::move(label)) {
    if (resource_.Enabled()) owned_ = resource_.Mutex().Acquire(label_, waitMs);
}

ResourceMutexLock::~ResourceMutexLock() {
    if (owned_) resource_.Mutex().Release(label_);
}

}  // namespace lv
