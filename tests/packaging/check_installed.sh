#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Checks an installed Sorabune: the desktop entry, the icon and the metainfo under ROOT (a DESTDIR,
# or / after installing the package) and PREFIX, their validators, and that they name each other.
# Usage: check_installed.sh ROOT PREFIX APP_ID
set -euo pipefail
root=${1%/} prefix=$2 app_id=$3
share=$root$prefix/share
desktop=$share/applications/$app_id.desktop
icon=$share/icons/hicolor/64x64/apps/$app_id.png
metainfo=$share/metainfo/$app_id.metainfo.xml

fail() {
    echo "FAIL: $*"
    exit 1
}

for file in "$desktop" "$icon" "$metainfo"; do
    [[ -s $file ]] || fail "missing: $file"
done
[[ $(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n') == 89504e470d0a1a0a ]] || fail "not a PNG: $icon"

# Debian 12's validator knows the desktop entry format up to 1.4; SingleMainWindow came with 1.5.
# That one message is expected, any other fails.
echo "== desktop-file-validate $desktop"
report=$(desktop-file-validate "$desktop" 2>&1) || true
echo "${report:-(no messages)}"
unexpected=$(grep -v 'key "SingleMainWindow" in group "Desktop Entry", but keys extending the format should start with "X-"' <<<"$report" || true)
[[ -z $unexpected ]] || fail "desktop-file-validate: $unexpected"
[[ -z $report ]] || echo "(expected: this validator predates SingleMainWindow)"

echo "== appstreamcli validate --no-net --strict --pedantic $metainfo"
appstreamcli validate --no-net --strict --pedantic --no-color "$metainfo" || fail "appstreamcli validate"

# What no validator checks: the three files must name each other and the executable.
grep -qx "Icon=$app_id" "$desktop" || fail "the desktop entry does not name the icon $app_id"
grep -qx "Exec=Sorabune" "$desktop" || fail "the desktop entry does not start Sorabune"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" \
    || fail "the metainfo does not launch $app_id.desktop"
grep -q "<id>$app_id</id>" "$metainfo" || fail "the metainfo's id is not $app_id"
echo "PASS: $root$prefix"
