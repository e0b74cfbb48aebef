#pragma once
// Lines that several threads append to one file, written in the order they were
// queued, each before its writer goes on. The thread that writes takes every line
// queued so far in one write: under a mass start, four box threads then share a write
// instead of each waiting for the file in turn (a thread switch per line).
//
// Use: Queue under the lock that orders the lines (the order of Queue calls is the
// order in the file), then WaitWritten outside it. Whoever changes the file the lines
// go to holds Baton() first and hands what is queued to the old file (DrainLocked).
//
// A thread that has several lines at hand (a box thread with a burst of received
// passings) opens a DeferredWaits scope around them: WaitWritten then only remembers
// the ticket, and the scope waits once per combiner when it closes. The lines are
// queued at once, in order, so the file's order is unchanged; what changes is that a
// line reaches the file when the scope closes instead of when its call returns.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace lv {

class WriteCombiner {
public:
    using Ticket = std::uint64_t;

    // Appends bytes after those queued before; the ticket names them. Several parts
    // are queued as one piece, without being joined first.
    template <class... Parts>
    Ticket Queue(const Parts&... parts) {
        std::lock_guard<std::mutex> guard(queueLock_);
        (pending_.append(std::string_view(parts)), ...);
        return ++queued_;
    }

    class DeferredWaits;

    // Returns once the bytes of `ticket` were handed to a write, by this thread or by
    // the one before it. write(std::string_view batch) runs with the baton held.
    // Inside a DeferredWaits scope of this thread, returns at once: the scope waits.
    template <class Write>
    void WaitWritten(Ticket ticket, Write&& write) {
        if (Defer(ticket, write)) return;
        WaitNow(ticket, write);
    }

    // Hands everything queued to write; the caller holds Baton().
    template <class Write>
    void DrainLocked(Write&& write) {
        WriteQueued(0, write);
    }

    std::mutex& Baton() { return baton_; }

private:
    static constexpr int kSpinsBeforeSleeping = 200;

    template <class Write>
    bool Defer(Ticket ticket, Write& write);

    template <class Write>
    void WaitNow(Ticket ticket, Write& write) {
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

// Waits deferred on this thread while the scope is open, done when it closes (or at
// WaitAll): every line queued by WaitWritten callers inside the scope is then in its
// file. Scopes nest; each waits for what was deferred while it was the innermost.
// Close it before anything that may block for long (waiting for more input): the
// lines wait with it. Every combiner remembered must outlive the scope.
class WriteCombiner::DeferredWaits {
public:
    DeferredWaits() : outer_(current_) { current_ = this; }
    ~DeferredWaits() {
        current_ = outer_;
        WaitAll();
    }
    DeferredWaits(const DeferredWaits&) = delete;
    DeferredWaits& operator=(const DeferredWaits&) = delete;

    // Waits for every ticket remembered so far; the scope stays open.
    void WaitAll() {
        for (std::size_t i = 0; i < used_; ++i) {
            Entry& entry = entries_[i];
            entry.combiner->WaitNow(entry.ticket, entry.write);
            entry.write = nullptr;
        }
        used_ = 0;
    }

private:
    friend class WriteCombiner;

    // The log and the detection journal: one slot each, and room to spare. A combiner
    // beyond that is waited for at once.
    static constexpr std::size_t kCombiners = 4;

    struct Entry {
        WriteCombiner* combiner = nullptr;
        Ticket ticket = 0;
        std::function<void(std::string_view)> write;
    };

    template <class Write>
    bool Remember(WriteCombiner& combiner, Ticket ticket, Write& write) {
        for (std::size_t i = 0; i < used_; ++i) {
            if (entries_[i].combiner != &combiner) continue;
            // Tickets of one combiner grow: waiting for the last covers the others (and
            // its callers all pass the same write).
            if (ticket > entries_[i].ticket) entries_[i].ticket = ticket;
            return true;
        }
        if (used_ == kCombiners) return false;
        entries_[used_] = Entry{&combiner, ticket, std::function<void(std::string_view)>(write)};
        ++used_;
        return true;
    }

    static inline thread_local DeferredWaits* current_ = nullptr;
    DeferredWaits* outer_;
    std::array<Entry, kCombiners> entries_{};
    std::size_t used_ = 0;
};

template <class Write>
bool WriteCombiner::Defer(Ticket ticket, Write& write) {
    DeferredWaits* scope = DeferredWaits::current_;
    return scope != nullptr && scope->Remember(*this, ticket, write);
}

}  // namespace lv
