#include "core/JournalSession.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fmt/format.h>

#include "base/AtomicFile.h"
#include "base/PlainText.h"

namespace lv {
namespace {

// The fixed-width head of the state file, rewritten in place as answers come.
constexpr std::size_t kPositionDigits = 10;
// A state file is a few lines; one far larger is not one of ours.
constexpr std::size_t kMaxStateBytes = 16u << 20;

std::string Head(std::size_t forwarded, bool clean) {
    return fmt::format("sent {:0{}}\nclean {}\n", forwarded, kPositionDigits, clean ? 1 : 0);
}

void CloseFd(int fd) {
#ifdef _WIN32
    _close(fd);
#else
    ::close(fd);
#endif
}

}  // namespace

std::string SessionStatePath(const std::string& detectionFilePath) {
    const std::size_t slash = detectionFilePath.find_last_of("/\\");
    const std::size_t dot = detectionFilePath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return detectionFilePath + ".sent";
    return detectionFilePath.substr(0, dot) + ".sent";
}

std::string FormatSessionState(const SessionState& state) {
    std::string text = Head(state.forwarded, state.clean);
    text += "removed " + state.removed.Format() + "\nheld " + state.heldBack.Format() + "\n";
    return text;
}

bool LoadSessionState(const std::string& path, SessionState& state, std::string* problem) {
    std::string content;
    std::string error;
    const FileReadStatus status = ReadWholeFile(path, kMaxStateBytes, content, &error);
    if (status != FileReadStatus::Ok) {
        if (problem) *problem = status == FileReadStatus::Missing ? std::string() : error;
        return false;
    }
    SessionState read;
    bool sawSent = false;
    std::string_view rest(content);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t space = line.find(' ');
        const std::string_view key = line.substr(0, space);
        const std::string_view value = space == std::string_view::npos ? std::string_view() : line.substr(space + 1);
        bool ok = true;
        if (key == "sent") {
            ok = ReadWholeNumber(value, read.forwarded);
            sawSent = ok;
        } else if (key == "clean") {
            read.clean = value == "1";
        } else if (key == "removed") {
            ok = read.removed.Parse(value);
        } else if (key == "held") {
            ok = read.heldBack.Parse(value);
        }
        if (!ok) {
            if (problem) *problem = "unreadable line: " + std::string(line.substr(0, 80));
            return false;
        }
    }
    if (!sawSent) {
        if (problem) *problem = "no position";
        return false;
    }
    state = std::move(read);
    return true;
}

JournalSession::JournalSession(std::string path) : path_(std::move(path)), statePath_(SessionStatePath(path_)) {}

JournalSession::~JournalSession() {
    if (stateFd_ >= 0) CloseFd(stateFd_);
}

void JournalSession::Append(std::string_view lines) {
    std::lock_guard<std::mutex> hold(lock_);
    while (!lines.empty()) {
        const std::size_t end = lines.find('\n');
        const std::string_view line = lines.substr(0, end == std::string_view::npos ? lines.size() : end + 1);
        lines.remove_prefix(line.size());
        // A line never straddles two chunks: readers find it whole.
        if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < line.size()) {
            Chunk chunk;
            chunk.capacity = std::max(kChunkBytes, line.size());
            chunk.bytes = std::make_unique<char[]>(chunk.capacity);
            chunk.start = bytes_;
            chunks_.push_back(std::move(chunk));
        }
        Chunk& chunk = chunks_.back();
        std::memcpy(chunk.bytes.get() + chunk.used, line.data(), line.size());
        chunk.used += line.size();
        lineStarts_.push_back(bytes_);
        bytes_ += line.size();
    }
}

std::size_t JournalSession::Lines() const {
    std::lock_guard<std::mutex> hold(lock_);
    return lineStarts_.size();
}

std::size_t JournalSession::Bytes() const {
    std::lock_guard<std::mutex> hold(lock_);
    return bytes_;
}

const JournalSession::Chunk& JournalSession::ChunkOfLocked(std::size_t offset) const {
    auto it = std::upper_bound(chunks_.begin(), chunks_.end(), offset,
                               [](std::size_t value, const Chunk& chunk) { return value < chunk.start; });
    return *std::prev(it);
}

std::string_view JournalSession::LineLocked(std::size_t number) const {
    const std::size_t start = lineStarts_[number - 1];
    const std::size_t end = number < lineStarts_.size() ? lineStarts_[number] : bytes_;
    const Chunk& chunk = ChunkOfLocked(start);
    return std::string_view(chunk.bytes.get() + (start - chunk.start), end - start);
}

bool JournalSession::CopyLine(std::size_t number, std::string& line) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (number < 1 || number > lineStarts_.size()) return false;
    line.assign(LineLocked(number));
    return true;
}

