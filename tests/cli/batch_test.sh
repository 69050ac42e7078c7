#!/usr/bin/env bash
# murvik-chat over many files: the threaded batch gives exactly what the same
# files give one at a time, joined; --jsonl is read back by jq and Python;
# GNU parallel gives the same lines; --progress shows only on a terminal.
# Usage: batch_test.sh MURVIK_CHAT MURVIK_GENREPLAY [crlf]
# (crlf: murvik-chat is the Windows one, which ends lines of text with CR LF
# and gets names as UTF-16, a byte that is no UTF-8 made U+FFFD)
set -euo pipefail
chat=$1 gen=$2 eol=$'\n' odd=$'\xff'
if [ "${3:-}" = crlf ]; then
  eol=$'\r\n' odd=$'\xef\xbf\xbd'
  export LC_ALL=C.UTF-8  # Wine hands the program its arguments in the locale's encoding
fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
cd "$dir"
for i in $(seq 1 30); do "$gen" game --size $((2000 + i * 7919 % 300000)) --seed "$i" -o "g$i.rep"; done
# Chats of more than a MiB: one is read ahead while the other streams.
for i in 1 2; do "$gen" chat --size 9000000 --seed "$i" -o "c$i.rep"; done
"$gen" sample -o stdin.rep && cp stdin.rep $'\xff.rep' && : >empty.rep
files=(missing.rep g1.rep c1.rep c2.rep g2.rep - empty.rep $'\xff.rep' g{3..30}.rep)

# $1 is the mode; writes NAME.out, NAME.err and NAME.status for files $3...
run() {
  local mode=$1 name=$2 status=0 && shift 2
  "$chat" $mode "$@" <stdin.rep >"$name.out" 2>"$name.err" || status=$?
  echo "$status" >"$name.status"
}
for mode in "" --json "--jsonl -l"; do
  run "$mode" batch "${files[@]}"
  : >joined.err && status=0 && first=1
  [ "$mode" = --json ] && printf '[\n' >joined.out || : >joined.out
  for f in "${files[@]}"; do
    run "$mode" one "$f" && cat one.err >>joined.err && [ "$(cat one.status)" = 0 ] || status=1
    if [ "$mode" = --json ]; then
      [ $first = 1 ] || printf ',\n' >>joined.out
      sed '1d;$d' one.out | head -c -1 >>joined.out && first=0
    elif [ -z "$mode" ] && [ "$(cat one.status)" = 0 ]; then
      [ $first = 1 ] || printf %s "$eol" >>joined.out
      name=${f/#-/standard input} && printf %s "==> ${name/$'\xff'/$odd} <==$eol" >>joined.out && cat one.out >>joined.out && first=0
    else cat one.out >>joined.out; fi
  done
  [ "$mode" = --json ] && printf '\n]\n' >>joined.out
  cmp batch.out joined.out
  cmp batch.err joined.err
  [ "$(cat batch.status)" = $status ]
done

# Both clients read every line back alike; the error line and the odd name.
jq -c . batch.out >jq.out
python3 -c 'import json, sys
for line in open("batch.out", encoding="utf-8"):
    print(json.dumps(json.loads(line), ensure_ascii=False, separators=(",", ":")))' >py.out
cmp jq.out py.out
[ "$(wc -l <jq.out)" = "$(wc -l <batch.out)" ]
grep -qx '{"file":"missing.rep","error":"No such file or directory"}' jq.out
[ "$(jq -r 'select(.file == "\ufffd.rep") | .text' jq.out | head -1)" = "gl hf" ]

# empty.rep fails, in either run.
find . -name '*.rep' -print0 | { parallel --will-cite -0 -X "$chat" --jsonl 2>/dev/null || true; } | sort >parallel.out
{ "$chat" --jsonl ./*.rep 2>/dev/null || true; } | sort | cmp - parallel.out

# A pseudo-terminal on standard error (script gives one) shows the line and
# erases it at the end; elsewhere nothing. (Wine draws a console on a
# terminal its own way, with escapes of its own between the characters.)
if [ "$eol" = $'\n' ]; then
  script -qec "'$chat' --progress g*.rep >/dev/null" /dev/null >tty.out
  grep -q '/30 files, .* MB/s, .* left' tty.out
  [ "$(tail -c 4 tty.out | od -An -c | tr -d ' ')" = '\r033[K' ]
fi
"$chat" --progress g*.rep 2>&1 >/dev/null | cmp - /dev/null
