#include "app/StatusCollector.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include <fmt/printf.h>

#include "app/BoxWatch.h"
#include "app/VisualStateWords.h"
#include "base/Clock.h"
#include "base/Texts.h"
#include "core/DetectionJournal.h"
#include "core/DetectionTable.h"

namespace lv {

namespace {

const char* StateText(BoxVisualState state) {
    switch (state) {
        case BoxVisualState::Undefined: return Tr("Not declared", "Non déclaré");
        case BoxVisualState::NotConnected: return Tr("Not connected", "Non connecté");
        case BoxVisualState::Reconnecting: return Tr("Reconnecting", "Reconnexion");
        case BoxVisualState::Connected: return Tr("Connected", "Connecté");
    }
    return "";
}

const char* LinkText(LinkVisualState state) {
    switch (state) {
        case LinkVisualState::Off: return Tr("Off", "Arrêtée");
        case LinkVisualState::Connecting: return Tr("Connecting", "Connexion en cours");
        case LinkVisualState::Connected: return Tr("Connected", "Connectée");
    }
    return "";
}

std::int64_t NowSeconds() { return std::chrono::system_clock::to_time_t(WallNow()); }

std::string LocalTimeOfDay(std::int64_t at) {
    const std::time_t t = static_cast<std::time_t>(at);
    std::tm local{};
    localtime_r(&t, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

// The box a line of the lost-box band names ("Box 2 [...] lost since ..."): the number
// after its first word; 0 when there is none.
int BoxOfLostLine(const std::string& line) {
    const std::size_t blank = line.find(' ');
    if (blank == std::string::npos) return 0;
    const int number = std::atoi(line.c_str() + blank + 1);
    return number >= 1 && number <= 4 ? number : 0;
}

// The timing application pads its names with blanks.
std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        if (end > start) lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

void StatusCollector::AddSummaryItem(const CSummaryItem& item) {
    {
        const std::string bib = std::to_string(item.bib);
        std::lock_guard<std::mutex> hold(lock_);
        auto [entry, added] = answers_.try_emplace(bib);
        entry->second = Answer{Trimmed(item.name), Trimmed(item.info)};
        if (added) {
            answerOrder_.push_back(bib);
            if (answerOrder_.size() > kAnswers) {
                answers_.erase(answerOrder_.front());
                answerOrder_.pop_front();
            }
        }
    }
    view_.AddSummaryItem(item);
}

void StatusCollector::SetBoxState(int box, BoxVisualState state, const std::string& label) {
    if (box >= 0 && box < 4) {
        std::lock_guard<std::mutex> hold(lock_);
        Box& entry = boxes_[static_cast<std::size_t>(box)];
        entry.known = true;
        entry.state = state;
        entry.label = label;
    }
    view_.SetBoxState(box, state, label);
}

void StatusCollector::SetBoxActivity(int box, const BoxActivity& activity) {
    if (box >= 0 && box < 4) {
        std::lock_guard<std::mutex> hold(lock_);
        boxes_[static_cast<std::size_t>(box)].activity = activity;
    }
    view_.SetBoxActivity(box, activity);
}

void StatusCollector::ShowLostBoxAlert(const std::string& text) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        const std::vector<std::string> before = Lines(lostText_);
        for (Box& box : boxes_) box.lostText.clear();
        for (const std::string& line : Lines(text)) {
            const int number = BoxOfLostLine(line);
            if (number > 0) boxes_[static_cast<std::size_t>(number - 1)].lostText = line;
            // A line shown anew is an alert, as the headless output has it.
            bool shown = false;
            for (const std::string& old : before) shown |= old == line;
            if (!shown) AddAlert(line);
        }
        lostText_ = text;
    }
    view_.ShowLostBoxAlert(text);
}

void StatusCollector::ShowOperatorAlert(const std::string& text) {
    if (!text.empty()) {
        std::lock_guard<std::mutex> hold(lock_);
        AddAlert(text);
    }
    view_.ShowOperatorAlert(text);
}

void StatusCollector::SetDirectLinkState(LinkVisualState state) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        link_ = state;
    }
    view_.SetDirectLinkState(state);
}

void StatusCollector::ShowLinkLost(const std::string& text) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        AddAlert(text);
    }
    view_.ShowLinkLost(text);
}

