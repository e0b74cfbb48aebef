#pragma once
// A recording explorer window, and a one-shot HTTP server on loopback that answers
// one GET with a body of the test's choosing (a box serving a stored file).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/EventLoop.h"
#include "cloud/explorer/BoxFilesExplorer.h"
#include "support/LoopbackSockets.h"

namespace lv::test {

class RecordingExplorerView : public BoxFilesView {
public:
    void ShowEntries(const std::vector<std::string>& shown, int selected) override {
        entries = shown;
        selectedEntry = selected;
    }
    void ShowFileLines(const std::vector<std::string>& shown, bool enabled) override {
        lines = shown;
        listEnabled = enabled;
    }
    void ShowButtons(const ExplorerButtons& shown) override { buttons = shown; }
    void ShowDestination(const std::string& folder) override { destination = folder; }
    void ShowBusy(bool shown) override { busy = shown; }
    void ShowMessage(const std::string& text, Icon icon) override { messages.push_back({text, icon}); }
    bool AskYesNo(const std::string& question) override {
        questions.push_back(question);
        return answer;
    }
    void PlayAlert() override { ++alerts; }
    void CopyToClipboard(const std::string& text) override { clipboard = text; }
    void Close(bool accepted) override { closed = accepted ? 1 : 0; }

    struct Message {
        std::string text;
        Icon icon;
    };
    std::vector<std::string> entries;
    int selectedEntry = -2;
    std::vector<std::string> lines;
    bool listEnabled = false;
    ExplorerButtons buttons;
    std::string destination;
    bool busy = false;
    std::vector<Message> messages;
    std::vector<std::string> questions;
    bool answer = true;
    int alerts = 0;
    std::string clipboard;
    int closed = -1;  // -1 open, 0 cancelled, 1 accepted
};

// Answers one request on a loopback port with `body` (200), then stops.
class OneShotHttpServer {
public:
    explicit OneShotHttpServer(std::string body) : body_(std::move(body)) {
        listener_ = ListenLoopback(4, port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotHttpServer() {
        if (thread_.joinable()) thread_.join();
        if (listener_ >= 0) ::close(listener_);
    }
    std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    std::string RequestLine() {
        if (thread_.joinable()) thread_.join();
        return requestLine_;
    }

private:
    void Serve() {
        pollfd waiter{listener_, POLLIN, 0};
        if (::poll(&waiter, 1, 10000) <= 0) return;
        const int client = ::accept(listener_, nullptr, nullptr);
        if (client < 0) return;
        std::string request;
        char buffer[1024];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request.append(buffer, static_cast<std::size_t>(got));
        }
        requestLine_ = request.substr(0, request.find("\r\n"));
        const std::string answer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: " +
                                   std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
        (void)::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        ::close(client);
    }

    std::string body_;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
    std::string requestLine_;
};

// A stored file as a box lists it.
inline std::unique_ptr<CDetectionFile> BoxFile(const std::string& id, int count, const std::string& url,
                                               const std::string& device = "31") {
    auto file = std::make_unique<CDetectionFile>();
    file->fileId = id;
    file->count = count;
    file->created = "01/05/2024";
    file->details = "closed";
    file->detectionsPath = url;
    file->deviceId = device;
    return file;
}

}  // namespace lv::test
