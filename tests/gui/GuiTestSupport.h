#pragma once
// What the window tests share: one QApplication on the offscreen platform, created
// by the first test that runs (never while the tests are only listed), a recorder of
// message boxes and questions, and a language switch that restores the previous one.
#include <QApplication>
#include <QString>

#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "base/Texts.h"
#include "gui/MessageBoxes.h"

namespace lv::test {

inline QApplication& QtApp() {
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        return new QApplication(argc, argv);
    }();
    return *app;
}

// Records every message box; questions take the queued answers (no when none left).
class MessageRecorder {
public:
    MessageRecorder()
        : scope_(MessageHook{[this](const QString& text, MessageIcon icon) {
                                 messages.push_back(text.toStdString());
                                 icons.push_back(icon);
                             },
                             [this](const QString& question) { return Answer(question, false); },
                             [this](const QString& question, bool defaultYes) {
                                 return Answer(question, defaultYes);
                             },
                             [this](const QString& prompt) -> std::optional<QString> {
                                 prompts.push_back(prompt.toStdString());
                                 if (texts.empty()) return std::nullopt;
                                 QString text = QString::fromStdString(texts.front());
                                 texts.pop_front();
                                 return text;
                             }}) {}

    std::vector<std::string> messages;
    std::vector<MessageIcon> icons;
    std::vector<std::string> questions;
    std::vector<bool> questionDefaultYes;  // beside questions
    std::deque<bool> answers;
    // Text prompts asked, and the texts typed in answer (Cancel when none left).
    std::vector<std::string> prompts;
    std::deque<std::string> texts;

private:
    bool Answer(const QString& question, bool defaultYes) {
        questions.push_back(question.toStdString());
        questionDefaultYes.push_back(defaultYes);
        if (answers.empty()) return false;
        bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    ScopedMessageHook scope_;
};

class LanguageScope {
public:
    explicit LanguageScope(Language language) : saved_(CurrentLanguage()) { SetLanguage(language); }
    ~LanguageScope() { SetLanguage(saved_); }
    LanguageScope(const LanguageScope&) = delete;
    LanguageScope& operator=(const LanguageScope&) = delete;

private:
    Language saved_;
};

}  // namespace lv::test
