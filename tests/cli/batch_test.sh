#!/usr/bin/env bash
# murvik-chat over many files, read by other programs: --jsonl read back by
# jq, GNU parallel giving the same lines, and --progress shown only on a
# terminal, a failure said on a line of its own. Each form's exact bytes, and
# a batch read ahead by workers, are pinned in process by
# chat_command_test.cpp.
# Usage: batch_test.sh MURVIK_CHAT MURVIK_GENREPLAY [crlf]
# (crlf: murvik-chat is the Windows one, which gets names as UTF-16, a byte
# that is no UTF-8 made U+FFFD)
set -euo pipefail
chat=$1 gen=$2 windows=${3:-}
# Wine hands the program its arguments in the locale's encoding.
[ -z "$windows" ] || export LC_ALL=C.UTF-8
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
for i in $(seq 1 30); do "$gen" game --size $((2000 + i * 7919 % 300000)) --seed "$i" -o "g$i.rep"; done
"$gen" sample -o stdin.rep && cp stdin.rep $'\xff.rep' && : >empty.rep

# jq reads every line back; the error line and the odd name.
{ "$chat" --jsonl -l missing.rep g1.rep - empty.rep $'\xff.rep' g{2..30}.rep <stdin.rep >batch.out || true; } 2>/dev/null
jq -c . batch.out >jq.out
[ "$(wc -l <jq.out)" = "$(wc -l <batch.out)" ]
grep -qx '{"file":"missing.rep","error":"No such file or directory"}' jq.out
[ "$(jq -r 'select(.file == "\ufffd.rep") | .text' jq.out | head -1)" = "gl hf" ]

# empty.rep fails, in either run.
find . -name '*.rep' -print0 | { parallel --will-cite -0 -X "$chat" --jsonl 2>/dev/null || true; } | sort >parallel.out
{ "$chat" --jsonl ./*.rep 2>/dev/null || true; } | sort | cmp - parallel.out

# A pseudo-terminal on standard error (script gives one) shows the line, takes
# it away before a failure is said, and erases it at the end. (Wine draws a
# console on a terminal its own way, with escapes of its own between the
# characters.)
if [ -z "$windows" ]; then
  script -qec "'$chat' --progress g*.rep >/dev/null" /dev/null >tty.out
  grep -q '/30 files, .* MB/s, .* left' tty.out
  [ "$(tail -c 4 tty.out | od -An -c | tr -d ' ')" = '\r033[K' ]
  script -qc "'$chat' --progress g1.rep missing.rep >/dev/null" /dev/null >tty.out
  grep -qF $'left\033[K\r\033[Kmurvik-chat: missing.rep: No such file or directory\r' tty.out
fi
