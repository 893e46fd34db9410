#!/usr/bin/env bash
# Runs one golden case and compares everything it produced, byte for byte.
#
# A case folder holds:
#   cmd     one command a line: the program (srcport or neaten) and its arguments, split at blanks;
#           a first word naming a script of the case folder runs that script instead, with the rest
#           of the line as its arguments and BIN_DIR naming the programs' directory
#   in/     the files the commands start from (copied into a fresh working directory)
#   setup   optional: a bash script run in the working directory before the commands (CASE_DIR
#           names the case folder)
#   check   optional: a bash script run there after them, for outputs too large to keep whole;
#           it fails the case by its exit status and removes the files it has checked
#   stdout  the expected console output of all commands together
#   status  the expected exit status of each command, one a line
#   out/    the expected new or changed files; every other file must be an unchanged input
#
# With GOLDEN_UPDATE=1 the actual results replace the expected ones (check them by hand!).
set -u
bin_dir=$(cd "$1" && pwd)
case_dir=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT

[ -d "$case_dir/in" ] && cp -a "$case_dir/in/." "$work/"
cd "$work" || exit 2
[ -f "$case_dir/setup" ] && CASE_DIR="$case_dir" bash "$case_dir/setup"

actual_out=$(mktemp)
actual_status=$(mktemp)
: >"$actual_out"; : >"$actual_status"
while IFS= read -r line || [ -n "$line" ]; do
  [ -z "$line" ] && continue
  read -r -a argv <<<"$line"
  prog=${argv[0]}
  if [ -f "$case_dir/$prog" ]; then
    BIN_DIR="$bin_dir" bash "$case_dir/$prog" "${argv[@]:1}" >>"$actual_out" 2>&1 </dev/null
  else
    "$bin_dir/$prog" "${argv[@]:1}" >>"$actual_out" 2>&1 </dev/null
  fi
  echo $? >>"$actual_status"
done <"$case_dir/cmd"

check_failed=0
if [ -f "$case_dir/check" ]; then
  CASE_DIR="$case_dir" bash "$case_dir/check" || check_failed=1
fi

if [ "${GOLDEN_UPDATE:-0}" = 1 ]; then
  cp "$actual_out" "$case_dir/stdout"
  cp "$actual_status" "$case_dir/status"
  rm -rf "$case_dir/out"; mkdir -p "$case_dir/out"
  (cd "$work" && find . -type f -printf '%P\n') | while IFS= read -r f; do
    if [ ! -f "$case_dir/in/$f" ] || ! cmp -s "$work/$f" "$case_dir/in/$f"; then
      mkdir -p "$(dirname "$case_dir/out/$f")"; cp "$work/$f" "$case_dir/out/$f"
    fi
  done
  rmdir "$case_dir/out" 2>/dev/null
  echo "updated $case_dir"; exit 0
fi

fail=$check_failed
[ "$check_failed" = 1 ] && echo "check script failed"
if ! cmp -s "$actual_out" "$case_dir/stdout"; then
  echo "console output differs:"; diff -a "$case_dir/stdout" "$actual_out" | head -40; fail=1
fi
if ! cmp -s "$actual_status" "$case_dir/status"; then
  echo "exit status differs: expected $(tr '\n' ' ' <"$case_dir/status"), got $(tr '\n' ' ' <"$actual_status")"; fail=1
fi
if [ -d "$case_dir/out" ]; then
  while IFS= read -r f; do
    if [ ! -f "$work/$f" ]; then echo "missing output file $f"; fail=1
    elif ! cmp -s "$work/$f" "$case_dir/out/$f"; then
      echo "output file $f differs:"; diff -a "$case_dir/out/$f" "$work/$f" | head -40; fail=1
    fi
  done < <(cd "$case_dir/out" && find . -type f -printf '%P\n')
fi
while IFS= read -r f; do
  [ -f "$case_dir/out/$f" ] && continue
  if [ ! -f "$case_dir/in/$f" ]; then echo "unexpected file $f"; fail=1
  elif ! cmp -s "$work/$f" "$case_dir/in/$f"; then echo "input file $f was changed"; fail=1
  fi
done < <(find . -type f -printf '%P\n')
exit $fail
