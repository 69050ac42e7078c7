#!/usr/bin/env bash
# Runs murvik-chat under valgrind memcheck over a replay and over failing
# inputs: any memory error or definite/indirect leak fails the test (valgrind
# then exits 99, apart from murvik-chat's own statuses).
# Usage: valgrind_test.sh MURVIK_CHAT REPLAY. Exits 77 (skipped) without valgrind.
set -uo pipefail
chat=$1 replay=$2 failures=0
command -v valgrind >/dev/null || { echo "valgrind is not installed: skipped"; exit 77; }
check() { # WANT_STATUS ARG...
  valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect "$chat" "${@:2}" </dev/null >/dev/null
  local status=$? && [ "$status" -eq "$1" ] || { echo "FAIL: murvik-chat ${*:2} gave status $status, expected $1"; failures=1; }
}
check 0 "$replay"
check 0 --lowercase "$replay" "$replay"
check 1 --json "$replay" /nonexistent/replay.rep / -
check 2 --bogus
exit $failures
