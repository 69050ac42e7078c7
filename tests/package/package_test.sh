#!/usr/bin/env bash
# Builds the two Debian packages and checks them as a distribution would:
# control fields, Depends (murvik-chat's only the C and C++ runtimes),
# contents, stripped programs that run, murvik-chat linking no Qt, the
# version alike everywhere, lintian, and the desktop entry, MIME type (its
# glob the type the entry opens), AppStream record and manual pages they ship.
# Usage: tests/package/package_test.sh [JOBS]
set -euo pipefail
cd "$(dirname "$0")/../.."
fail() { echo "package test: $*" >&2; exit 1; }
mapfile -t debs < <(scripts/package "${1:-2}" | grep '\.deb$')
chat=${debs[0]} window=${debs[1]} version=$(dpkg-deb -f "${debs[0]}" Version)
field() { dpkg-deb -f "$1" "${2%%:*}" | grep -Eq "${2#*:}" || fail "${1##*/}: ${2%%:*} lacks ${2#*:}"; }
for f in Section:utils Priority:optional Maintainer:.+@ Source:^murvik$ Version:^$version$; do
  field "$chat" $f && field "$window" $f
done
for f in Depends:libqt6widgets6 Depends:qt6-qpa-plugins Recommends:^murvik-chat$; do field "$window" $f; done
dpkg-deb -f "$chat" Depends | tr , '\n' | sed 's/ *(.*//; s/ //g' | grep -vxE 'libc6|libgcc-s1|libstdc\+\+6' &&
  fail "murvik-chat depends on more than the C and C++ runtimes"
doc=usr/share/doc man=usr/share/man/man1 icons=usr/share/icons/hicolor id=io.github.murvik.murvik
for deb in "${debs[@]}"; do dpkg-deb -I "$deb"; done
contents() { dpkg-deb -c "$1" | awk '$1 !~ /^d/ {sub(/^\.\//, "", $6); print $6}' | sort | xargs; }
[ "$(contents "$chat")" = "usr/bin/murvik-chat $doc/murvik-chat/changelog.Debian.gz $doc/murvik-chat/copyright \
$doc/murvik-chat/examples/sample.rep $man/murvik-chat.1.gz" ] || fail "murvik-chat's contents"
[ "$(contents "$window")" = "usr/bin/murvik usr/share/applications/$id.desktop $doc/murvik/changelog.Debian.gz \
$doc/murvik/copyright $icons/16x16/apps/$id.png $icons/48x48/apps/$id.png $icons/scalable/apps/$id.svg \
$man/murvik.1.gz usr/share/metainfo/$id.metainfo.xml usr/share/mime/packages/murvik.xml" ] || fail "murvik's contents"
root=build-package/unpacked && rm -rf $root && for deb in "${debs[@]}"; do dpkg-deb -x "$deb" $root; done
file $root/usr/bin/* | grep -v ', stripped' && fail "a program is not stripped"
needed=$(readelf -d $root/usr/bin/murvik-chat | grep -Po 'NEEDED.*\[\K[^]]+' | xargs)
[ "$needed" = "libstdc++.so.6 libgcc_s.so.1 libc.so.6" ] || fail "murvik-chat links $needed"
[ "$($root/usr/bin/murvik-chat $root/$doc/murvik-chat/examples/sample.rep | wc -l)" -gt 0 ] || fail "no chat from the sample"
[ "$($root/usr/bin/murvik-chat --version | head -n1)" = "murvik-chat (Murvik) ${version%-*}" ] || fail "--version"
for o in $($root/usr/bin/murvik-chat --help | grep -Eo -- '--[a-z]+' | sort -u); do
  zgrep -q -- "${o//-/\\\\-}" $root/$man/murvik-chat.1.gz || fail "murvik-chat(1) lacks $o"
done
for page in $root/$man/*.1.gz; do
  zcat "$page" | head -n1 | grep -qF "\"Murvik ${version%-*}\"" || fail "$page names another version"
  [ -z "$(man --warnings -l "$page" 2>&1 >/dev/null)" ] || fail "$page renders with warnings"
done
# The MIME package's glob gives *.rep the type the desktop entry opens (read
# as the desktop reads it), so that a replay opens with Murvik.
update-mime-database $root/usr/share/mime 2>/dev/null
type=$(sed -n 's/^MimeType=\(.*\);$/\1/p' $root/usr/share/applications/$id.desktop)
grep -q "^[0-9]*:$type:\*\.rep\$" $root/usr/share/mime/globs2 || fail "*.rep is not $type, which the desktop entry opens"
lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "${debs[@]}"
appstreamcli validate --no-net --pedantic $root/usr/share/metainfo/$id.metainfo.xml
desktop-file-validate $root/usr/share/applications/$id.desktop
echo "package test: ${debs[*]} passed"
