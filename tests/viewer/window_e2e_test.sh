#!/usr/bin/env bash
# The built murvik in a real X server, as a person meets it: started from a
# command line, driven by keys (xdotool), its text copied to the clipboard
# (xclip). Run it under scripts/with-xvfb.
# Usage: window_e2e_test.sh MURVIK MURVIK_GENREPLAY MURVIK_CHAT ARTIFACT_DIR
set -euo pipefail
murvik=$1 genreplay=$2 chat=$3 artifacts=$4
work="$(mktemp -d)"
trap 'kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Presses KEYS and prints what they copied; xclip serves a marker until
# murvik takes the clipboard over.
copy() {
  printf marker | xclip -i -selection clipboard >/dev/null 2>&1
  xdotool key --clearmodifiers "$@"
  for _ in $(seq 100); do [ "$(xclip -o -selection clipboard)" = marker ] || break; sleep 0.05; done
  xclip -o -selection clipboard
}

# A path with blanks and a word Qt would take for its own option, quoted, and
# split into words as a shell would.
mkdir -p "$work/game logs" "$artifacts"
replay="$work/game logs/final -reverse round.rep"
"$genreplay" sample -o "$replay"
read -r -a words <<<"\"$replay\""
"$murvik" "${words[@]}" &
pid=$!
id="$(timeout 10 xdotool search --sync --onlyvisible --name '^Murvik v0\.1$' | head -n1)" || fail "no window"
xdotool windowfocus --sync "$id"
# The focus starts in the path box; Shift+Tab reaches the output box.
shown="$(copy shift+Tab ctrl+a ctrl+c)"
[ "$shown" = "$("$chat" "$replay" | tr -d '\r')" ] || fail "shown text differs from murvik-chat's: $shown"
[ "$(xclip -o -selection primary)" = "$shown" ] || fail "Ctrl+A did not put the chat in the primary selection"
import -window "$id" "$artifacts/e2e.png"

# A right click on the chat opens its menu (screenshot), each entry with its
# key; its Find... (access key F) opens the find box, which finds a word typed
# in lower case; after Esc the match stays selected for Ctrl+C.
eval "$(xdotool getwindowgeometry --shell "$id")"
xdotool mousemove --window "$id" $((WIDTH / 2)) $((HEIGHT / 3)) click 3
menu=""
for _ in $(seq 100); do
  menu="$(xdotool search --onlyvisible --class murvik | grep -vx "$id" | head -n1)" && [ -n "$menu" ] && break
  sleep 0.05
done
[ -n "$menu" ] || fail "a right click on the chat opened no menu"
import -window root "$artifacts/context-menu.png"
word="$(awk 'NR == 3 { print $1 }' <<<"$shown")"
xdotool key --clearmodifiers f
sleep 0.5  # the find box takes the keyboard once the menu has closed; slower under the sanitizers
xdotool type --delay 20 "${word,,}"
[ "$(copy Escape ctrl+c)" = "$word" ] || fail "the menu's Find... did not find $word"
