#include "app/BoxWorker.h"

#include <fmt/printf.h>

#include <chrono>
#include <exception>

#include "base/Log.h"

namespace lv {

struct BoxWorker::Job {
    Boxes boxes{};
    Boxes results{};  // each written by its own thread, read once all have returned
    Outcome outcome;
    std::vector<std::thread> threads;
    std::mutex lock;
    std::condition_variable returned;
    int running = 0;  // guarded by lock
    bool abandoned = false;  // UI thread only
};

BoxWorker::BoxWorker(UiLoop& ui) : ui_(ui), self_(std::make_shared<BoxWorker*>(this)) {}

BoxWorker::~BoxWorker() {
    self_.reset();
    if (job_) Join(*job_);
}

bool BoxWorker::Covers(int index) const {
    return job_ && index >= 0 && index < kBoxCount && job_->boxes[static_cast<std::size_t>(index)];
}

bool BoxWorker::Start(const Boxes& boxes, Task task, Outcome outcome) {
    if (job_) return false;
    auto job = std::make_shared<Job>();
    job->boxes = boxes;
    job->outcome = std::move(outcome);
    for (bool wanted : boxes) job->running += wanted ? 1 : 0;
    job_ = job;
    if (job->running == 0) {
        ui_.post([weak = std::weak_ptr<BoxWorker*>(self_), job] {
            if (auto self = weak.lock()) (*self)->Finish(job);
        });
        return true;
    }
    for (int i = 0; i < kBoxCount; ++i) {
        if (!boxes[static_cast<std::size_t>(i)]) continue;
        job->threads.emplace_back([this, task, job, i, weak = std::weak_ptr<BoxWorker*>(self_)] {
            bool result = false;
            try {
                result = task(i);
            } catch (const std::exception& e) {
                Log(0, fmt::sprintf("## Box %d : %s", i + 1, e.what()));
            }
            job->results[static_cast<std::size_t>(i)] = result;
            bool last;
            {
                std::lock_guard<std::mutex> guard(job->lock);
                last = --job->running == 0;
            }
            job->returned.notify_all();
            // The worker outlives its threads (it joins them), so ui_ is still there.
            if (last) ui_.post([weak, job] {
                if (auto self = weak.lock()) (*self)->Finish(job);
            });
        });
    }
    return true;
}

void BoxWorker::Join(Job& job) {
    for (auto& thread : job.threads) {
        if (thread.joinable()) thread.join();
    }
}

void BoxWorker::Finish(const std::shared_ptr<Job>& job) {
    // An abandoned job's outcome never runs (Abandon joins and drops it).
    if (job_ != job || job->abandoned) return;
    Join(*job);
    job_.reset();
    if (job->outcome) job->outcome(job->results);
}

void BoxWorker::Abandon(const Interrupt& interrupt, bool pumpUi) {
    if (!job_) return;
    std::shared_ptr<Job> job = job_;
    job->abandoned = true;
    auto interruptAll = [&] {
        for (int i = 0; i < kBoxCount; ++i) {
            if (job->boxes[static_cast<std::size_t>(i)]) interrupt(i);
        }
    };
    auto allReturned = [&] {
        std::lock_guard<std::mutex> guard(job->lock);
        return job->running == 0;
    };
    const auto repeat = std::chrono::milliseconds(kInterruptRepeatMs);
    interruptAll();
    auto next = std::chrono::steady_clock::now() + repeat;
    if (pumpUi) {
        ui_.pumpUntil([&] {
            if (allReturned()) return true;
            if (std::chrono::steady_clock::now() >= next) {
                interruptAll();
                next = std::chrono::steady_clock::now() + repeat;
            }
            return false;
        });
    } else {
        std::unique_lock<std::mutex> guard(job->lock);
        while (job->running != 0) {
            if (!job->returned.wait_for(guard, repeat, [&] { return job->running == 0; })) {
                guard.unlock();
                interruptAll();
                guard.lock();
            }
        }
    }
    Join(*job);
    job_.reset();
}

}  // namespace lv
