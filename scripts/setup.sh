#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs every Debian 12 package that building, running and testing Sorabune need.
# Idempotent: packages already present are left alone. The only place that installs anything.
set -euo pipefail

packages=(
    # build
    cmake ninja-build g++ pkg-config
    qt6-base-dev libfluidsynth-dev libcanberra-dev libsystemd-dev
    # run: the xcb and offscreen platforms, the soundfont, a Japanese font, the bell sound
    qt6-qpa-plugins timgm6mb-soundfont fonts-ipafont-gothic sound-theme-freedesktop
    # the Wayland platform, where a Wayland session offers no X
    qt6-wayland
    # Qt's own texts (the file dialog, the boxes' menu) in the user's language
    qt6-translations-l10n
    # the theme bell through the sound server (libcanberra0 alone only talks to ALSA)
    libcanberra-pulse
    # test and benchmark
    googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev
    # the format check of the per-push run (scripts/format.sh)
    clang-format
    xvfb xauth x11-utils xdotool pulseaudio pulseaudio-utils dbus dbus-daemon python3-dbusmock
    libfaketime sox valgrind
    # the other General MIDI soundfont many desktops have: the tests play both by their own paths
    fluid-soundfont-gm
    # the Wayland sessions of the end-to-end tests: a headless compositor with and without X,
    # and assistive technology's view of the window, which drives it where there is no seat
    weston xwayland at-spi2-core python3-pyatspi
    # benchmark probe: X events, synthetic input and recording from a null sink
    libxcb1-dev libxcb-xkb-dev libxcb-xtest0-dev libpulse-dev
    # packaging: validators of the desktop entry and the metainfo, dpkg-shlibdeps for cpack
    desktop-file-utils appstream dpkg-dev
)

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]} == 0)); then
    exit 0
fi

sudo=()
if ((EUID != 0)); then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
