#include "gui/QtUiLoop.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>

namespace lv {

namespace {
// How often a wait of pumpUntil looks at its condition when no event wakes it.
constexpr int kPumpPollMs = 5;
}  // namespace

QtUiLoop::QtUiLoop(QObject* parent) : QObject(parent) {}

QtUiLoop::~QtUiLoop() {
    for (auto& [id, entry] : timers_) delete entry.timer;
}

void QtUiLoop::post(Task fn) {
    QMetaObject::invokeMethod(this, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

void QtUiLoop::send(Task fn) {
    if (isUiThread()) {
        fn();
        return;
    }
    QMetaObject::invokeMethod(this, [&fn] { fn(); }, Qt::BlockingQueuedConnection);
}

void QtUiLoop::setTimer(int id, int milliseconds, bool periodic, Task fn) {
    killTimer(id);
    auto* timer = new QTimer(this);
    timer->setSingleShot(!periodic);
    timer->setInterval(milliseconds);
    connect(timer, &QTimer::timeout, this, [this, id, timer] { fire(id, timer); });
    timers_[id] = Entry{timer, std::move(fn), periodic};
    timer->start();
}

void QtUiLoop::killTimer(int id) {
    auto it = timers_.find(id);
    if (it == timers_.end()) return;
    it->second.timer->stop();
    // The timer may be the one whose expiry is running right now.
    it->second.timer->deleteLater();
    timers_.erase(it);
}

void QtUiLoop::fire(int id, QTimer* timer) {
    auto it = timers_.find(id);
    if (it == timers_.end() || it->second.timer != timer) return;
    // A copy: the closure may re-arm or kill its own id.
    Task fn = it->second.fn;
    if (!it->second.periodic) {
        timer->deleteLater();
        timers_.erase(it);
    }
    fn();
}

void QtUiLoop::pumpUntil(const std::function<bool()>& done) {
    if (done()) return;
    // Posted closures and timers go on; the user's clicks wait until the end, so no
    // command starts in the middle of another.
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPumpPollMs);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool QtUiLoop::isUiThread() const { return QThread::currentThread() == thread(); }

}  // namespace lv
