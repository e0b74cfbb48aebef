#pragma once
// Every message box and yes/no question of the window and its dialogs goes through
// here, so that tests can answer them instead of a person.
#include <QString>

#include <functional>
#include <optional>
#include <memory>

#include "app/MainView.h"
#include "gui/QtTexts.h"

class QMessageBox;
class QWidget;

namespace lv {

struct MessageHook {
    // Called instead of showing a message box.
    std::function<void(const QString& text, MessageIcon icon)> message;
    // Called instead of asking; returns the answer (true for yes).
    std::function<bool(const QString& question)> question;
    // The same with the default answer; used in place of `question` when set.
    std::function<bool(const QString& question, bool defaultYes)> questionWithDefault;
    // Called instead of asking for a line of text; nothing stands for Cancel.
    std::function<std::optional<QString>(const QString& prompt)> text;
};

// Installs a hook for the life of the object (tests).
class ScopedMessageHook {
public:
    explicit ScopedMessageHook(MessageHook hook);
    ~ScopedMessageHook();
    ScopedMessageHook(const ScopedMessageHook&) = delete;
    ScopedMessageHook& operator=(const ScopedMessageHook&) = delete;

private:
    MessageHook* previous_;
    MessageHook hook_;
};

void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon);
// Enter answers No unless defaultYes; Escape always answers No.
bool AskYesNoBox(QWidget* parent, const QString& question, bool defaultYes = false);
// The question box itself, not shown (tests read its buttons).
std::unique_ptr<QMessageBox> MakeYesNoBox(QWidget* parent, const QString& question, bool defaultYes);
// Yes, No and Cancel; a test hook answers yes or no.
YesNoCancel AskYesNoCancelBox(QWidget* parent, const QString& question);
// One line of text (a bib); nothing when cancelled.
std::optional<QString> AskTextBox(QWidget* parent, const QString& prompt);


}  // namespace lv
