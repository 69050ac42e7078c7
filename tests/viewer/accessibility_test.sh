#!/usr/bin/env bash
# What a screen reader reads of the window, through AT-SPI as Orca reads it:
# the chat's text, caret and selection, its menu and the keys help. Run it
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
text.setSelection(0, 3, 8)
if text.getSelection(0) != (3, 8) or text.caretOffset != 8:
    sys.exit(f"FAIL: selection {text.getSelection(0)}, caret {text.caretOffset} after selecting 3 to 8")
print("a screen reader reads the chat, its caret and selection")
EOF

# The chat's context menu (the Menu key) and the keys help (F1), as a screen
# reader meets them: a menu is no window of the application's own, so it is
# found through the entry that takes the focus when it opens.
id="$(timeout 10 xdotool search --sync --onlyvisible --name '^Murvik v0\.1$' | head -n1)"
# A click in the chat gives it the keyboard (a Tab pressed early could go amiss).
xdotool windowfocus --sync "$id" mousemove --window "$id" 100 100 click 1
/usr/bin/python3 - <<'EOF'
import subprocess, sys
import pyatspi
from gi.repository import GLib

def focused_after(keys, *roles):
    """The first object of one of `roles` that takes the focus once `keys` are pressed."""
    found, loop = [], GLib.MainLoop()
    def on_focus(event):
        if event.detail1 and event.source is not None and event.source.getRole() in roles:
            found.append(event.source)
            loop.quit()
    pyatspi.Registry.registerEventListener(on_focus, "object:state-changed:focused")
    subprocess.run(["xdotool", "key", "--clearmodifiers"] + keys, check=True)
    GLib.timeout_add_seconds(10, loop.quit)
    loop.run()
    pyatspi.Registry.deregisterEventListener(on_focus, "object:state-changed:focused")
    if not found:
        sys.exit(f"FAIL: nothing of roles {roles} took the focus after {keys}")
    return found[0]

item = focused_after(["Menu", "Down"], pyatspi.ROLE_MENU_ITEM)
menu = [f"{i.name} {i.queryAction().getKeyBinding(0)}".strip() for i in item.parent
        if i.getRole() == pyatspi.ROLE_MENU_ITEM]
want = "Copy Ctrl+C|Select All Ctrl+A|Find... Ctrl+F|Open... Ctrl+O|Reload F5|Next replay Alt+Right|" \
       "Previous replay Alt+Left|Keyboard shortcuts F1|About Murvik Alt+M"
if "|".join(menu) != want:
    sys.exit(f"FAIL: the context menu reads {menu}")
print("a screen reader reads the context menu's entries and their keys")
focused_after(["Escape"], pyatspi.ROLE_TEXT)  # the menu closed, the chat has the keyboard again
table = focused_after(["F1"], pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_TREE, pyatspi.ROLE_TABLE).queryTable()
cells = [table.getAccessibleAt(r, c).name for r in range(table.nRows) for c in range(2)]
if not {"Ctrl+F", "Find text in the chat", "F1"} <= set(cells):
    sys.exit(f"FAIL: the keys help reads {cells}")
print("a screen reader reads the keys help")
EOF
