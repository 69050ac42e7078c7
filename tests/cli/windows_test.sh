#!/usr/bin/env bash
# murvik-chat.exe as Windows scripts see it, run under Wine: text with CR LF
# line breaks (never LF alone, never CR CR LF), JSON as on Linux, names in any
# script opened and printed as they are, replays read byte for byte from
# files and standard input, wildcards expanded, devices and folders refused,
# no --progress line off a console, and the command line's errors, --help
# and --version.
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
expect 0 "$chat_a" "" a.rep
expect 0 "${chat_a,,}" "" -l a.rep
expect 0 "==> a.rep <==$nl$chat_a$nl==> игра с пробелом.rep <==${nl}B$nl" "" a.rep 'игра с пробелом.rep'
# Wildcards, which Windows' shells leave to the program: files only, in name
# order; a pattern matching nothing is a name.
mkdir folder.rep && expect 1 "==> a.rep <==$nl$chat_a$nl==> b.rep <==${nl}B$nl$nl==> игра с пробелом.rep <==${nl}B$nl" \
  "$(why 'none*.rep' 'No such file or directory')$nl" '*.rep' 'none*.rep'
expect 1 "==> игра с пробелом.rep <==${nl}B$nl" "$(why 'нет.rep' 'No such file or directory')$nl" 'игра с пробелом.rep' 'нет.rep'

# A replay that text mode would change: CR LF and Ctrl+Z before the first
# record and within one; from a file and from standard input alike.
python3 -c 'import sys; d = bytearray(open("a.rep", "rb").read()); d[0:3] = b"\r\n\x1a"; d[300:302] = b"\r\n"
open("text.rep", "wb").write(d)'
in=text.rep expect 0 "$chat_a" "" -
expect 0 "$chat_a" "" text.rep

# Devices and folders are refused with a reason, and the other files read.
expect 1 "==> a.rep <==$nl$chat_a" \
  "$(why NUL 'is a device, not a regular file')$nl$(why CON 'is a device, not a regular file')$nl$(why . 'is a directory')$nl" \
  NUL CON . a.rep

# JSON and JSON Lines as on Linux: LF only, the name as UTF-8.
"$chat" --json 'игра с пробелом.rep' >json 2>/dev/null
[ "$(jq -c . json)" = '[{"file":"игра с пробелом.rep","ok":true,"messages":[{"text":"B","offset":297,"sent":true}]}]' ] ||
  fail "JSON: $(cat json)"
"$chat" --jsonl 'игра с пробелом.rep' a.rep >jsonl
! grep -q $'\r' json jsonl && [ "$(wc -l <jsonl)" = 4 ] || fail "JSON Lines: $(od -c jsonl | head)"

# No progress line on standard error when it is no console: here a file.
"$chat" --progress a.rep a.rep >out 2>err && [ ! -s err ] || fail "--progress off a console: $(od -c err)"

# The command line, as on Linux.
usage() { printf "murvik-chat: %s\nTry 'murvik-chat --help' for more information.\n" "$1"; }
expect 2 "" "$(usage 'missing file operand')$nl"
expect 2 "" "$(usage "unrecognized option '--bogus'")$nl" --bogus a.rep
expect 2 "" "$(usage "invalid option -- 'q'")$nl" -q a.rep
expect 1 "" "$(why -l 'No such file or directory')$nl" -- -l
"$chat" --help >help && [ "$(head -1 help)" = "Usage: murvik-chat [OPTION]... FILE...${crlf%$nl}" ] &&
  [ "$(grep -c $'\r$' help)" = "$(wc -l <help)" ] || fail "--help: $(head -3 help | od -c)"
"$chat" --version | head -1 | grep -q $'^murvik-chat (Murvik) .*\r$' || fail "--version"
echo "$failures failed" && [ "$failures" = 0 ]
