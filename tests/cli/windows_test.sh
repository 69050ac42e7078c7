#!/usr/bin/env bash
# murvik-chat.exe as Windows scripts see it, run under Wine, for what only a
# process of its own has: names in any script on its command line, opened
# and printed as they are, wildcards expanded, standard input read byte for
# byte, and CR LF line breaks on standard output and standard error alike.
# The rest is pinned in process, under Wine too, by chat_command_test.cpp.
# Usage: windows_test.sh MURVIK_CHAT MURVIK_GENREPLAY (commands that run the
# Windows programs)
set -uo pipefail
chat=$1 gen=$2 failures=0 nl=$'\n' crlf=$'\r\n'
# Wine hands the programs their arguments in the locale's encoding.
export LC_ALL=C.UTF-8
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

# expect STATUS OUT ERR ARG...: murvik-chat ARG..., standard input from $in
# (else empty), ends with STATUS and writes OUT and ERR, as given: each line
# break in them is CR LF.
expect() {
  local status=$1 want_out=$2 want_err=$3 got
  shift 3
  "$chat" "$@" <"${in:-/dev/null}" >out 2>err
  got=$?
  printf %s "${want_out//$nl/$crlf}" >want_out && printf %s "${want_err//$nl/$crlf}" >want_err
  [ "$got" = "$status" ] && cmp -s want_out out && cmp -s want_err err && return
  fail "murvik-chat $*: status $got, expected $status"
  diff <(od -c want_out) <(od -c out) | head -5 && diff <(od -c want_err) <(od -c err) | head -5
}
why() { printf 'murvik-chat: %s: %s\n' "$1" "$2"; }

"$gen" keys '~~~~~[GL HF]~~~[GO, GO.][LEFT OPEN' -o a.rep && "$gen" keys '~~[B]~' -o b.rep && cp b.rep 'игра с пробелом.rep'
chat_a=$'GL HF\nGO, GO.\nLEFT OPEN\n'
expect 0 "==> a.rep <==$nl$chat_a$nl==> игра с пробелом.rep <==${nl}B$nl" "" a.rep 'игра с пробелом.rep'
# Wildcards, which Windows' shells leave to the program: files only, in name
# order; a pattern matching nothing is a name.
mkdir folder.rep && expect 1 "==> a.rep <==$nl$chat_a$nl==> b.rep <==${nl}B$nl$nl==> игра с пробелом.rep <==${nl}B$nl" \
  "$(why 'none*.rep' 'No such file or directory')$nl" '*.rep' 'none*.rep'
expect 1 "==> игра с пробелом.rep <==${nl}B$nl" "$(why 'нет.rep' 'No such file or directory')$nl" 'игра с пробелом.rep' 'нет.rep'

# A replay that text mode would change: CR LF and Ctrl+Z before the first
# record and within one, on standard input.
python3 -c 'import sys; d = bytearray(open("a.rep", "rb").read()); d[0:3] = b"\r\n\x1a"; d[300:302] = b"\r\n"
open("text.rep", "wb").write(d)'
in=text.rep expect 0 "$chat_a" "" -
echo "$failures failed" && [ "$failures" = 0 ]
