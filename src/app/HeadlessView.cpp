#include "app/HeadlessView.h"

#include <fmt/printf.h>

namespace lv {

namespace {
const char* StateWord(BoxVisualState state) {
    switch (state) {
        case BoxVisualState::Undefined: return "undefined";
        case BoxVisualState::NotConnected: return "not-connected";
        case BoxVisualState::Reconnecting: return "reconnecting";
        case BoxVisualState::Connected: return "connected";
    }
    return "?";
}

const char* LinkWord(LinkVisualState state) {
    switch (state) {
        case LinkVisualState::Off: return "off";
        case LinkVisualState::Connecting: return "connecting";
        case LinkVisualState::Connected: return "connected";
    }
    return "?";
}

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
    Print("box", fmt::sprintf("%d %s: %s", box + 1, StateWord(state), OneLine(label)));
}

void HeadlessView::SetDirectLinkState(LinkVisualState state) {
    if (state == linkState_) return;
    linkState_ = state;
    Print("link", LinkWord(state));
}

void HeadlessView::SetRunnerDisplay(const RunnerDisplay& runner) {
    if (runner.name == runner_.name && runner.rank == runner_.rank && runner.time == runner_.time) return;
    runner_ = runner;
    Print("runner", fmt::sprintf("%s | %s | %s", runner.name, runner.rank, runner.time));
}

}  // namespace lv
