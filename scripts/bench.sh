#!/usr/bin/env bash
# Throughput of srcport and neaten against one `sed 's/^/\t/'` pass over the same input, and their
# peak memory on a small and a large input. Not part of the test command.
#   scripts/bench.sh [RUNS] [BUILD_DIR]     (defaults: 11 runs, build)
# The large input is the bundled example's code repeated to 65,000 lines, each copy's labels
# renamed; the small one is its first 100 lines. Each figure is the median of RUNS runs; the
# commands of a pair run in turn (A B A B ...) after a warm-up, and the ratio is the median of the
# pairwise ratios, so that a machine whose speed drifts during the run still compares fairly.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-11}
build=$(cd "${2:-build}" && pwd)
examples=$(pwd)/examples
cmake --build "$build" -j2 --target srcport neaten >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# generate LINES FILE: the example's header (up to CSEG, with its INCLUDE), then copies of its code
# with every label defined there suffixed by the copy number, then END.
generate() {
  perl -e '
    my ($asm, $lines) = @ARGV;
    open my $in, "<", $asm or die "$asm: $!";
    my @all = <$in>;
    my ($start) = grep { $all[$_] =~ /^\s+CSEG\b/i } 0 .. $#all;
    my @head = @all[0 .. $start - 1];
    my @code = grep { !/^\s+END\b/i } @all[$start .. $#all];
    my $labels = join "|", map { /^([A-Za-z_][A-Za-z0-9_]*)/ ? $1 : () } @code;
    my $left = $lines - 1;
    for (@head) { last if $left == 0; print; $left-- }
    for (my $copy = 1; $left > 0; $copy++) {
      for (@code) {
        last if $left == 0;
        my $line = $_;
        $line =~ s/\b($labels)\b/$1$copy/gi if $copy > 1;
        print $line;
        $left--;
      }
    }
    print "\tEND\tMONITOR\n";
  ' "$examples/MONITOR.ASM" "$1" >"$2"
}

cp "$examples/DEFS.INC" "$work/"
generate 65000 "$work/BIG.ASM"
generate 100 "$work/SMALL.ASM"
(cd "$work" && "$build/srcport" BIG >/dev/null && "$build/srcport" SMALL >/dev/null)

python3 - "$work" "$build" "$runs" <<'PY'
import os, statistics, subprocess, sys, time

work, build, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
os.chdir(work)

def run(argv, out):
    """Runs argv with stdout to `out`; returns (cpu s, wall s) from the kernel's accounting."""
    fd = os.open(out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    start = time.perf_counter()
    pid = os.posix_spawnp(argv[0], argv, os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, fd, 1)])
    _, status, usage = os.wait4(pid, 0)
    wall = time.perf_counter() - start
    os.close(fd)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{' '.join(argv)}: exit status {os.waitstatus_to_exitcode(status)}")
    return usage.ru_utime + usage.ru_stime, wall

def peak_kb(argv):
    """Peak resident memory of argv. A process started from here would inherit this interpreter's
    high-water mark across exec, so GNU time starts it and reports it."""
    result = subprocess.run(["/usr/bin/time", "-f", "%M", *argv], stdout=subprocess.DEVNULL,
                            stderr=subprocess.PIPE, text=True, check=True)
    return int(result.stderr.split()[-1])

def pair(a, a_out, b, b_out):
    """A and B in turn after one warm-up each; per run the cpu and wall of both."""
    run(a, a_out); run(b, b_out)
    rows = []
    for _ in range(runs):
        rows.append((run(a, a_out), run(b, b_out)))
    return rows

def med(values):
    return statistics.median(values)

srcport, neaten = f"{build}/srcport", f"{build}/neaten"
sed = ["sed", r"s/^/\t/"]
lines = lambda path: sum(1 for _ in open(path, "rb"))
print(f"input: BIG.ASM {lines('BIG.ASM')} lines, {os.path.getsize('BIG.ASM')} bytes; "
      f"HBIG.SRC {lines('HBIG.SRC')} lines, {os.path.getsize('HBIG.SRC')} bytes; median of {runs} runs")
print(f"{'':28}{'cpu ms':>9}{'wall ms':>9}{'sed cpu':>9}{'sed wall':>9}{'cpu x':>8}{'wall x':>8}{'target':>8}")
for name, a, b, target in (
        ("srcport BIG", [srcport, "BIG"], sed + ["BIG.ASM"], 2.0),
        ("neaten HBIG", [neaten, "HBIG"], sed + ["HBIG.SRC"], 1.2)):
    rows = pair(a, "/dev/null", b, "sed.out")
    cpu = med([r[0][0] for r in rows]); wall = med([r[0][1] for r in rows])
    sed_cpu = med([r[1][0] for r in rows]); sed_wall = med([r[1][1] for r in rows])
    cpu_x = med([r[0][0] / max(r[1][0], 1e-6) for r in rows])
    wall_x = med([r[0][1] / max(r[1][1], 1e-6) for r in rows])
    print(f"{name:28}{cpu*1e3:9.1f}{wall*1e3:9.1f}{sed_cpu*1e3:9.1f}{sed_wall*1e3:9.1f}"
          f"{cpu_x:8.2f}{wall_x:8.2f}{'<= ' + str(target):>8}")

print(f"{'peak memory KB':28}{'100 lines':>11}{'65000 lines':>13}{'ratio':>8}{'target':>8}")
for name, small, big in (
        ("srcport", [srcport, "SMALL"], [srcport, "BIG"]),
        ("neaten", [neaten, "HSMALL"], [neaten, "HBIG"])):
    # The peak of the same run on the same input varies by 100 KB or more from one run to the
    # next: the median of several.
    small_kb = med([peak_kb(small) for _ in range(9)])
    big_kb = med([peak_kb(big) for _ in range(9)])
    print(f"{name:28}{small_kb:11}{big_kb:13}{big_kb / small_kb:8.2f}{'<= 1.1':>8}")
PY
