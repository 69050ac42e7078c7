#!/usr/bin/env bash
# murvik-chat.exe under Wine prints what murvik-chat prints on Linux, byte for
# byte but for CR LF line breaks in text and on standard error, and ends with
# the same status: every kind of replay murvik-genreplay makes, in every
# form, from files (read by several threads, and one replay large enough to
# be read by two threads) and from standard input, with a file missing.
# Usage: compare_windows.sh MURVIK_CHAT MURVIK_GENREPLAY WINDOWS_MURVIK_CHAT
# (the Linux programs, and a command that runs murvik-chat.exe)
set -euo pipefail
linux=$1 gen=$2 windows=$3
export LC_ALL=C.UTF-8
dir=$(mktemp -d) && trap 'rm -rf "$dir"' EXIT && cd "$dir"
"$gen" sample -o sample.rep
files=(sample.rep)
for kind in noise game chat worst open erased empty long erasures mix; do
  for size in 300 5000 400000; do "$gen" $kind --size $size --seed $size -o $kind-$size.rep && files+=($kind-$size.rep); done
done
"$gen" mix --size 40000000 --seed 3 -o large.rep
files+=(large.rep missing.rep - "${files[@]}")
for form in "" -l --json --jsonl; do
  status=0 && "$linux" $form "${files[@]}" <chat-400000.rep >linux.out 2>linux.err || status=$?
  wstatus=0 && "$windows" $form "${files[@]}" <chat-400000.rep >windows.out 2>windows.err || wstatus=$?
  [ "$form" = --json ] || [ "$form" = --jsonl ] || sed -i 's/$/\r/' linux.out
  sed -i 's/$/\r/' linux.err
  if ! cmp linux.out windows.out || ! cmp linux.err windows.err || [ $status != $wstatus ]; then
    echo "FAIL: murvik-chat ${form:-(text)}: status $wstatus on Windows, $status on Linux" && exit 1
  fi
  echo "murvik-chat ${form:-(text)}: $(wc -c <windows.out) bytes alike from ${#files[@]} files"
done
