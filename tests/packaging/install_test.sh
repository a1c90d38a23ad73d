#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the build into a temporary DESTDIR under PREFIX and checks what lands there:
# exactly the expected files, all inside DESTDIR and PREFIX, and valid for the desktop's tools.
# Usage: install_test.sh BUILD_DIR PREFIX APP_ID [MIDI_MODULE]
# MIDI_MODULE, when the build has the executable, is the path by which it loads its MIDI
# module, relative to its own folder.
set -euo pipefail
build=$1 prefix=$2 app_id=$3 midi_module=${4:-}
here=$(dirname "$0")

destdir=$(mktemp -d)
trap 'rm -rf "$destdir"' EXIT
DESTDIR=$destdir cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(
    "$prefix/share/applications/$app_id.desktop"
    "$prefix/share/icons/hicolor/64x64/apps/$app_id.png"
    "$prefix/share/metainfo/$app_id.metainfo.xml"
)
if [[ -n $midi_module ]]; then
    expected+=("$prefix/bin/Sorabune" "$(realpath -m "$prefix/bin/$midi_module")")
fi
installed=$(cd "$destdir" && find . -type f -printf '/%P\n' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [[ $installed != "$wanted" ]]; then
    echo "FAIL: installed files differ from the expected ones"
    diff <(echo "$wanted") <(echo "$installed") || true
    exit 1
fi

"$here/check_installed.sh" "$destdir" "$prefix" "$app_id"
