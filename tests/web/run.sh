#!/usr/bin/env bash
# The web page's tests: its core in WebAssembly against the native
# murvik-chat under node, then the page in headless Chromium. Prints node's
# closing lines, then the page test's "N passed, N failed" line last.
# Usage: tests/web/run.sh BUILD_WEB BUILD          (the emscripten build folder, the native one)
#    or: tests/web/run.sh PAGE MODULE BUILD        (murvik.html and murvik-web.js from anywhere, as in a zip)
set -uo pipefail
case $# in
  2) page=$1/src/web/murvik.html module=$1/src/web/murvik-web.js build=$2 ;;
  3) page=$1 module=$2 build=$3 ;;
  *) sed -n 's/^# \(Usage\|   or\)/\1/p' "$0" >&2; exit 2 ;;
esac
page=$(realpath -m "$page") module=$(realpath -m "$module") build=$(realpath -m "$build")
chat=$build/src/cli/murvik-chat gen=$build/tools/replaygen/murvik-genreplay
cd "$(dirname "$0")/../.."
[ -d node_modules/axe-core ] || npm ci --no-audit --no-fund --loglevel=error || exit 1
MURVIK_WEB_MODULE=$module MURVIK_CHAT=$chat MURVIK_GENREPLAY=$gen node --test tests/web/core_test.js
core=$?
/usr/bin/python3 tests/web/page_test.py "$page" "$chat" "$gen"
page_status=$?
[ $core -eq 0 ] && [ $page_status -eq 0 ]
