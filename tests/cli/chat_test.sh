#!/usr/bin/env bash
# murvik-chat as a process, for what needs one: a FIFO it must not block on
# and a socket, output to a full device, a large chat from a pipe written as it
# comes, the memory it takes for a huge file and a huge chat, and a chat
# larger than the memory to be had.
# Nothing may hang it, make it hold a whole file, or make it claim success.
# What it prints for each input, name and command line is pinned in process
# by chat_command_test.cpp.
# Usage: chat_test.sh MURVIK_CHAT MURVIK_GENREPLAY [sanitized]
set -uo pipefail
chat=$1 gen=$2 sanitized=${3:-} failures=0 nl=$'\n'
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir" || exit 1
fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

# expect STATUS OUT ERR ARG...: murvik-chat ARG..., with standard input from
# $in (else /dev/null) and output to $to (else captured), under GNU time when
# $rss is set, ends with STATUS and writes OUT and ERR, each followed by a line
# break unless empty.
expect() {
  local run=("$chat" "${@:4}") got=0 && [ -n "${rss:-}" ] && run=(/usr/bin/time -f %M -o "$rss" "${run[@]}")
  : >out && "${run[@]}" <"${in:-/dev/null}" >"${to:-out}" 2>err || got=$?
  printf %s "${2}${2:+$nl}" >want_out && printf %s "${3}${3:+$nl}" >want_err
  [ "$got" = "$1" ] && cmp -s want_out out && cmp -s want_err err && return
  fail "murvik-chat ${*:4} < ${in:-/dev/null}: status $got, expected $1"
  diff want_out out | head -5 && diff want_err err
}

"$gen" keys '~~~~~[GL HF]~~~[GO, GO.][LEFT OPEN' -o a.rep && "$gen" keys '~~~[B]~~' -o b.rep
"$gen" chat --size 3000000 -o large.rep
mkfifo fifo  # no writer: opening it to read would block
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' sock
full="murvik-chat: write error: No space left on device"
expect 1 "" "murvik-chat: fifo: is a FIFO, not a regular file" fifo
expect 1 "" "murvik-chat: sock: is a socket, not a regular file" sock
to=/dev/full expect 1 "" "$full" a.rep
in=large.rep to=/dev/full expect 1 "" "$full" --json - a.rep

# 5 GiB, nearly all a hole: a message in the first records, and one in the
# last whole records, whose last pair ends one byte before the end.
"$gen" keys '~~~[FIRST]~~' -o huge.rep && truncate -s 5G huge.rep
last=$((273 + (5 * 2 ** 30 - 2 - 273) / 12 * 12))
"$gen" keys '[LAST]' | tail -c +274 | head -c 62 | dd of=huge.rep bs=1 seek=$((last - 60)) conv=notrunc status=none
rss=huge.rss expect 0 "FIRST${nl}LAST" "" huge.rep
[ "$(cat huge.rss)" -lt 65536 ] || fail "5 GiB replay: peak $(cat huge.rss) KiB"

# 20 MB of replay, a chat of over a MiB: as text it is written as it is read,
# from a file and from standard input alike, the same as the JSON's messages,
# which are held for the file, but never a document of them.
"$gen" chat --size 20000000 --seed 4 -o big.rep && "$chat" --json big.rep >big.json
big=$(jq -r '.[0].messages[] | select(.sent or .text != "") | .text' big.json)
rss=text.rss in=big.rep expect 0 "==> b.rep <==${nl}B$nl$nl==> big.rep <==$nl$big$nl$nl==> standard input <==$nl$big" \
  "" b.rep big.rep -
rss=json.rss expect 0 "$(cat big.json)" "" --json big.rep
# 30 MB of replay that is all chat, some 40 MB of messages: two such files, to
# a pipe read late, are written as they are read, the one read ahead and the
# one handed over alike, not held.
"$gen" keys "$(printf '[A]%.0s' {1..1000})" -o dense1000.rep
python3 -c 'd = open("dense1000.rep", "rb").read(); open("dense.rep", "wb").write(d[:273] + d[273:] * 830)'
[ "$(/usr/bin/time -f %M -o dense.rss "$chat" dense.rep dense.rep | { sleep 1 && grep -c A; })" = 1660000 ] || fail dense
# From a pipe, such a chat comes out as it is read: its first messages before
# the replay's last record is fed (waiting up to 10 s for them).
{ head -c -12 dense.rep && for _ in {1..100}; do [ -s early ] && break || sleep .1; done && wc -c <early >fed &&
  tail -c 12 dense.rep; } | "$chat" - >early
[ "$(cat fed)" -gt 0 ] || fail "a large chat from a pipe: nothing written until the replay's end"
if [ -z "$sanitized" ]; then  # AddressSanitizer keeps freed memory: its peaks say little
  [ "$(cat text.rss)" -lt 16384 ] || fail "text of a large chat: peak $(cat text.rss) KiB"
  [ "$(cat dense.rss)" -lt 16384 ] || fail "two files of dense chat: peak $(cat dense.rss) KiB"
  [ "$(cat json.rss)" -lt $(($(cat text.rss) + 40000)) ] || fail "JSON of a large chat: peak $(cat json.rss) KiB"
  # A message of 8 million characters in 6 MiB of address space: the file
  # fails with a reason, the one before it stands, nothing crashes.
  "$gen" open --size 100000000 -o open.rep && printf '#!/bin/sh\nulimit -v 6144 && exec "%s" "$@"\n' "$chat" >limited
  chmod +x limited && chat=./limited expect 1 "==> b.rep <==${nl}B" "murvik-chat: open.rep: out of memory" b.rep open.rep
fi

echo "$failures failed" && [ "$failures" = 0 ]
