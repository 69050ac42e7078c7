#!/usr/bin/env bash
# Runs murvik-chat under valgrind memcheck over a replay and over failing
# inputs: any memory error or definite/indirect leak fails the test.
# Usage: valgrind_test.sh MURVIK_CHAT REPLAY
# Exits 77 (skipped) when valgrind is not installed.
set -uo pipefail
chat=$1
replay=$2
if ! command -v valgrind >/dev/null; then
  echo "valgrind is not installed: skipped"
  exit 77
fi

# valgrind's own status for an error is 99, apart from murvik-chat's 1 for a
# file it could not read.
memcheck() {
  valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
    --show-leak-kinds=definite,indirect "$@"
}

failures=0
# check WANT_STATUS COMMAND... (standard input from /dev/null, output dropped)
check() {
  local want=$1 status
  shift
  memcheck "$chat" "$@" </dev/null >/dev/null 2>"$tmp/err"
  status=$?
  if [ "$status" -ne "$want" ]; then
    echo "FAIL: murvik-chat $* gave status $status, expected $want"
    cat "$tmp/err"
    failures=$((failures + 1))
  else
    echo "ok: murvik-chat $*"
  fi
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

check 0 "$replay"
check 0 --lowercase "$replay" "$replay"
check 0 --json "$replay"
check 1 "$tmp/no such file"
check 1 --json "$replay" "$tmp/no such file" "$tmp" -
check 2 --bogus
exit $((failures > 0))
