// lumivane-sim usbbox: a stand-in for a USB TimingBox on a pseudo-terminal, written
// from the box's line formats alone.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>

#include "PassingGenerator.h"
#include "SimCommands.h"
#include "StopSignals.h"
#include "UsbBoxOptions.h"
#include "UsbBoxState.h"

namespace sim {

namespace {

long long WallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

constexpr std::size_t kMaxCommandBytes = 4096;

void Trace(bool verbose, const char* direction, const std::string& text) {
    if (!verbose) return;
    std::string shown;
    for (unsigned char c : text) {
        if (c == '\n') {
            shown += "\\n";
        } else if (c >= 0x20 && c < 0x7F) {
            shown.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            shown += hex;
        }
    }
    std::fprintf(stderr, "usbbox: %s %s\n", direction, shown.c_str());
}

bool WriteAllBytes(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count > 0) {
            done += static_cast<std::size_t>(count);
        } else if (count < 0 && (errno == EINTR || errno == EAGAIN)) {
            pollfd waiter{fd, POLLOUT, 0};
            ::poll(&waiter, 1, 100);
        } else {
            return false;
        }
    }
    return true;
}

}  // namespace

int RunUsbBoxSimulator(int argc, char** argv) {
    usbbox::Options options;
    bool help = false;
    std::string error;
    if (!usbbox::ParseOptions(argc, argv, options, help, error)) {
        std::fprintf(stderr, "usbbox: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (help) {
        usbbox::PrintHelp();
        return 0;
    }
    std::vector<std::string> chips;
    if (!options.chipsFile.empty()) {
        if (!decoder::LoadChipCodes(options.chipsFile, chips, error)) {
            std::fprintf(stderr, "usbbox: %s\n", error.c_str());
            return 2;
        }
    } else {
        chips = decoder::GeneratedChipCodes(options.runners);
    }
    if (chips.empty()) {
        std::fprintf(stderr, "usbbox: no chip codes\n");
        return 2;
    }

    int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::fprintf(stderr, "usbbox: no pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    const char* name = ::ptsname(master);
    if (!name) {
        std::fprintf(stderr, "usbbox: no pseudo-terminal name: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string device = name;
    // Held open for the simulator's life: a client may close and open the port again
    // without the terminal going away, and the line is raw from the start.
    int keeper = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (keeper < 0) {
        std::fprintf(stderr, "usbbox: cannot open %s: %s\n", device.c_str(), std::strerror(errno));
        return 1;
    }
    termios raw{};
    if (::tcgetattr(keeper, &raw) == 0) {
        ::cfmakeraw(&raw);
        ::tcsetattr(keeper, TCSANOW, &raw);
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    InstallStopSignals();

    usbbox::UsbBoxState state(options, std::move(chips), WallMs());
    std::printf("device %s\n", device.c_str());
    std::fflush(stdout);
    if (options.verbose) std::fprintf(stderr, "usbbox: answering on %s\n", device.c_str());

    std::string pending;
    bool dropping = false;  // an over-long command is dropped up to its line feed
    // What goes out, in order: each answer when it is due (a late one holds back those
    // behind it, as a box that answers one command at a time does), at the line's speed.
    struct Outgoing {
        long long dueMs;
        std::string text;
    };
    std::deque<Outgoing> queue;
    std::string out;            // due bytes not yet written
    long long paceStartMs = 0;  // the line's speed counts from here ...
    long long paceSent = 0;     // ... these bytes sent since
    std::map<std::string, int> lateLeft = options.lateMs;
    int junkLeft = options.junkLines;
    while (!g_stop.load()) {
        const bool busy = !queue.empty() || !out.empty();
        pollfd waiter{master, POLLIN, 0};
        int ready = ::poll(&waiter, 1, busy ? 5 : 200);
        state.Generate(WallMs());
        if (ready > 0) {
            char chunk[512];
            ssize_t count = ::read(master, chunk, sizeof chunk);
            if (count <= 0) {
                if (!(count < 0 && (errno == EAGAIN || errno == EINTR))) {
                    // No client side open: wait for one.
                    ::usleep(50000);
                }
                count = 0;
            }
            for (ssize_t i = 0; i < count; ++i) {
                const char c = chunk[i];
                if (c != '\n') {
                    if (!dropping && pending.size() < kMaxCommandBytes) {
                        pending.push_back(c);
                    } else {
                        dropping = true;
                    }
                    continue;
                }
                if (dropping) {
                    dropping = false;
                    pending.clear();
                    continue;
                }
                Trace(options.verbose, "<<", pending);
                const std::string keyword = pending.substr(0, pending.find(';'));
                const std::string reply = state.Answer(pending, WallMs());
                pending.clear();
                if (reply.empty()) continue;
                long long due = WallMs();
                auto late = lateLeft.find(keyword);
                if (late != lateLeft.end()) {
                    due += late->second;
                    lateLeft.erase(late);
                }
                if (junkLeft > 0) {
                    --junkLeft;
                    queue.push_back({due, std::string(200 * 1024, 'Z') + "\n"});
                }
                queue.push_back({due, reply});
            }
        }
        const long long now = WallMs();
        while (!queue.empty() && queue.front().dueMs <= now) {
            if (out.empty()) {
                paceStartMs = now;
                paceSent = 0;
            }
            Trace(options.verbose, ">>", queue.front().text.size() > 4096 ? "(noise)" : queue.front().text);
            out += queue.front().text;
            queue.pop_front();
        }
        if (out.empty()) continue;
        std::size_t length = out.size();
        if (options.bytesPerSecond > 0) {
            const long long allowed = (now - paceStartMs) * options.bytesPerSecond / 1000 - paceSent;
            if (allowed <= 0) continue;
            length = std::min<std::size_t>(length, static_cast<std::size_t>(allowed));
        }
        if (!WriteAllBytes(master, out.substr(0, length))) {
            std::fprintf(stderr, "usbbox: write failed: %s\n", std::strerror(errno));
        }
        out.erase(0, length);
        paceSent += static_cast<long long>(length);
    }
    ::close(keeper);
    ::close(master);
    return 0;
}

}  // namespace sim
