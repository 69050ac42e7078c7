#!/usr/bin/env bash
# What a screen reader reads of the window, through AT-SPI as Orca reads it:
# the chat's text, caret and selection, and the controls' names. Run it
# under scripts/with-xvfb; it starts its own session bus.
# Usage: accessibility_test.sh MURVIK MURVIK_GENREPLAY MURVIK_CHAT
set -euo pipefail
[ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] || exec dbus-run-session -- "$0" "$@"
murvik=$1 genreplay=$2 chat=$3
work="$(mktemp -d)"
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
"$genreplay" sample -o "$work/sample.rep"
/usr/libexec/at-spi-bus-launcher --launch-immediately &
# A fresh X server now and then refuses a client that connects while
# others do (the bus launcher, the registry): start again when it did.
for attempt in 1 2 3; do
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$murvik" "$work/sample.rep" 2>"$work/murvik.err" &
  pid=$!
  for _ in $(seq 20); do kill -0 $pid 2>/dev/null && sleep 0.1; done
  kill -0 $pid 2>/dev/null && break
  grep -q "could not connect to display" "$work/murvik.err" || { cat "$work/murvik.err" >&2; exit 1; }
done
"$chat" "$work/sample.rep" | tr -d '\r' >"$work/expected"
/usr/bin/python3 - "$work/expected" <<'EOF'
import sys, time
import pyatspi

expected = open(sys.argv[1]).read().rstrip("\n")  # the sample's last message is unsent

def named(name):
    for _ in range(600):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Murvik":
                found = pyatspi.findDescendant(app, lambda a: a is not None and a.name == name)
                if found is not None:
                    return found
        time.sleep(0.05)
    apps = [app.name for app in pyatspi.Registry.getDesktop(0) if app is not None]
    sys.exit(f"FAIL: no control named {name!r}; applications: {apps}")

chat = named("Chat")
text = chat.queryText()
got = text.getText(0, -1)
if got != expected:
    sys.exit(f"FAIL: the chat reads {got!r}, not {expected!r}")
first = expected.split("\n")[0]
line = text.getTextAtOffset(2, pyatspi.TEXT_BOUNDARY_LINE_START)
if line[0] != first + "\n" or line[1:] != (0, len(first) + 1):
    sys.exit(f"FAIL: the first line reads {line!r}")
text.setSelection(0, 3, 8)
if text.getSelection(0) != (3, 8) or text.caretOffset != 8:
    sys.exit(f"FAIL: selection {text.getSelection(0)}, caret {text.caretOffset} after selecting 3 to 8")
if named("Replay path").queryText().getText(0, -1) != sys.argv[1].replace("expected", "sample.rep"):
    sys.exit("FAIL: the path box does not read the replay's path")
print("a screen reader reads the chat, its lines, caret and selection, and the path box")
EOF

# The chat's context menu (the Menu key) and the keys help (F1), as read.
read_menu_and_help() {
  /usr/bin/python3 - "$1" <<'EOF'
import sys, time
import pyatspi

def find(role, check):
    for _ in range(200):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "Murvik":
                found = pyatspi.findAllDescendants(app, lambda a: a is not None and a.getRole() == role and a.name)
                if check([a.name for a in found]):
                    return found
        time.sleep(0.05)
    sys.exit(f"FAIL: the {sys.argv[1]} is not read as it should be")

if sys.argv[1] == "menu":
    items = find(pyatspi.ROLE_MENU_ITEM, lambda names: "Find..." in names)
    names = [i.name for i in items]
    want = ["Copy", "Select All", "Find...", "Open...", "Reload", "Next replay", "Previous replay",
            "Keyboard shortcuts", "About Murvik"]
    if names[: len(want)] != want:
        sys.exit(f"FAIL: the context menu reads {names}")
    keys = {i.name: i.queryAction().getKeyBinding(0) for i in items}
    if "F5" not in keys["Reload"] or "F1" not in keys["Keyboard shortcuts"]:
        sys.exit(f"FAIL: the context menu's keys read {keys}")
    print("a screen reader reads the context menu's entries and their keys")
else:
    cells = find(pyatspi.ROLE_TABLE_CELL, lambda names: "F1" in names)
    names = [c.name for c in cells]
    if "Ctrl+F" not in names or "Find text in the chat" not in names:
        sys.exit(f"FAIL: the keys help reads {names}")
    print("a screen reader reads the keys help")
EOF
}
id="$(timeout 10 xdotool search --sync --onlyvisible --name '^Murvik v0\.1$' | head -n1)"
xdotool windowfocus --sync "$id" key --clearmodifiers shift+Tab Menu
read_menu_and_help menu
xdotool key --clearmodifiers Escape F1
read_menu_and_help help
