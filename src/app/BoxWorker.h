#pragma once
// Runs the slow work on boxes (connecting and initialising them, the clock commands)
// away from the UI thread, so that the window keeps drawing and the direct link keeps
// answering: one thread per box concerned, the boxes in parallel, then the outcome
// handed back to the UI thread. One job at a time.
//
// Threads: every member function is called on the UI thread; the task runs on the
// job's threads, the outcome on the UI thread.
#include <array>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "base/UiLoop.h"

namespace lv {

class BoxWorker {
public:
    static constexpr int kBoxCount = 4;
    using Boxes = std::array<bool, kBoxCount>;
    // Runs on the box's own worker thread; its result lands in the outcome.
    using Task = std::function<bool(int index)>;
    // Runs on the UI thread once every task has returned.
    using Outcome = std::function<void(const Boxes& results)>;
    // Makes a box's task return soon (closing its connection, cancelling its waits).
    using Interrupt = std::function<void(int index)>;

    explicit BoxWorker(UiLoop& ui);
    // Waits for a job still running (its outcome never runs): the owner interrupts it
    // first with Abandon.
    ~BoxWorker();
    BoxWorker(const BoxWorker&) = delete;
    BoxWorker& operator=(const BoxWorker&) = delete;

    // Starts `task` for every box marked in `boxes`. False, with nothing started, while
    // a job runs or its outcome has not run yet.
    bool Start(const Boxes& boxes, Task task, Outcome outcome);
    // From Start until the job's outcome has run (or the job was abandoned).
    bool IsBusy() const { return job_ != nullptr; }
    // The present job works on this box.
    bool Covers(int index) const;

    // Ends the present job without its outcome: `interrupt` is called for each of its
    // boxes at once and again every kInterruptRepeatMs until every task has returned (a
    // connection that completed after the first call is closed by the next). With
    // `pumpUi`, the UI loop keeps running meanwhile.
    void Abandon(const Interrupt& interrupt, bool pumpUi);

    static constexpr int kInterruptRepeatMs = 50;

private:
    struct Job;
    void Finish(const std::shared_ptr<Job>& job);
    static void Join(Job& job);

    UiLoop& ui_;
    std::shared_ptr<Job> job_;
    // Closures posted by job threads hold a weak copy: none runs after this worker died.
    std::shared_ptr<BoxWorker*> self_;
};

}  // namespace lv
