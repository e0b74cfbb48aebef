#include "gui/SoundPlayer.h"

#include <QFile>
#include <QUrl>

#include "gui/ToneWav.h"

#ifdef LUMIVANE_HAVE_MULTIMEDIA
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#endif

namespace lv {

SoundPlayer::SoundPlayer(bool enabled, QObject* parent) : QObject(parent), enabled_(enabled) {}

SoundPlayer::~SoundPlayer() = default;

bool SoundPlayer::Ready() {
#ifdef LUMIVANE_HAVE_MULTIMEDIA
    if (!probed_) {
        probed_ = true;
        if (QMediaDevices::audioOutputs().isEmpty()) {
            enabled_ = false;
        } else {
            folder_ = std::make_unique<QTemporaryDir>();
            if (!folder_->isValid()) enabled_ = false;
        }
    }
    return enabled_;
#else
    return false;
#endif
}

void SoundPlayer::Play(Sound sound) {
    ++requests_;
    last_ = sound;
    if (!enabled_ || !Ready()) return;
#ifdef LUMIVANE_HAVE_MULTIMEDIA
    QSoundEffect*& effect = effects_[sound];
    if (!effect) {
        const QString path = folder_->filePath(QString("sound%1.wav").arg(SoundNumber(sound)));
        std::vector<uint8_t> wav = MakeToneWav(NotesOfSound(sound));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(reinterpret_cast<const char*>(wav.data()), static_cast<qint64>(wav.size())) !=
                static_cast<qint64>(wav.size())) {
            effects_.erase(sound);
            return;
        }
        file.close();
        effect = new QSoundEffect(this);
        effect->setSource(QUrl::fromLocalFile(path));
        effect->setVolume(0.8f);
    }
    effect->play();
#endif
}

}  // namespace lv
