#pragma once
// The main window's log of FTP jobs: three lines, in French in both languages, for a
// job that starts, ends or fails. Called on the FTP worker thread; it only logs, so
// the worker never waits on the UI thread.
#include "ftp/FtpWorker.h"

namespace lv {

class FtpJobLog : public FtpJobObserver {
public:
    void OnFtpJobState(const FtpJobEvent& event) override;
};

}  // namespace lv
