#!/usr/bin/env bash
# murvik-chat as scripts see it: what it prints and the status it ends with,
# for each kind of input, name, command line and output, hostile ones among
# them, and the memory it takes for a huge file and a huge chat. Nothing may
# crash it, hang it, make it hold a whole file, or make it claim success.
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
  local status=$1 want_out=$2 want_err=$3 got
  shift 3
  local run=("$chat" "$@") && [ -n "${rss:-}" ] && run=(/usr/bin/time -f %M -o "$rss" "${run[@]}")
  : >out && "${run[@]}" <"${in:-/dev/null}" >"${to:-out}" 2>err
  got=$?
  printf %s "${want_out}${want_out:+$nl}" >want_out && printf %s "${want_err}${want_err:+$nl}" >want_err
  [ "$got" = "$status" ] && cmp -s want_out out && cmp -s want_err err && return
  fail "murvik-chat $* < ${in:-/dev/null}: status $got, expected $status"
  diff want_out out | head -5 && diff want_err err
}
why() { printf 'murvik-chat: %s: %s' "$1" "$2"; }
usage() { printf "murvik-chat: %s\nTry 'murvik-chat --help' for more information." "$1"; }

# Start codes in records 5, 15 and 24; the last message is still open.
"$gen" keys '~~~~~[GL HF]~~~[GO, GO.][LEFT OPEN' -o a.rep && "$gen" keys '~~~[B]~~' -o b.rep
"$gen" noise --size 5000 -o quiet.rep && "$gen" chat --size 3000000 -o large.rep && : >empty.rep
mkfifo fifo  # no writer: opening it to read would block
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' sock
ln -s a.rep link && ln -s nowhere dangling
# Names are used as given: the trimmed twins hold other chat.
for twin in leading trailing both; do "$gen" keys '[TRIMMED]' -o "$twin"; done
odd=(' leading' 'trailing ' $'\tboth\t' $'new\nline' '100%s%n' $'bad \xc3\x28 \xff') odd_out=""
for name in "${odd[@]}"; do
  "$gen" keys '[ODD]' -o "$name" && odd_out+="${odd_out:+$nl$nl}==> $name <==${nl}ODD"
done
chat_a="GL HF${nl}GO, GO.${nl}LEFT OPEN" full="murvik-chat: write error: No space left on device"
expect 0 "$chat_a" "" a.rep
expect 0 "${chat_a,,}" "" --lowercase a.rep
expect 0 "${chat_a,,}" "" a.rep -l
expect 0 "" "" quiet.rep
expect 0 "$chat_a" "" link
in=a.rep expect 0 "$chat_a" "" -
in=b.rep expect 1 "==> a.rep <==$nl$chat_a$nl$nl==> standard input <==${nl}B$nl$nl==> b.rep <==${nl}B" \
  "$(why missing 'No such file or directory')" missing a.rep - b.rep
expect 0 "$odd_out" "" "${odd[@]}"
expect 1 "" "$(why - 'empty input')" -
in=. expect 1 "" "$(why - 'read error: Is a directory')" -
expect 1 "" "$(why dangling 'No such file or directory')" dangling
expect 1 "" "$(why '' 'empty path')" ''
expect 1 "" "$(why empty.rep 'empty file')" empty.rep
expect 1 "" "$(why . 'is a directory')" .
expect 1 "" "$(why fifo 'is a FIFO, not a regular file')" fifo
expect 1 "" "$(why sock 'is a socket, not a regular file')" sock
expect 1 "" "$(for d in zero null urandom; do why /dev/$d 'is a character device, not a regular file' && echo; done)" \
  /dev/zero /dev/null /dev/urandom
