#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package as a user gets it: builds a Release, makes the .deb with CPack, installs it with
# apt-get, starts the installed /usr/bin/Sorabune under a private Xvfb, checks its menu entry, closes
# it, then purges the package. Prints the package's size, its Depends and how long the install took.
#
# THIS CHANGES THE MACHINE: it installs and purges a system package as root, and apt-get leaves behind
# whatever it pulled in for the package. It is meant for a machine that is thrown away afterwards,
# such as CI; on a desktop, use the build and `cmake --install` instead.
set -euo pipefail
cd "$(dirname "$0")/.."

if ((EUID != 0)); then
    echo "package-test.sh: must run as root on a throw-away machine (see the top of this script)" >&2
    exit 2
fi
if dpkg-query -W -f='${Status}' sorabune 2>/dev/null | grep -q 'ok installed'; then
    echo "package-test.sh: sorabune is already installed here; leaving it alone" >&2
    exit 2
fi

scripts/setup.sh

build=build/package
milliseconds() { echo $(($(date +%s%N) / 1000000)); }
seconds_since() {
    local ms=$(($(milliseconds) - $1))
    printf '%d.%d' $((ms / 1000)) $((ms % 1000 / 100))
}

echo "== build (Release) and cpack"
started=$(milliseconds)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSORABUNE_WARNINGS_AS_ERRORS=ON \
    -DSORABUNE_BUILD_TESTS=OFF
cmake --build "$build"
rm -f "$build"/sorabune_*.deb
(cd "$build" && cpack -G DEB)
build_seconds=$(seconds_since "$started")
deb=$(echo "$build"/sorabune_*.deb)
[[ -f $deb ]] || { echo "FAIL: cpack made no package" >&2; exit 1; }

work=$(mktemp -d)
installed=0
xvfb_pid=
app_pid=
cleanup() {
    [[ -n $app_pid ]] && kill "$app_pid" 2>/dev/null || true
    [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
    ((installed)) && DEBIAN_FRONTEND=noninteractive apt-get purge -y sorabune >/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

echo "== apt-get install ./$(basename "$deb")"
apt-get update >/dev/null
started=$(milliseconds)
(cd "$build" && DEBIAN_FRONTEND=noninteractive apt-get install -y "./$(basename "$deb")") | tee "$work/apt.log"
installed=1
install_seconds=$(seconds_since "$started")

echo "== installed files"
[[ $(command -v Sorabune) == /usr/bin/Sorabune ]] || fail "Sorabune is not /usr/bin/Sorabune on the PATH"
missing_libraries=$(ldd /usr/bin/Sorabune | grep 'not found' || true)
[[ -z $missing_libraries ]] || fail "unresolved libraries: $missing_libraries"
desktop=$(dpkg -L sorabune | grep '^/usr/share/applications/.*\.desktop$')
app_id=$(basename "$desktop" .desktop)
tests/packaging/check_installed.sh / /usr "$app_id"

echo "== the installed program under a private Xvfb"
mkfifo "$work/displayfd"
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/displayfd" 2>"$work/xvfb.log" &
xvfb_pid=$!
read -r -t 30 display_number <"$work/displayfd" || fail "Xvfb did not start"
export DISPLAY=:$display_number
mkdir -m 700 "$work/runtime" "$work/home"
# A clean session: no inherited Qt platform, no session bus (nothing may autolaunch one).
env -i PATH=/usr/bin:/bin HOME="$work/home" LANG=C.UTF-8 DISPLAY="$DISPLAY" XDG_RUNTIME_DIR="$work/runtime" \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-session-bus" \
    /usr/bin/Sorabune >"$work/app.log" 2>&1 &
app_pid=$!
window=$(timeout 30 xdotool search --sync --all --pid "$app_pid" --name '^Sorabune$' | head -n 1) \
    || fail "no window named Sorabune within 30 s; its output: $(cat "$work/app.log")"
geometry=$(xdotool getwindowgeometry "$window" | sed -n 's/ *Geometry: //p')
wm_class=$(xprop -id "$window" WM_CLASS | sed 's/.*= //')
# The menu entry finds the running window by its class.
startup_class=$(sed -n 's/^StartupWMClass=//p' "$desktop")
[[ -z $startup_class || $wm_class == *"\"$startup_class\""* ]] \
    || fail "StartupWMClass=$startup_class does not match the window's WM_CLASS $wm_class"

# The close button sits at x 112-153, y 136-161 of the fixed 154 x 165 client area.
xdotool mousemove --window "$window" 132 148 click 1
timeout 10 tail --pid="$app_pid" -f /dev/null || fail "Sorabune did not end after its close button"
app_status=0
wait "$app_pid" || app_status=$?
app_pid=
((app_status == 0)) || fail "Sorabune ended with status $app_status; its output: $(cat "$work/app.log")"

echo "== apt-get purge sorabune"
DEBIAN_FRONTEND=noninteractive apt-get purge -y sorabune
installed=0
[[ ! -e /usr/bin/Sorabune && ! -e $desktop ]] || fail "files left after the purge"

echo "== package test passed"
echo "package:      $deb, $(stat -c %s "$deb") bytes, Installed-Size $(dpkg-deb -f "$deb" Installed-Size) KiB"
echo "depends:      $(dpkg-deb -f "$deb" Depends)"
echo "recommends:   $(dpkg-deb -f "$deb" Recommends)"
echo "install took: ${install_seconds} s ($(grep -E '^[0-9]+ upgraded' "$work/apt.log"))"
echo "build+cpack:  ${build_seconds} s"
echo "window:       $window, $geometry, WM_CLASS $wm_class"
