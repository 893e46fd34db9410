#!/usr/bin/env bash
# Feeds srcport's --diagnostics=gnu console output to vim's quickfix reader, as `vim -q` does with
# its default settings, and checks that vim takes exactly the line messages, each with its file,
# which must exist, and its line number.
set -eu
bin_dir=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp -a "$case_dir/in/." "$work/"
cd "$work"

"$bin_dir/srcport" src/PROG --diagnostics=gnu >console.txt || true
grep -E '^[^ ]+:[0-9]+: (error|warning): ' console.txt >expected.txt
[ -s expected.txt ] || { echo "no line messages in the console output"; exit 1; }

vim -q console.txt -u NONE -i NONE -N -es \
  -c 'call writefile(map(filter(getqflist(), "v:val.valid"), "bufname(v:val.bufnr) . \":\" . v:val.lnum . \":\" . v:val.text"), "quickfix.txt")' \
  -c 'qa!' </dev/null >/dev/null 2>&1 || true

if ! cmp -s expected.txt quickfix.txt; then
  echo "vim read the messages differently:"; diff expected.txt quickfix.txt; exit 1
fi
cut -d: -f1 quickfix.txt | sort -u | while IFS= read -r file; do
  [ -f "$file" ] || { echo "vim would open $file, which does not exist"; exit 1; }
done
