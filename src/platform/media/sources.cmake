# SPDX-License-Identifier: GPL-3.0-or-later
# The media libraries' sources, in one place for the g++ build and the clang fuzz build.
# The command interpreter and the file checks: the C++ library, and Qt Core for the log only.
set(SORABUNE_MEDIA_SOURCES
    media_command_interpreter.cpp
    media_command_interpreter.h
    midi_device.h
)
list(TRANSFORM SORABUNE_MEDIA_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)

# What the interpreter and the FluidSynth module share: the file checks and the log category.
set(SORABUNE_MIDI_FILE_SOURCES
    file_stamp.h
    media_error.h
    media_log.cpp
    media_log.h
    midi_file.cpp
    midi_file.h
)
list(TRANSFORM SORABUNE_MIDI_FILE_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)

# The MIDI device over FluidSynth, loaded as a module by the program.
set(SORABUNE_FLUIDSYNTH_SOURCES
    fluid_midi_device.cpp
    fluid_midi_device.h
    midi_synth.cpp
    midi_synth.h
    reduced_soundfont.cpp
    reduced_soundfont.h
    soundfont_layout.cpp
    soundfont_layout.h
)
list(TRANSFORM SORABUNE_FLUIDSYNTH_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/fluidsynth/)