expect 1 "" "$(why -l 'No such file or directory')" -- -l
to=/dev/full expect 1 "" "$full" a.rep
in=large.rep to=/dev/full expect 1 "" "$full" --json - a.rep
expect 2 "" "$(usage 'missing file operand')"
expect 2 "" "$(usage "unrecognized option '--bogus'")" --bogus a.rep
expect 2 "" "$(usage "invalid option -- 'q'")" -q a.rep
expect 2 "" "$(usage '--json and --jsonl cannot be used together')" --jsonl --json a.rep
help=$("$chat" --help) && [ "${help%%$nl*}" = "Usage: murvik-chat [OPTION]... FILE..." ] || fail "--help"
for option in -l, --lowercase --json --jsonl --progress -h, --help --version; do
  grep -qF -- " $option " <<<"$help" || fail "--help does not name $option"
done

# JSON: every field, each message's offset that of the record holding its
# start code; bytes of a name that are not UTF-8 replaced; the array closed
# after a failed last file.
cp a.rep $'json \xff'
"$chat" --json -l a.rep $'json \xff' missing >out 2>/dev/null
messages='[{"text": "gl hf", "offset": 333, "sent": true}, {"text": "go, go.", "offset": 453, "sent": true},
  {"text": "left open", "offset": 561, "sent": false}]'
[ "$(jq -c . out)" = "$(jq -c . <<<"[{\"file\": \"a.rep\", \"ok\": true, \"messages\": $messages},
  {\"file\": \"json \ufffd\", \"ok\": true, \"messages\": $messages},
  {\"file\": \"missing\", \"ok\": false, \"error\": \"No such file or directory\"}]")" ] || fail "JSON: $(cat out)"

# JSON Lines: a line per message as each file is read, a line per failure.
jsonl() {
  printf '{"file": "%s", "text": "%s", "offset": %s, "sent": %s}\n' \
    "$1" "gl hf" 333 true "$1" "go, go." 453 true "$1" "left open" 561 false
}
in=a.rep expect 1 "$(jsonl a.rep)$nl{\"file\": \"missing\", \"error\": \"No such file or directory\"}$nl$(jsonl -)" \
  "$(why missing 'No such file or directory')" --jsonl -l a.rep missing -

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
expect 0 "${big,,}" "" -l big.rep
rss=json.rss expect 0 "$(cat big.json)" "" --json big.rep
# 30 MB of replay that is all chat, some 40 MB of messages: two such files, to
# a pipe read late, are written as they are read, the one read ahead and the
# one handed over alike, not held.
"$gen" keys "$(printf '[A]%.0s' {1..1000})" -o dense1000.rep
python3 -c 'd = open("dense1000.rep", "rb").read(); open("dense.rep", "wb").write(d[:273] + d[273:] * 830)'
[ "$(/usr/bin/time -f %M -o dense.rss "$chat" dense.rep dense.rep | { sleep 1 && grep -c A; })" = 1660000 ] || fail dense
if [ -z "$sanitized" ]; then  # AddressSanitizer keeps freed memory: its peaks say little
  [ "$(cat text.rss)" -lt 16384 ] || fail "text of a large chat: peak $(cat text.rss) KiB"
  [ "$(cat dense.rss)" -lt 16384 ] || fail "two files of dense chat: peak $(cat dense.rss) KiB"
  [ "$(cat json.rss)" -lt $(($(cat text.rss) + 40000)) ] || fail "JSON of a large chat: peak $(cat json.rss) KiB"
fi

# Standard input from a non-blocking pipe, in pieces that cut pairs and
# records, with pauses between them.
"$gen" keys '~~[SLOW, BUT]~~~~~[ALL THERE]' -o slow.rep
python3 - "$chat" <<'EOF' || fail "slow non-blocking standard input"
import os, subprocess, sys, time
r, w = os.pipe()
os.set_blocking(r, False)
run = subprocess.Popen([sys.argv[1], "-"], stdin=r, stdout=subprocess.PIPE)
data = open("slow.rep", "rb").read()
for at in range(0, len(data), 7):
    os.write(w, data[at:at + 7])
    time.sleep(0.002)
os.close(w)
assert run.communicate()[0] == b"SLOW, BUT\nALL THERE\n" and run.returncode == 0
EOF
echo "$failures failed" && [ "$failures" = 0 ]
