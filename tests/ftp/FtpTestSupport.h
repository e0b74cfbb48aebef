#pragma once
// Shared pieces of the FTP tests: jobs aimed at a test server, short timeouts, and a
// recorder of job states.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "base/Settings.h"
#include "ftp/FtpJob.h"
#include "ftp/FtpTransfer.h"
#include "ftp/FtpWorker.h"
#include "support/FtpServerProcess.h"
#include "support/TempFolder.h"

namespace lv::test {

// Bounds short enough for a test, long enough for a loaded machine.
inline FtpConnectOptions QuickOptions() {
    FtpConnectOptions options;
    options.timeouts.connect = std::chrono::milliseconds(3000);
    options.timeouts.response = std::chrono::milliseconds(3000);
    options.timeouts.stall = std::chrono::milliseconds(3000);
    options.timeouts.acceptActive = std::chrono::milliseconds(3000);
    return options;
}

// Bytes 0..255 over and over, so that a shifted or truncated copy shows.
inline std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return bytes;
}

// An upload job from an empty settings file, aimed at the server.
inline std::unique_ptr<CFtpJob> UploadJob(const FtpServerProcess& server, const std::string& localPath,
                                          const std::string& remoteName, const std::string& directory = "") {
    IniFile none;
    auto job = std::make_unique<CFtpJob>(true, none);
    CFtpServer definition;
    definition.label = "test";
    definition.site = server.Site();
    definition.user = server.User();
    definition.password = server.Password();
    definition.directory = directory;
    job->SetServer(definition);
    job->SetLocalFile(localPath);
    job->SetRemoteName(remoteName);
    return job;
}

// The states a job went through, and the events of a worker.
class StateRecorder : public FtpJobObserver {
public:
    void OnFtpJobState(const FtpJobEvent& event) override {
        std::lock_guard<std::mutex> guard(lock_);
        events_.push_back(event);
    }
    FtpJobControl Control(std::atomic<bool>* abort = nullptr) {
        FtpJobControl control;
        control.abortRequested = [abort] { return abort && abort->load(); };
        control.notify = [this](const CFtpJob& job) {
            FtpJobEvent event;
            event.state = job.state;
            event.remoteName = job.remoteName;
            event.errorText = job.errorText;
            event.transferred = job.transferred;
            OnFtpJobState(event);
        };
        return control;
    }
    std::vector<FtpJobEvent> Events() const {
        std::lock_guard<std::mutex> guard(lock_);
        return events_;
    }
    std::vector<int> States() const {
        std::vector<int> states;
        for (const FtpJobEvent& event : Events()) states.push_back(event.state);
        return states;
    }
    // "name:state" for each event, for order checks.
    std::vector<std::string> Trail() const {
        std::vector<std::string> trail;
        for (const FtpJobEvent& event : Events()) trail.push_back(event.remoteName + ":" + std::to_string(event.state));
        return trail;
    }
    std::size_t Count() const {
        std::lock_guard<std::mutex> guard(lock_);
        return events_.size();
    }

private:
    mutable std::mutex lock_;
    std::vector<FtpJobEvent> events_;
};

}  // namespace lv::test
