#pragma once

#include <QString>

// Plays the program's notification sounds.
class ClsSnd {
public:
    // Starts playing a wave file and returns at once; a file that cannot be played (missing, not a wave
    // file, no sound player on the system) gives the desktop's default beep instead.
    void PlayWav(const QString& file);
};
