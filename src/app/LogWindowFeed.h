#pragma once
// Feeds the log window: the logger's window lines and purges, posted in order to the
// view on the UI thread (the logger calls from any thread).
#include "app/MainView.h"
#include "base/Log.h"
#include "base/UiLoop.h"

namespace lv {

class LogWindowFeed : public LogWindowSink {
public:
    LogWindowFeed(UiLoop& ui, MainView& view) : ui_(ui), view_(view) {}

    void OnLogWindowLine(const std::string& line) override {
        ui_.post([this, line] { view_.AddLogLine(line); });
    }
    void OnLogWindowPurged(std::size_t count) override {
        // Posted in order with the lines: the view drops exactly the lines the logger
        // dropped (rebuilding from the store would show lines posted meanwhile twice).
        ui_.post([this, count] { view_.DropOldestLogLines(count); });
    }

private:
    UiLoop& ui_;
    MainView& view_;
};

}  // namespace lv
