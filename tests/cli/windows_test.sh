#!/usr/bin/env bash
# murvik-chat.exe as Windows scripts see it, run under Wine, for what only a
# process of its own has: names in any script on its command line, opened
# and printed as they are, wildcards expanded, and CR LF line breaks on
# standard output and standard error alike.
# The rest is pinned in process, under Wine too, by chat_command_test.cpp.
# Usage: windows_test.sh MURVIK_CHAT MURVIK_GENREPLAY (commands that run the
# Windows programs)
set -uo pipefail
chat=$1 gen=$2 failures=0 nl=$'\n' crlf=$'\r\n'
# Wine hands the programs their arguments in the locale's encoding.
export LC_ALL=C.UTF-8
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1

# expect STATUS OUT ERR ARG...: murvik-chat ARG..., standard input empty,
# ends with STATUS and writes OUT and ERR, as given: each line break in them
# is CR LF.
expect() {
  local got=0 && "$chat" "${@:4}" </dev/null >out 2>err || got=$?
  printf %s "${2//$nl/$crlf}" >want_out && printf %s "${3//$nl/$crlf}" >want_err
  [ "$got" = "$1" ] && cmp -s want_out out && cmp -s want_err err && return
  echo "FAIL: murvik-chat ${*:4}: status $got, expected $1" && failures=$((failures + 1))
  diff <(od -c want_out) <(od -c out) | head -5 && diff <(od -c want_err) <(od -c err) | head -5
}

"$gen" keys '~~~~~[GL HF]~~~[GO, GO.][LEFT OPEN' -o a.rep && "$gen" keys '~~[B]~' -o b.rep && cp b.rep 'игра с пробелом.rep'
chat_a=$'GL HF\nGO, GO.\nLEFT OPEN\n'
# Wildcards, which Windows' shells leave to the program: files only, in name
# order; a pattern matching nothing is a name.
mkdir folder.rep && expect 1 "==> a.rep <==$nl$chat_a$nl==> b.rep <==${nl}B$nl$nl==> игра с пробелом.rep <==${nl}B$nl" \
  "murvik-chat: none*.rep: No such file or directory$nl" '*.rep' 'none*.rep'
expect 1 "==> a.rep <==$nl$chat_a$nl==> игра с пробелом.rep <==${nl}B$nl" "murvik-chat: нет.rep: No such file or directory$nl" \
  a.rep 'игра с пробелом.rep' 'нет.rep'

echo "$failures failed" && [ "$failures" = 0 ]