std::vector<std::string_view> JournalSession::BytesFrom(std::size_t offset) const {
    std::lock_guard<std::mutex> hold(lock_);
    std::vector<std::string_view> pieces;
    for (const Chunk& chunk : chunks_) {
        if (chunk.start + chunk.used <= offset) continue;
        const std::size_t skip = offset > chunk.start ? offset - chunk.start : 0;
        pieces.emplace_back(chunk.bytes.get() + skip, chunk.used - skip);
    }
    return pieces;
}

std::size_t JournalSession::LinesWithin(std::size_t bytes) const {
    std::lock_guard<std::mutex> hold(lock_);
    // Line k is whole within `bytes` when the next one starts at or before it.
    const auto next = std::upper_bound(lineStarts_.begin(), lineStarts_.end(), bytes);
    std::size_t lines = static_cast<std::size_t>(next - lineStarts_.begin());
    if (lines > 0) {
        const std::size_t end = lines < lineStarts_.size() ? lineStarts_[lines] : bytes_;
        if (end > bytes) --lines;
    }
    return lines;
}

std::size_t JournalSession::LineStart(std::size_t number) const {
    std::lock_guard<std::mutex> hold(lock_);
    if (number < 1 || number > lineStarts_.size()) return bytes_;
    return lineStarts_[number - 1];
}

SessionState JournalSession::State() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_;
}

void JournalSession::SetState(const SessionState& state) {
    std::lock_guard<std::mutex> hold(lock_);
    state_ = state;
}

std::size_t JournalSession::Forwarded() const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_.forwarded;
}

void JournalSession::SetForwarded(std::size_t number) {
    std::lock_guard<std::mutex> hold(lock_);
    if (number > state_.forwarded) state_.forwarded = number;
}

void JournalSession::HoldBack(std::size_t number) {
    std::lock_guard<std::mutex> hold(lock_);
    state_.heldBack.Insert(number);
}

bool JournalSession::IsHeldBack(std::size_t number) const {
    std::lock_guard<std::mutex> hold(lock_);
    return state_.heldBack.Contains(number);
}

std::size_t JournalSession::HeldBackWithin(std::size_t first, std::size_t last) const {
    std::lock_guard<std::mutex> hold(lock_);
    return first > last ? 0 : state_.heldBack.CountWithin(first, last);
}

void JournalSession::SetRemoved(std::size_t number, bool removed) {
    std::lock_guard<std::mutex> hold(lock_);
    if (removed) {
        state_.removed.Insert(number);
    } else {
        state_.removed.Erase(number);
    }
}

bool JournalSession::SaveState(bool clean, std::string* error) {
    std::lock_guard<std::mutex> file(fileLock_);
    return SaveStateLocked(clean, error);
}

bool JournalSession::SaveStateLocked(bool clean, std::string* error) {
    SessionState state;
    {
        std::lock_guard<std::mutex> hold(lock_);
        state_.clean = clean;
        state = state_;
    }
    if (!ReplaceFileAtomically(statePath_, FormatSessionState(state), error)) return false;
    // The name now stands for a new file: writes in place go there.
    if (stateFd_ >= 0) CloseFd(stateFd_);
    stateFd_ = -1;
    stateFileWritten_ = true;
    positionWritten_ = state.forwarded;
    positionSynced_ = state.forwarded;
    return true;
}

bool JournalSession::SavePosition() {
    std::lock_guard<std::mutex> file(fileLock_);
    std::size_t forwarded = 0;
    bool clean = false;
    {
        std::lock_guard<std::mutex> hold(lock_);
        forwarded = state_.forwarded;
        clean = state_.clean;
    }
    if (forwarded == positionWritten_ && stateFileWritten_) return true;
    if (!stateFileWritten_) return SaveStateLocked(clean, nullptr);
#ifdef _WIN32
    return SaveStateLocked(clean, nullptr);
#else
    if (stateFd_ < 0) stateFd_ = ::open(statePath_.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (stateFd_ < 0) return SaveStateLocked(clean, nullptr);
    const std::string head = Head(forwarded, clean);
    if (::pwrite(stateFd_, head.data(), head.size(), 0) != static_cast<ssize_t>(head.size())) {
        return SaveStateLocked(clean, nullptr);
    }
    positionWritten_ = forwarded;
    return true;
#endif
}

void JournalSession::SyncState() {
    std::lock_guard<std::mutex> file(fileLock_);
    if (stateFd_ < 0 || positionSynced_ == positionWritten_) return;
#ifndef _WIN32
    ::fdatasync(stateFd_);
#endif
    positionSynced_ = positionWritten_;
}

std::shared_ptr<JournalSession> JournalSession::Next() const {
    std::lock_guard<std::mutex> hold(lock_);
    return next_;
}

void JournalSession::SetNext(std::shared_ptr<JournalSession> next) {
    std::lock_guard<std::mutex> hold(lock_);
    next_ = std::move(next);
}

}  // namespace lv
