# The media library's sources, in one list for the g++ build and the clang fuzz build.
set(SORABUNE_MEDIA_SOURCES
    audio_output.h
    fluid_audio_output.cpp
    fluid_audio_output.h
    fluid_handles.h
    fluid_midi_device.cpp
    fluid_midi_device.h
    media_command.cpp
    media_command.h
    media_command_interpreter.cpp
    media_command_interpreter.h
    media_error.h
    midi_device.h
    midi_file_format.cpp
    midi_file_format.h
    midi_file_reader.cpp
    midi_file_reader.h
    midi_synth.cpp
    midi_synth.h
    peak_limiter.cpp
    peak_limiter.h
    serial_worker.cpp
    serial_worker.h
)
list(TRANSFORM SORABUNE_MEDIA_SOURCES PREPEND ${CMAKE_CURRENT_LIST_DIR}/)
