#pragma once
// Lines that several threads append to one file, written in the order they were
// queued, each before its writer goes on. The thread that writes takes every line
// queued so far in one write: under a mass start, four box threads then share a write
// instead of each waiting for the file in turn (a thread switch per line).
//
// Use: Queue under the lock that orders the lines (the order of Queue calls is the
// order in the file), then WaitWritten outside it. Whoever changes the file the lines
// go to holds Baton() first and hands what is queued to the old file (DrainLocked).
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace lv {

class WriteCombiner {
public:
    using Ticket = std::uint64_t;

    // Appends bytes after those queued before; the ticket names them.
    Ticket Queue(std::string_view bytes) {
        std::lock_guard<std::mutex> guard(queueLock_);
        pending_.append(bytes);
        return ++queued_;
    }

    // Returns once the bytes of `ticket` were handed to a write, by this thread or by
    // the one before it. write(std::string_view batch) runs with the baton held.
    template <class Write>
    void WaitWritten(Ticket ticket, Write&& write) {
        // A write takes a few microseconds: while another thread writes (most often
        // this line with its own), spin briefly rather than sleep and be woken again.
        for (int spin = 0; spin < kSpinsBeforeSleeping; ++spin) {
            if (written_.load(std::memory_order_acquire) >= ticket) return;
            if (baton_.try_lock()) {
                std::lock_guard<std::mutex> baton(baton_, std::adopt_lock);
                WriteQueued(ticket, write);
                return;
            }
            Pause();
        }
        std::lock_guard<std::mutex> baton(baton_);
        WriteQueued(ticket, write);
    }

    // Hands everything queued to write; the caller holds Baton().
    template <class Write>
    void DrainLocked(Write&& write) {
        WriteQueued(0, write);
    }

    std::mutex& Baton() { return baton_; }

private:
    static constexpr int kSpinsBeforeSleeping = 200;

    static void Pause() {
#if defined(__x86_64__) || defined(__i386__)
        __builtin_ia32_pause();
#else
        std::this_thread::yield();
#endif
    }

    template <class Write>
    void WriteQueued(Ticket ticket, Write& write) {
        Ticket upTo = 0;
        {
            std::lock_guard<std::mutex> guard(queueLock_);
            if (ticket != 0 && written_.load(std::memory_order_relaxed) >= ticket) return;
            upTo = queued_;
            // The buffer written last time becomes the queue: no allocation per batch.
            batch_.clear();
            batch_.swap(pending_);
        }
        if (!batch_.empty()) write(std::string_view(batch_));
        // Published once the bytes are written: a thread that sees its ticket here
        // finds its line in the file.
        written_.store(upTo, std::memory_order_release);
    }

    std::mutex baton_;       // held by the thread writing a batch
    std::mutex queueLock_;   // guards the queue, never held during a write
    std::string pending_;
    std::string batch_;      // the batch being written (baton held)
    Ticket queued_ = 0;
    std::atomic<Ticket> written_{0};  // changed with the baton held
};

}  // namespace lv
