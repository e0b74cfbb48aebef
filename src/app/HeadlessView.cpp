#include "app/HeadlessView.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include "app/BoxWatch.h"
#include "app/VisualStateWords.h"
#include "base/Texts.h"

namespace lv {

namespace {
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return text;
}
}  // namespace

void HeadlessView::Print(const char* tag, const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    if (tag[0] != '\0') {
        std::fprintf(out_, "[%s] %s\n", tag, text.c_str());
    } else {
        std::fprintf(out_, "%s\n", text.c_str());
    }
    std::fflush(out_);
}

void HeadlessView::ShowMessage(const std::string& text, MessageIcon) { Print("message", OneLine(text)); }

bool HeadlessView::AnswerFor(const std::string&) {
    // Without anybody at the keyboard, no question may stop the acquisition, lose
    // detections or change box clocks: every question is answered no.
    return false;
}

bool HeadlessView::AskYesNo(const std::string& question) {
    bool answer = AnswerFor(question);
    Print("question", OneLine(question) + (answer ? " -> yes" : " -> no"));
    return answer;
}

void HeadlessView::AddDetectionLine(const CDetectionItem& item) {
    std::string line = item.line;
    for (char& c : line) {
        if (c == '\t') c = ' ';
    }
    Print("detection", line);
}

void HeadlessView::AddSummaryItem(const CSummaryItem& item) {
    Print("summary", fmt::sprintf("%d\t%s\t%s\t%s\t%s", item.bib, item.name, item.time, item.info, item.rank));
}

void HeadlessView::AddLogLine(const std::string& line) { Print("", line); }

void HeadlessView::SetBoxState(int box, BoxVisualState state, const std::string& label) {
    if (box < 0 || box >= 4) return;
    if (boxStateKnown_[box] && boxStates_[box] == state) return;
    boxStateKnown_[box] = true;
    boxStates_[box] = state;
    StatusChanged();
    Print("box", fmt::sprintf("%d %s: %s", box + 1, BoxStateWord(state), OneLine(label)));
}

void HeadlessView::SetDirectLinkState(LinkVisualState state) {
    if (state == linkState_) return;
    linkState_ = state;
    StatusChanged();
    Print("link", LinkStateWord(state));
}

void HeadlessView::ShowLinkLost(const std::string& text) {
    if (!text.empty()) Print("alert", OneLine(text));
}

void HeadlessView::EndLinkLost(const std::string& backText) {
    if (!backText.empty()) Print("alert", OneLine(backText));
}

void HeadlessView::SetRunnerDisplay(const RunnerDisplay& runner) {
    if (runner.name == runner_.name && runner.rank == runner_.rank && runner.time == runner_.time) return;
    runner_ = runner;
    Print("runner", fmt::sprintf("%s | %s | %s", runner.name, runner.rank, runner.time));
}

void HeadlessView::SetBoxActivity(int box, const BoxActivity& activity) {
    if (box < 0 || box >= 4) return;
    // A box falling silent, or reading again, is worth a status line at once.
    if (activity.silent != activity_[static_cast<std::size_t>(box)].silent) StatusChanged();
    activity_[static_cast<std::size_t>(box)] = activity;
}

void HeadlessView::ShowLostBoxAlert(const std::string& text) {
    if (text.empty()) return;
    // Each line names one lost box.
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) Print("alert", text.substr(start, end - start));
        start = end + 1;
    }
}

void HeadlessView::ShowOperatorAlert(const std::string& text) {
    if (!text.empty()) Print("alert", OneLine(text));
}

void HeadlessView::ShowForwardingBacklog(std::size_t waiting) {
    if ((waiting == 0) != (backlog_ == 0)) StatusChanged();
    backlog_ = waiting;
}

void HeadlessView::ShowJournalPending(std::size_t pendingLines) {
    if ((pendingLines == 0) != (journalPending_ == 0)) {
        StatusChanged();
        if (pendingLines > 0) {
            Print("alert", fmt::sprintf(Tr("%u detection line(s) not yet written to the detection file",
                                           "%u ligne(s) de détection pas encore écrite(s) dans le fichier de détections"),
                                        static_cast<unsigned>(pendingLines)));
        } else {
            Print("alert", Tr("The detection file has caught up", "Le fichier de détections est à jour"));
        }
    }
    journalPending_ = pendingLines;
}

std::string HeadlessView::StatusLine() const {
    std::string line;
    for (int i = 0; i < 4; ++i) {
        const BoxActivity& activity = activity_[static_cast<std::size_t>(i)];
        line += fmt::sprintf("box%d %s", i + 1,
                             boxStateKnown_[i] ? BoxStateWord(boxStates_[i], activity.silent) : "undefined");
        if (boxStateKnown_[i] && boxStates_[i] != BoxVisualState::Undefined) {
            line += fmt::sprintf(" reads=%s last=%s", fmt::format("{}", activity.reads),
                                 activity.lastReadAgeSeconds < 0 ? std::string("-")
                                                                 : ReadAgeText(activity.lastReadAgeSeconds));
        }
        line += " | ";
    }
    line += fmt::sprintf("link %s waiting=%u journal-pending=%u", LinkStateWord(linkState_), static_cast<unsigned>(backlog_),
                         static_cast<unsigned>(journalPending_));
    return line;
}

void HeadlessView::BoxActivityShown() {
    const auto now = clock_();
    const bool due = !statusPrinted_ || now - lastStatus_ >= std::chrono::seconds(kStatusEverySeconds);
    if (!due && !statusChanged_) return;
    statusChanged_ = false;
    statusPrinted_ = true;
    lastStatus_ = now;
    Print("status", StatusLine());
}

}  // namespace lv
