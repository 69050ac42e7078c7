#!/bin/sh
# In an installed tree (the folder given): the MIME package's glob gives
# *.rep files the type the desktop entry opens, so that a replay opens with
# Murvik. update-mime-database reads the package as the desktop does.
set -eu
cd "$1"
update-mime-database share/mime 2>/dev/null
type=$(sed -n 's/^MimeType=\(.*\);$/\1/p' share/applications/io.github.murvik.murvik.desktop)
if ! grep -q "^[0-9]*:$type:\*\.rep\$" share/mime/globs2; then
  echo "*.rep is not $type, which the desktop entry opens; globs2:" >&2
  cat share/mime/globs2 >&2
  exit 1
fi
