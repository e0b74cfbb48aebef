#pragma once
// A mutex for a lock that busy threads take for a fraction of a microsecond each time
// (four box threads recording passings): a thread that finds it taken spins a little
// before it sleeps, since the holder is about to let go, where a plain mutex would put
// it to sleep and wake it again (a few microseconds and two system calls). The C
// library's adaptive mutex where it has one, else std::mutex. Meets Lockable.
#include <mutex>

#if defined(__GLIBC__)
#include <pthread.h>
#endif

namespace lv {

#if defined(__GLIBC__)
class AdaptiveMutex {
public:
    AdaptiveMutex() {
        pthread_mutexattr_t attributes;
        pthread_mutexattr_init(&attributes);
        pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_ADAPTIVE_NP);
        pthread_mutex_init(&mutex_, &attributes);
        pthread_mutexattr_destroy(&attributes);
    }
    ~AdaptiveMutex() { pthread_mutex_destroy(&mutex_); }
    AdaptiveMutex(const AdaptiveMutex&) = delete;
    AdaptiveMutex& operator=(const AdaptiveMutex&) = delete;

    void lock() { pthread_mutex_lock(&mutex_); }
    bool try_lock() { return pthread_mutex_trylock(&mutex_) == 0; }
    void unlock() { pthread_mutex_unlock(&mutex_); }

private:
    pthread_mutex_t mutex_;
};
#else
using AdaptiveMutex = std::mutex;
#endif

}  // namespace lv
