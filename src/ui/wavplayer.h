#pragma once

#include "tasks/soundplayer.h"

#include <QObject>

class QSoundEffect;

// The engine's sound service: plays a WAV file asynchronously with QSoundEffect. A missing
// file, a file that is not a WAV or a machine without an audio device stays silent: the
// engine's work never waits for or fails on a sound.
class WavPlayer : public QObject, public SoundPlayer
{
    Q_OBJECT

public:
    explicit WavPlayer(QObject *parent = nullptr);
    ~WavPlayer() override;

    void play(const QString &wavFile) override;
    // The file last asked for, and how many plays were asked (for the curious and the tests).
    QString lastFile() const { return m_lastFile; }
    int playsAsked() const { return m_playsAsked; }

private:
    QSoundEffect *m_effect = nullptr;
    QString m_lastFile;
    int m_playsAsked = 0;
    bool m_playWhenReady = false;
};
