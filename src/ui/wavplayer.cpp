#include "ui/wavplayer.h"

#include <QFileInfo>
#include <QSoundEffect>
#include <QUrl>

WavPlayer::WavPlayer(QObject *parent)
    : QObject(parent)
{}

WavPlayer::~WavPlayer() = default;

void WavPlayer::play(const QString &wavFile)
{
    ++m_playsAsked;
    m_lastFile = wavFile;
    if (!QFileInfo(wavFile).isFile())
        return;
    // One effect at a time: a new sound replaces the one still playing, as the system's
    // asynchronous player does. The effect is made on first use so that a program that never
    // plays a sound never opens the audio device.
    if (!m_effect) {
        m_effect = new QSoundEffect(this);
        // A file loads asynchronously: it plays once it is ready; an error is silence.
        connect(m_effect, &QSoundEffect::statusChanged, this, [this] {
            if (m_playWhenReady && m_effect->status() == QSoundEffect::Ready) {
                m_playWhenReady = false;
                m_effect->play();
            } else if (m_effect->status() == QSoundEffect::Error) {
                m_playWhenReady = false;
            }
        });
    }
    m_effect->stop();
    const QUrl url = QUrl::fromLocalFile(QFileInfo(wavFile).absoluteFilePath());
    if (m_effect->source() == url && m_effect->status() == QSoundEffect::Ready) {
        m_effect->play();
        return;
    }
    m_playWhenReady = true;
    m_effect->setSource(url);
}
