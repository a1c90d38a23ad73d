#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""MIDI files for the Python tests (the C++ ones have midi_file_builder.h).

    from midi_song import write_song     # with tests/support on sys.path
    song = write_song(os.path.join(folder, "alarm song.mid"))
"""


def _variable_length(value):
    groups = [value & 0x7F]
    while value > 0x7F:
        value >>= 7
        groups.insert(0, (value & 0x7F) | 0x80)
    return bytes(groups)


def write_song(path, seconds=30):
    """A MIDI file of organ chords that sound without a break for `seconds`."""
    events = bytearray(b"\x00\xc0\x13")  # church organ
    for beat in range(seconds * 2):  # 120 beats a minute, 480 ticks a beat
        note = 60 + (beat % 4) * 2
        events += b"\x00" + bytes((0x90, note, 100)) + _variable_length(480) + bytes((0x80, note, 0))
    events += b"\x00\xff\x2f\x00"
    with open(path, "wb") as song:
        song.write(b"MThd" + (6).to_bytes(4, "big") + (0).to_bytes(2, "big") + (1).to_bytes(2, "big")
                   + (480).to_bytes(2, "big") + b"MTrk" + len(events).to_bytes(4, "big") + bytes(events))
    return path
