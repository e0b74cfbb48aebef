#include "gui/MessageBoxes.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace lv {

namespace {
MessageHook* g_hook = nullptr;
constexpr const char* kTitle = "Lumivane";

QMessageBox::Icon ToQtIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information: return QMessageBox::Information;
        case MessageIcon::Warning: return QMessageBox::Warning;
        case MessageIcon::Error: return QMessageBox::Critical;
        case MessageIcon::Question: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}
}  // namespace

ScopedMessageHook::ScopedMessageHook(MessageHook hook) : previous_(g_hook), hook_(std::move(hook)) { g_hook = &hook_; }

ScopedMessageHook::~ScopedMessageHook() { g_hook = previous_; }

void ShowMessageBox(QWidget* parent, const QString& text, MessageIcon icon) {
    if (g_hook && g_hook->message) {
        g_hook->message(text, icon);
        return;
    }
    QMessageBox box(ToQtIcon(icon), kTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

std::unique_ptr<QMessageBox> MakeYesNoBox(QWidget* parent, const QString& question, bool defaultYes) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Question, kTitle, question,
                                             QMessageBox::Yes | QMessageBox::No, parent);
    box->setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    box->setEscapeButton(QMessageBox::No);
    return box;
}

bool AskYesNoBox(QWidget* parent, const QString& question, bool defaultYes) {
    if (g_hook && g_hook->questionWithDefault) return g_hook->questionWithDefault(question, defaultYes);
    if (g_hook && g_hook->question) return g_hook->question(question);
    std::unique_ptr<QMessageBox> box = MakeYesNoBox(parent, question, defaultYes);
    return box->exec() == QMessageBox::Yes;
}

YesNoCancel AskYesNoCancelBox(QWidget* parent, const QString& question) {
    if (g_hook && g_hook->question) return g_hook->question(question) ? YesNoCancel::Yes : YesNoCancel::No;
    QMessageBox box(QMessageBox::Question, kTitle, question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    parent);
    const int answer = box.exec();
    if (answer == QMessageBox::Yes) return YesNoCancel::Yes;
    if (answer == QMessageBox::No) return YesNoCancel::No;
    return YesNoCancel::Cancel;
}

}  // namespace lv

namespace lv {

std::optional<QString> AskTextBox(QWidget* parent, const QString& prompt) {
    if (g_hook && g_hook->text) return g_hook->text(prompt);
    bool ok = false;
    const QString text = QInputDialog::getText(parent, kTitle, prompt, QLineEdit::Normal, QString(), &ok);
    if (!ok) return std::nullopt;
    return text;
}

}  // namespace lv
