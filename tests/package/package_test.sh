#!/usr/bin/env bash
# Builds the Debian package and checks it as a distribution would: control
# fields, contents, stripped programs that run, lintian, and the desktop
# entry, AppStream record and manual pages it ships.
# Usage: tests/package/package_test.sh [JOBS]
set -euo pipefail
cd "$(dirname "$0")/../.."
fail() { echo "package test: $*" >&2; exit 1; }
deb=$(scripts/package "${1:-2}")
[ "$(basename "$deb")" = murvik_0.01-1_amd64.deb ] || fail "unexpected name $deb"
dpkg-deb -I "$deb"
for f in Section:utils Priority:optional Maintainer:.+@ Depends:.*libqt6widgets6 Depends:.*qt6-qpa-plugins; do
  dpkg-deb -f "$deb" "${f%%:*}" | grep -Eq "${f#*:}" || fail "control field ${f%%:*} lacks ${f#*:}"
done
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >build-package/contents
root=build-package/unpacked && doc=usr/share/doc/murvik && id=io.github.murvik.murvik
for f in usr/bin/murvik usr/bin/murvik-chat $doc/copyright $doc/changelog.Debian.gz $doc/examples/sample.rep \
  usr/share/man/man1/murvik.1.gz usr/share/man/man1/murvik-chat.1.gz usr/share/applications/$id.desktop \
  usr/share/metainfo/$id.metainfo.xml usr/share/icons/hicolor/scalable/apps/$id.svg; do
  grep -qx "$f" build-package/contents || fail "missing $f"
done
rm -rf $root && dpkg-deb -x "$deb" $root
file $root/usr/bin/* | grep -v ', stripped' && fail "a program is not stripped"
file $root/usr/bin/murvik-chat | grep -q 'dynamically linked' || fail "murvik-chat is not linked dynamically"
[ "$($root/usr/bin/murvik-chat $root/$doc/examples/sample.rep | wc -l)" -gt 0 ] || fail "no chat from the sample"
for o in $($root/usr/bin/murvik-chat --help | grep -Eo -- '--[a-z]+' | sort -u); do
  zgrep -q -- "${o//-/\\\\-}" $root/usr/share/man/man1/murvik-chat.1.gz || fail "murvik-chat(1) lacks $o"
done
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$deb"
appstreamcli validate --no-net --pedantic $root/usr/share/metainfo/$id.metainfo.xml
desktop-file-validate $root/usr/share/applications/$id.desktop
for page in $root/usr/share/man/man1/*.1.gz; do
  [ -z "$(man --warnings -l "$page" 2>&1 >/dev/null)" ] || fail "$page renders with warnings"
done
echo "package test: $deb passed"
