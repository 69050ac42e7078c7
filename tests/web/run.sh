#!/usr/bin/env bash
# The web page's tests: its core in WebAssembly against the native
# murvik-chat under node, then the page in headless Chromium. Prints node's
# closing lines, then the page test's "N passed, N failed" line last.
# Usage: tests/web/run.sh BUILD_WEB BUILD   (the emscripten build folder, the native one)
set -uo pipefail
[ $# -eq 2 ] || { echo "usage: $0 BUILD_WEB BUILD" >&2; exit 2; }
cd "$(dirname "$0")/../.."
web=$1/src/web chat=$2/src/cli/murvik-chat gen=$2/tools/replaygen/murvik-genreplay
[ -d node_modules/axe-core ] || npm ci --no-audit --no-fund || exit 1
MURVIK_WEB_MODULE=$web/murvik-web.js MURVIK_CHAT=$chat MURVIK_GENREPLAY=$gen node --test tests/web/core_test.js
core=$?
/usr/bin/python3 tests/web/page_test.py "$web/murvik.html" "$chat" "$gen"
page=$?
[ $core -eq 0 ] && [ $page -eq 0 ]
