#pragma once
// Plays the program's sounds: tones written at run time into a temporary folder,
// played with QSoundEffect. Without Qt Multimedia or an audio output it stays silent.
#include <QObject>
#include <QTemporaryDir>

#include <map>
#include <memory>

#include "base/Sounds.h"

class QSoundEffect;

namespace lv {

class SoundPlayer : public QObject {
    Q_OBJECT
public:
    explicit SoundPlayer(bool enabled, QObject* parent = nullptr);
    ~SoundPlayer() override;

    void Play(Sound sound);
    // The sounds asked for so far (tests count them without an audio device).
    int PlayRequests() const { return requests_; }
    Sound LastRequested() const { return last_; }

private:
    bool Ready();

    bool enabled_;
    bool probed_ = false;
    int requests_ = 0;
    Sound last_ = Sound::Done;
    std::unique_ptr<QTemporaryDir> folder_;
    std::map<Sound, QSoundEffect*> effects_;
};

}  // namespace lv
