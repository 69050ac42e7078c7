#!/usr/bin/env bash
# End-to-end test of the built murvik in a real X server, driven the way a
# person would: keys and clicks through xdotool, text read back through the
# clipboard, screenshots saved as artifacts. Run it under scripts/with-xvfb.
# Usage: window_e2e_test.sh MURVIK MURVIK_GENREPLAY MURVIK_CHAT ARTIFACT_DIR
set -euo pipefail
murvik=$1 genreplay=$2 chat=$3 artifacts=$4
[ -n "${DISPLAY:-}" ] || { echo "FAIL: no DISPLAY; run under scripts/with-xvfb" >&2; exit 1; }
mkdir -p "$artifacts"

work="$(mktemp -d)"
pid=""
cleanup() {
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -s "$work/log" ] && sed 's/^/murvik: /' "$work/log" >&2; exit 1; }
step() { echo "-- $*"; }
px() { awk -v t="$1" -v d="$dpi" 'BEGIN { printf "%d", t * d / 1440 + 0.5 }'; }      # twips -> pixels
twips() { awk -v p="$1" -v d="$dpi" 'BEGIN { printf "%d", p * 1440 / d + 0.5 }'; }  # pixels -> twips

# Copies the output box's whole text and prints it; the click puts the focus
# back into the box first. A marker in the clipboard tells when the copy has
# arrived (xclip serves the marker until murvik takes the clipboard over).
read_output() {
  local marker="(nothing copied yet)" text=""
  printf '%s' "$marker" | xclip -i -selection clipboard >/dev/null 2>&1
  xdotool mousemove --window "$id" 40 40 click 1
  xdotool key --clearmodifiers ctrl+a ctrl+c
  for _ in $(seq 50); do
    text="$(xclip -o -selection clipboard 2>/dev/null || true)"
    if [ -n "$text" ] && [ "$text" != "$marker" ]; then break; fi
    sleep 0.1
  done
  printf '%s' "$text"
}
shot() { import -window "$id" "$artifacts/$1.png"; }

step "a replay whose path has blanks, and a word Qt would read as its own option"
dir="$work/game logs"
mkdir -p "$dir"
replay="$dir/final -reverse round.rep"
"$genreplay" sample -o "$replay"
expected="$("$chat" "$replay" | tr -d '\r')"
[ -n "$expected" ] || fail "the sample replay has no chat"

step "start murvik with the path in double quotes, split into words as a shell would"
read -r -a words <<<"\"$replay\""
[ "${#words[@]}" -gt 2 ] || fail "the command line should have several words"
QT_LOGGING_RULES="murvik.viewer.info=true" "$murvik" "${words[@]}" 2>"$work/log" &
pid=$!
id="$(timeout 10 xdotool search --sync --onlyvisible --name '^Murvik v0\.1$' | head -n1)" ||
  fail "no window with the caption 'Murvik v0.1'"
xdotool windowfocus --sync "$id"
shot e2e-1-started

step "inner size is the design size (9270 x 7005 twips) at the program's scale"
dpi="$(sed -n 's/.*scale: \([0-9]*\) dpi.*/\1/p' "$work/log" | head -n1)"
[ -n "$dpi" ] || fail "murvik did not log its scale"
[ "$dpi" -ge 96 ] || fail "scale of $dpi dpi is below the screen's 96"
eval "$(xdotool getwindowgeometry --shell "$id")"
want="$(px 9270) x $(px 7005)"
echo "   scale $dpi dpi ($(awk -v d="$dpi" 'BEGIN { printf "%.2f", 1440 / d }') twips a pixel); inner $WIDTH x $HEIGHT px"
[ "$WIDTH x $HEIGHT" = "$want" ] || fail "inner size $WIDTH x $HEIGHT, expected $want"

step "the chat is shown, read back through the clipboard"
shown="$(read_output)"
[ "$shown" = "$expected" ] || fail "shown text differs from murvik-chat's:
--- shown
$shown
--- expected
$expected"

step "Alt+L turns it to lower case"
xdotool key --clearmodifiers alt+l
sleep 0.3
lower="$(read_output)"
[ "$lower" = "$(tr 'A-Z' 'a-z' <<<"$expected")" ] || fail "after Alt+L: $lower"
shot e2e-2-lowercase

step "resize: the bottom row follows, and Go still runs from its new place"
xdotool windowsize --sync "$id" 1000 700
eval "$(xdotool getwindowgeometry --shell "$id")"
[ "$WIDTH x $HEIGHT" = "1000 x 700" ] || fail "resized to $WIDTH x $HEIGHT"
inner_w="$(twips "$WIDTH")" inner_h="$(twips "$HEIGHT")"
row_y="$(px $((inner_h - 500 + 140)))"
xdotool mousemove --window "$id" 20 "$row_y" click 1
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 5 "$work/missing.rep"
xdotool mousemove --window "$id" "$(px $((inner_w - 905 + 427)))" "$(px $((inner_h - 500 + 187)))" click 1
sleep 0.3
shot e2e-3-resized
after="$(read_output)"
# The box is still checked, so the failure text is in lower case too.
[ "$after" = "failed to open replay" ] || fail "after Go on a missing file in the resized window: $after"

echo "PASS: murvik end to end (scale $dpi dpi); screenshots in $artifacts"
