#!/usr/bin/env bash
# Converts the example and the input of every golden case with srcport --gas, then assembles and
# links each H8/300 file with the GNU tools for the H8/300 (h8300-hitachi-coff-as and -ld, Debian
# package binutils-h8300-hms). Any message of the assembler or the linker fails the test: the
# lines srcport could not translate are written so that they assemble.
set -u
bin_dir=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
as=h8300-hitachi-coff-as
ld=h8300-hitachi-coff-ld
nm=h8300-hitachi-coff-nm
if ! command -v "$as" >/dev/null || ! command -v "$ld" >/dev/null; then
  echo "SKIPPED: $as and $ld not found (install binutils-h8300-hms; .ci/run does)"
  exit 77
fi

# Cases whose source itself is at fault where the assembler or linker says so (srcport reports or
# copies the fault as the source has it): the case, and the message every complaint must match.
declare -A source_faults=(
  [dir_name_lists_and_macros]='junk at end of line|truncated'  # DB of a register, of 0FFFFH passed to a macro
  [dir_sections_and_location_counter]='overlaps section'         # ORG 100H, DS 0F000H runs over DSEG AT 8000H
  [dir_value_names_and_redefinition]='is already defined'        # X EQU 5, then X DS 1
  [ext_labels_names_and_keyword_labels]='is already defined'  # E.OK and E_DOK are one name once respelled
  [hostile_bytes_in_every_field]='unknown opcode|Assembler messages'  # raw bytes behind a backslash
)

work=$(mktemp -d)
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
checked=0

# Assembles and links every .SRC in the current directory that srcport wrote with its linker script.
build_outputs() {
  local label=$1 src stem messages externals
  for src in *.SRC; do
    [ -f "$src" ] || continue
    stem=${src%.*}
    [ -f "$stem.ld" ] || continue
    messages=$("$as" -o "$stem.o" "$src" 2>&1)
    status=$?
    if [ $status -eq 0 ] && [ -z "$messages" ]; then
      # Names the program uses but does not define (its imports, and the labels a test fragment
      # leaves out) come from another module: give them an address.
      externals=()
      while read -r _ name; do externals+=(--defsym "$name=0"); done < <("$nm" -u "$stem.o")
      messages=$("$ld" -T "$stem.ld" "${externals[@]}" -o "$stem.out" "$stem.o" 2>&1)
      status=$?
    fi
    checked=$((checked + 1))
    local expected=${source_faults[$label]:-}
    if [ -n "$expected" ] && [ -n "$messages" ] &&
       ! printf '%s\n' "$messages" | grep -v -E "$expected|^$src: Assembler messages:" | grep -q .; then
      echo "expected: $label $src ($(printf '%s\n' "$messages" | grep -c -E "$expected") complaints about the source)"
      continue
    fi
    if [ $status -ne 0 ] || [ -n "$messages" ]; then
      echo "FAILED: $label $src"
      printf '%s\n' "$messages" | head -20
      failures=$((failures + 1))
    fi
  done
}

# The example, as the README builds it.
mkdir "$work/example"
cp "$source_dir/examples/MONITOR.ASM" "$source_dir/examples/DEFS.INC" "$work/example/"
cd "$work/example" || exit 1
"$bin_dir/srcport" --gas MONITOR >/dev/null
build_outputs example

# Every golden case's srcport commands once more with --gas.
for case_dir in "$source_dir"/tests/golden/*/; do
  [ -f "$case_dir/cmd" ] || continue
  name=$(basename "$case_dir")
  dir="$work/$name"
  mkdir "$dir"
  [ -d "$case_dir/in" ] && cp -a "$case_dir/in/." "$dir/"
  cd "$dir" || exit 1
  [ -f "$case_dir/setup" ] && (CASE_DIR="$case_dir" bash "$case_dir/setup" >/dev/null 2>&1)
  while IFS= read -r line || [ -n "$line" ]; do
    read -r -a argv <<<"$line"
    [ "${argv[0]:-}" = srcport ] || continue
    "$bin_dir/srcport" "${argv[@]:1}" --gas >/dev/null 2>&1 </dev/null
  done <"$case_dir/cmd"
  build_outputs "$name"
done

echo "$checked H8/300 files assembled and linked, $failures failed"
[ $failures -eq 0 ]
