#include "boxes/transport/SerialCommHelper.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>
#include <fmt/printf.h>
#include <system_error>

namespace lv {

namespace {

// Bytes taken from the port per read.
constexpr std::size_t kChunkBytes = 256;

speed_t SpeedOf(int baudRate) {
    switch (baudRate) {
        case 1200: return B1200;
        case 2400: return B2400;
        case 4800: return B4800;
        case 9600: return B9600;
        case 19200: return B19200;
        case 38400: return B38400;
        case 57600: return B57600;
        case 115200: return B115200;
        default: return B0;
    }
}

tcflag_t ByteSizeFlag(int byteSize) {
    switch (byteSize) {
        case 5: return CS5;
        case 6: return CS6;
        case 7: return CS7;
        default: return CS8;
    }
}

}  // namespace

// One open port: the device and the eventfd that wakes its reader. Closed when the
// last user (the owner, the reader thread, a write or DTR call) lets go of it, so that
// no call ever touches a descriptor number that was reused meanwhile.
struct CSerialCommHelper::Port {
    Port(int device, int wake) : fd(device), wakeFd(wake) {}
    ~Port() {
        ::close(fd);
        ::close(wakeFd);
    }
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    const int fd;
    const int wakeFd;
};

CSerialCommHelper::~CSerialCommHelper() { UnInit(); }

std::string CSerialCommHelper::SystemErrorText(int code) {
    std::string message = std::strerror(code);
    while (!message.empty() && !std::isalnum(static_cast<unsigned char>(message.back()))) message.pop_back();
    return fmt::sprintf("[#%d]= \"%s\"", code, message);
}

std::shared_ptr<CSerialCommHelper::Port> CSerialCommHelper::CurrentPort() const {
    std::lock_guard<std::mutex> guard(portLock_);
    return port_;
}

int CSerialCommHelper::Init(const std::string& path, int baudRate, int parity, int stopBits, int byteSize,
                            std::string& error) {
    std::lock_guard<std::mutex> life(lifeLock_);
    error.clear();
    if (portOpen_.load()) return 1;
    try {
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            error = fmt::sprintf("Erreur de connexion au port %s : %s", path, SystemErrorText(errno));
            return 0;
        }
        // No sharing: a second program (or box) on the same port is refused.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int code = errno;
            ::close(fd);
            error = fmt::sprintf("Erreur de connexion au port %s : %s", path, SystemErrorText(code));
            return 0;
        }
        termios settings{};
        // Also what refuses a path that is no terminal at all (ENOTTY).
        if (::tcgetattr(fd, &settings) != 0) {
            int code = errno;
            ::close(fd);
            error = fmt::sprintf("Erreur GetCommState pour le port %s : %s", path, SystemErrorText(code));
            return 0;
        }
        ::cfmakeraw(&settings);
        settings.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        settings.c_cflag |= ByteSizeFlag(byteSize) | CLOCAL | CREAD;
        if (parity == 1) settings.c_cflag |= PARENB | PARODD;
        if (parity == 2) settings.c_cflag |= PARENB;
        if (stopBits == 2) settings.c_cflag |= CSTOPB;
        settings.c_iflag &= ~(IXON | IXOFF | IXANY);
        const speed_t speed = SpeedOf(baudRate);
        if (speed == B0 || ::cfsetispeed(&settings, speed) != 0 || ::cfsetospeed(&settings, speed) != 0 ||
            ::tcsetattr(fd, TCSANOW, &settings) != 0) {
            int code = speed == B0 ? EINVAL : errno;
            ::close(fd);
            error = fmt::sprintf("Erreur GetCommState pour le port %s : %s", path, SystemErrorText(code));
            return 0;
        }
        // Reads return at once with what is there: the reader thread polls.
        settings.c_cc[VMIN] = 0;
        settings.c_cc[VTIME] = 0;
        if (::tcsetattr(fd, TCSANOW, &settings) != 0) {
            int code = errno;
            ::close(fd);
            error = fmt::sprintf("Erreur setting time-outs pour le port %s : %s", path, SystemErrorText(code));
            return 0;
        }
        ::tcflush(fd, TCIOFLUSH);
        int wake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (wake < 0) {
            ::close(fd);
            error = fmt::sprintf("Exception catched for Port %s", path);
            return 0;
        }
        auto port = std::make_shared<Port>(fd, wake);
        buffer_.Reset();
        portFailed_.store(false);
        {
            std::lock_guard<std::mutex> guard(failureLock_);
            failureText_.clear();
        }
        {
            std::lock_guard<std::mutex> guard(portLock_);
            port_ = port;
        }
        portOpen_.store(true);
        try {
            reader_ = std::thread([this, port] { ReaderLoop(port); });
        } catch (const std::system_error&) {
            portOpen_.store(false);
            std::lock_guard<std::mutex> guard(portLock_);
            port_.reset();
            error = fmt::sprintf("Exception catched for Port %s", path);
            return 0;
        }
        state_.store(kInitialised);
        return 1;
    } catch (const std::exception&) {
        error = fmt::sprintf("Exception catched for Port %s", path);
        return 0;
    }
}

