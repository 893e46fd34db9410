#!/usr/bin/env bash
# Writes a source of $1 lines for the record-window cases: line k is INC HL when k mod 3 is 1,
# NOP when it is 2 and LD A,(HL) when it is 0.
for k in $(seq 1 "$1"); do
  case $((k % 3)) in
    0) printf '\tLD\tA,(HL)\t; line %d\n' "$k" ;;
    1) printf '\tINC\tHL\t; line %d\n' "$k" ;;
    2) printf '\tNOP\t\t; line %d\n' "$k" ;;
  esac
done
