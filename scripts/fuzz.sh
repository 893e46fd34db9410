#!/usr/bin/env bash
# Builds the libFuzzer harnesses with clang and runs each of them.
#   scripts/fuzz.sh runs 3000     a few thousand runs each (what the test command does)
#   scripts/fuzz.sh time 3600     an hour each, all harnesses side by side
# Seeds come from the golden test inputs; the grown corpora stay in build-fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
mode=${1:-runs}
amount=${2:-3000}
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' >"$probe/probe.cpp"
if ! command -v clang++ >/dev/null 2>&1 ||
   ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" >/dev/null 2>&1; then
  echo "no compiler with libFuzzer here: fuzz harnesses skipped"; exit 0
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DFUZZ=ON -DWERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build-fuzz -j"$(nproc 2>/dev/null || echo 2)"

corpus=build-fuzz/corpus
seed() {  # seed <harness>: fills the harness's corpus from the golden inputs once
  local dir=$corpus/$1
  [ -d "$dir" ] && return 0
  mkdir -p "$dir"
  local n=0
  case $1 in
    fuzz_srcport_run)
      for f in tests/golden/*/in/*.ASM examples/*.ASM; do
        [ -f "$f" ] || continue
        inc=$(ls "$(dirname "$f")"/*.INC 2>/dev/null | head -n 1 || true)
        { cat "$f"; if [ -n "$inc" ]; then printf '\n#INCLUDE-FILE#\n'; cat "$inc"; fi; } >"$dir/seed$((n++))"
      done ;;
    fuzz_scan_line|fuzz_expression)
      cat tests/golden/*/in/*.ASM examples/*.ASM 2>/dev/null | sort -u | head -n 3000 |
        while IFS= read -r line; do printf '\x0b%s' "$line" >"$dir/seed$((n++))"; done ;;
    fuzz_neaten_run)
      for f in tests/golden/*/out/*.SRC; do [ -f "$f" ] && cp "$f" "$dir/seed$((n++))"; done ;;
  esac
}

harnesses=(fuzz_srcport_run fuzz_scan_line fuzz_expression fuzz_neaten_run)
for h in "${harnesses[@]}"; do seed "$h"; done
export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
if [ "$mode" = time ]; then
  pids=()
  for h in "${harnesses[@]}"; do
    build-fuzz/$h -max_total_time="$amount" -timeout=10 -rss_limit_mb=2048 -max_len=20000 \
      -artifact_prefix="build-fuzz/$h-" "$corpus/$h" >"build-fuzz/$h.log" 2>&1 &
    pids+=($!)
  done
  status=0
  for pid in "${pids[@]}"; do wait "$pid" || status=1; done
  for h in "${harnesses[@]}"; do echo "$h: $(grep -E '^(#[0-9]+.*DONE|Done [0-9]+ runs)' build-fuzz/$h.log | tail -n 1)"; done
  exit $status
fi
for h in "${harnesses[@]}"; do
  echo "== $h"
  build-fuzz/$h -runs="$amount" -timeout=10 -max_len=20000 -artifact_prefix="build-fuzz/$h-" "$corpus/$h" 2>&1 | tail -n 2
  [ "${PIPESTATUS[0]}" -eq 0 ] || exit 1
done
