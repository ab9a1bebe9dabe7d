#pragma once

#include <QString>

// Plays a WAV file without waiting for it. The window installs one; without one the engine is
// silent. A missing file or audio device is silence, not an error.
class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    virtual void play(const QString &wavFile) = 0;
};
