#pragma once
// The voice that announces runners: Qt TextToSpeech when the build has it and an
// engine exists on this computer; otherwise there is no voice and nothing is said.
#include <QObject>
#include <QString>

class QTextToSpeech;

namespace lv {

class Speaker : public QObject {
    Q_OBJECT
public:
    explicit Speaker(bool enabled, QObject* parent = nullptr);

    bool Available() const { return voice_ != nullptr; }
    // Spoken asynchronously; nothing without a voice.
    void Say(const QString& text);
    QString LastSaid() const { return last_; }

private:
    QTextToSpeech* voice_ = nullptr;
    QString last_;
};

}  // namespace lv
