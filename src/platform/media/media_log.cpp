// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/media/media_log.h"

#include "platform/log.h"

namespace sorabune {

Q_LOGGING_CATEGORY(lcMedia, kMediaLog, QtWarningMsg)

const char *reason(MediaError error)
{
    switch (error) {
    case MediaError::Success:
        return "done";
    case MediaError::AliasNotOpen:
        return "nothing is open under bgm";
    case MediaError::FileNotReadable:
        return "the file is gone or cannot be read";
    case MediaError::NotRegularFile:
        return "it is not a file but a folder, FIFO, device or socket";
    case MediaError::NotMidiFile:
        return "it is not a MIDI file that can be played";
    case MediaError::NoSoundfont:
        return "no General MIDI soundfont could be loaded";
    case MediaError::NoAudioOutput:
        return "no sound output: neither PulseAudio nor ALSA took the sound in time";
    case MediaError::DeviceError:
        return "the MIDI player module is missing or could not start the file";
    }
    return "unknown";
}

} // namespace sorabune
