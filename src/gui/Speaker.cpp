#include "gui/Speaker.h"

#ifdef LUMIVANE_HAVE_TEXTTOSPEECH
#include <QTextToSpeech>
#endif

namespace lv {

Speaker::Speaker(bool enabled, QObject* parent) : QObject(parent) {
#ifdef LUMIVANE_HAVE_TEXTTOSPEECH
    if (enabled && !QTextToSpeech::availableEngines().isEmpty()) {
        auto* voice = new QTextToSpeech(this);
        if (voice->state() != QTextToSpeech::Error) {
            voice_ = voice;
        } else {
            delete voice;
        }
    }
#else
    (void)enabled;
#endif
}

void Speaker::Say(const QString& text) {
    last_ = text;
#ifdef LUMIVANE_HAVE_TEXTTOSPEECH
    if (voice_ && !text.isEmpty()) voice_->say(text);
#endif
}

}  // namespace lv