void StatusCollector::EndLinkLost(const std::string& backText) {
    if (!backText.empty()) {
        std::lock_guard<std::mutex> hold(lock_);
        AddAlert(backText);
    }
    view_.EndLinkLost(backText);
}

void StatusCollector::ShowForwardingBacklog(std::size_t waiting) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        waiting_ = waiting;
    }
    view_.ShowForwardingBacklog(waiting);
}

void StatusCollector::ShowJournalPending(std::size_t pendingLines) {
    {
        std::lock_guard<std::mutex> hold(lock_);
        if ((pendingLines == 0) != (journalPending_ == 0)) {
            AddAlert(pendingLines > 0
                         ? fmt::sprintf(Tr("%u detection line(s) not yet written to the detection file",
                                           "%u ligne(s) de détection pas encore écrite(s) dans le fichier de détections"),
                                        static_cast<unsigned>(pendingLines))
                         : std::string(Tr("The detection file has caught up", "Le fichier de détections est à jour")));
        }
        journalPending_ = pendingLines;
    }
    view_.ShowJournalPending(pendingLines);
}

void StatusCollector::AddAlert(const std::string& text) {
    StatusAlert alert;
    alert.at = NowSeconds();
    alert.time = LocalTimeOfDay(alert.at);
    alert.text = text;
    alerts_.push_front(std::move(alert));
    if (alerts_.size() > kMaxAlerts) alerts_.pop_back();
}

std::shared_ptr<const StatusFacts> StatusCollector::Snapshot(std::int64_t now) const {
    auto facts = std::make_shared<StatusFacts>();
    facts->version = LUMIVANE_VERSION;
    facts->language = CurrentLanguage() == Language::English ? "en" : "fr";
    facts->madeAt = now;
    // The journal's own state first, outside the collector's lock.
    DetectionJournal& journal = DetectionTable::Instance().Journal();
    if (std::shared_ptr<JournalSession> session = journal.CurrentSession()) {
        facts->detectionFile = session->Path();
        facts->detectionFileLines = session->Lines();
    }
    DetectionTable& table = DetectionTable::Instance();
    const std::size_t count = table.Count();
    const std::size_t first = count > kDetections ? count - kDetections + 1 : 1;
    table.VisitRecords(first, kDetections, [&](const CQoxResult& record) {
        facts->detections.push_back(
            StatusDetection{record.number, record.timeText, record.box, record.boxName, record.label, "", ""});
    });
    std::reverse(facts->detections.begin(), facts->detections.end());

    std::lock_guard<std::mutex> hold(lock_);
    for (StatusDetection& detection : facts->detections) {
        auto answer = answers_.find(detection.label);
        if (answer == answers_.end()) continue;
        detection.runner = answer->second.runner;
        detection.answer = answer->second.info;
    }
    for (std::size_t i = 0; i < boxes_.size(); ++i) {
        const Box& box = boxes_[i];
        StatusBox shown;
        shown.number = static_cast<int>(i) + 1;
        const BoxVisualState state = box.known ? box.state : BoxVisualState::Undefined;
        shown.declared = state != BoxVisualState::Undefined;
        const bool silent = box.activity.silent && state == BoxVisualState::Connected;
        shown.state = BoxStateWord(state, silent);
        shown.stateText = silent ? Tr("Connected, nothing read", "Connecté, aucune lecture") : StateText(state);
        if (shown.declared) {
            shown.label = box.label;
            shown.reads = box.activity.reads;
            shown.lastReadAgeSeconds = box.activity.lastReadAgeSeconds;
            if (box.activity.lastReadAgeSeconds >= 0) shown.lastReadText = ReadAgeText(box.activity.lastReadAgeSeconds);
        }
        shown.lostText = box.lostText;
        facts->boxes.push_back(std::move(shown));
    }
    facts->linkState = LinkStateWord(link_);
    facts->linkStateText = LinkText(link_);
    facts->linkWaiting = waiting_;
    facts->journalPending = journalPending_;
    for (const StatusAlert& alert : alerts_) {
        if (now - alert.at > kAlertSeconds) break;
        facts->alerts.push_back(alert);
    }
    return facts;
}

}  // namespace lv
