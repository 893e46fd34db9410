#!/usr/bin/env bash
# Converts and tidies the bundled example under valgrind's memcheck; any error fails the test.
set -eu
bin_dir=$(cd "$1" && pwd)
examples=$(cd "$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$examples"/MONITOR.ASM "$examples"/DEFS.INC "$work"/
cd "$work"
valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  "$bin_dir/srcport" MONITOR >/dev/null
valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  "$bin_dir/neaten" HMONITOR >/dev/null