void CSerialCommHelper::UnInit() {
    std::lock_guard<std::mutex> life(lifeLock_);
    portOpen_.store(false);
    std::shared_ptr<Port> port;
    {
        std::lock_guard<std::mutex> guard(portLock_);
        port.swap(port_);
    }
    if (port) {
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(port->wakeFd, &one, sizeof one);
    }
    if (reader_.joinable()) reader_.join();
    buffer_.Wake();
    state_.store(kNotInitialised);
}

void CSerialCommHelper::Fail(int code) {
    {
        std::lock_guard<std::mutex> guard(failureLock_);
        failureText_ = SystemErrorText(code);
    }
    portFailed_.store(true);
    buffer_.Wake();
}

std::string CSerialCommHelper::FailureText() const {
    std::lock_guard<std::mutex> guard(failureLock_);
    return failureText_;
}

void CSerialCommHelper::ReaderLoop(std::shared_ptr<Port> port) {
    char chunk[kChunkBytes];
    while (portOpen_.load()) {
        pollfd waiters[2] = {{port->fd, POLLIN, 0}, {port->wakeFd, POLLIN, 0}};
        int ready = ::poll(waiters, 2, -1);
        if (ready < 0) {
            if (errno == EINTR) continue;
            Fail(errno);
            return;
        }
        if (waiters[1].revents != 0) return;  // UnInit
        if (waiters[0].revents & POLLNVAL) {
            Fail(EBADF);
            return;
        }
        // Drain what is there; a device that vanished reads as an error or an end.
        for (;;) {
            ssize_t count = ::read(port->fd, chunk, sizeof chunk);
            if (count > 0) {
                if (state_.load() == kStarted) buffer_.Append(chunk, static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && errno == EINTR) continue;
            // A terminal in raw mode with no time-out reads 0 when nothing is there: no
            // end of file, the poll tells a hang-up.
            if (count == 0 || (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))) {
                // Nothing more; a hang-up with nothing to read is the device gone.
                if (waiters[0].revents & (POLLHUP | POLLERR)) {
                    Fail(EIO);
                    return;
                }
                break;
            }
            Fail(errno);
            return;
        }
    }
}

int CSerialCommHelper::WriteBytes(const char* bytes, int length) {
    if (length < 0 || state_.load() != kStarted) return -1;
    std::shared_ptr<Port> port = CurrentPort();
    if (!port || portFailed_.load()) return -1;
    std::lock_guard<std::mutex> guard(writeLock_);
    int done = 0;
    while (done < length) {
        ssize_t count = ::write(port->fd, bytes + done, static_cast<std::size_t>(length - done));
        if (count > 0) {
            done += static_cast<int>(count);
            continue;
        }
        if (count < 0 && errno == EINTR) continue;
        if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            // The line is slower than the program: wait for room, not forever.
            pollfd waiter{port->fd, POLLOUT, 0};
            if (::poll(&waiter, 1, 2000) > 0 && !(waiter.revents & (POLLERR | POLLHUP | POLLNVAL))) continue;
        }
        return -1;
    }
    return done;
}

int CSerialCommHelper::ReadUpTo(std::string& out, const std::string& delimiter, int milliseconds) {
    if (state_.load() != kStarted) return -2;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        CSerialBuffer::Read read = buffer_.ReadUpTo(out, delimiter);
        if (read == CSerialBuffer::Read::Delimited || read == CSerialBuffer::Read::Cut) return 0;
        // The delimiter may have come across two chunks.
        if (!delimiter.empty() && out.size() >= delimiter.size() &&
            out.compare(out.size() - delimiter.size(), delimiter.size(), delimiter) == 0)
            return 0;
        if (portFailed_.load()) return -2;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return -1;
        buffer_.WaitForData(left);
    }
}

bool CSerialCommHelper::SetDtr(bool on) {
    std::shared_ptr<Port> port = CurrentPort();
    if (!port) return false;
    int bits = TIOCM_DTR;
    return ::ioctl(port->fd, on ? TIOCMBIS : TIOCMBIC, &bits) == 0;
}

}  // namespace lv
