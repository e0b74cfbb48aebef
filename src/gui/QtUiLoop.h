#pragma once
// The UI thread's loop as Qt runs it: posted closures are queued calls on an object
// living on the UI thread, timers are QTimers kept by id.
#include <QObject>
#include <QTimer>

#include <map>

#include "base/UiLoop.h"

namespace lv {

class QtUiLoop : public QObject, public UiLoop {
    Q_OBJECT
public:
    // Construct on the UI thread (the thread of the QApplication).
    explicit QtUiLoop(QObject* parent = nullptr);
    ~QtUiLoop() override;

    void post(Task fn) override;
    void send(Task fn) override;
    void setTimer(int id, int milliseconds, bool periodic, Task fn) override;
    void killTimer(int id) override;
    void pumpUntil(const std::function<bool()>& done) override;
    bool isUiThread() const override;

    bool hasTimer(int id) const { return timers_.count(id) != 0; }

private:
    struct Entry {
        QTimer* timer = nullptr;
        Task fn;
        bool periodic = false;
    };
    void fire(int id, QTimer* timer);

    std::map<int, Entry> timers_;
};

}  // namespace lv
