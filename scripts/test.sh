#!/usr/bin/env bash
# The full test command. Checks the formatting; builds and runs every test twice, a plain build and
# one under AddressSanitizer and UndefinedBehaviorSanitizer; builds the tools in every build type
# with GCC and with Clang; installs them into a temporary prefix and packages them as a .deb, and
# checks both; then runs the fuzz harnesses for a while. Warnings are errors in all of it.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# The tools need only cmake and a C++ compiler; the tests need more. What is missing is installed
# when this runs as root (as CI does) or may use sudo without a password, and named otherwise.
needed=(cmake g++ clang clang-format libclang-rt-14-dev libgtest-dev valgrind vim groff-base man-db dpkg-dev binutils-h8300-hms)
if command -v dpkg >/dev/null 2>&1; then
  missing=()
  for package in "${needed[@]}"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
      if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
        sudo_cmd=(sudo)
      else
        echo "scripts/test.sh needs these Debian packages: ${missing[*]}"
        echo "install them with: sudo apt-get install ${missing[*]}"
        exit 1
      fi
    fi
    echo "installing ${missing[*]}"
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
else
  echo "no dpkg here: cannot check for ${needed[*]}; going on"
fi

# The layout stays as .clang-format says: any difference fails the run before anything is built.
find converter formatter tests \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run --Werror

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWERROR=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSANITIZE=ON -DWERROR=ON -DBUILD_TESTING=ON >/dev/null
cmake --build build-asan -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build-asan --output-on-failure -j"$jobs"

# Every build type with either compiler builds the tools as a user would, without GoogleTest, and
# converts the example exactly as the golden case expects. (The build above covers GCC's
# RelWithDebInfo.)
for compiler in g++ clang++; do
  for type in Debug Release MinSizeRel RelWithDebInfo; do
    [ "$compiler/$type" = g++/RelWithDebInfo ] && continue
    dir=build-types/$compiler-$type
    echo "== $compiler $type"
    if ! { CXX=$compiler cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DWERROR=ON \
             -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON &&
           cmake --build "$dir" -j"$jobs"; } >"$scratch/build.log" 2>&1; then
      cat "$scratch/build.log"; exit 1
    fi
    bash tests/golden/run_case.sh "$dir" tests/golden/example_monitor
  done
done

# cmake --install puts the tools and their manual pages into a prefix; the pages render without
# a warning, and the installed tools run.
prefix=$scratch/prefix
cmake --install build --prefix "$prefix" >/dev/null
expected_files=$'bin/neaten\nbin/srcport\nshare/man/man1/neaten.1\nshare/man/man1/srcport.1'
installed=$(cd "$prefix" && find . -type f -printf '%P\n' | sort)
if [ "$installed" != "$expected_files" ]; then
  echo "cmake --install installed:"; echo "$installed"; exit 1
fi
for page in "$prefix"/share/man/man1/*.1; do
  warnings=$({ groff -man -Tutf8 -ww "$page" >/dev/null; MANWIDTH=80 man --warnings -l "$page" >/dev/null; } 2>&1)
  if [ -n "$warnings" ]; then echo "$page:"; echo "$warnings"; exit 1; fi
done
"$prefix/bin/srcport" --version >/dev/null
"$prefix/bin/neaten" --version >/dev/null

# The Debian package holds the same files under /usr.
rm -f build/*.deb
(cd build && cpack -G DEB >/dev/null)
deb=$(ls build/*.deb)
packaged=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
if [ "$packaged" != "$(sed 's|^|./usr/|' <<<"$expected_files")" ]; then
  echo "$deb holds:"; echo "$packaged"; exit 1
fi
dpkg-deb -x "$deb" "$scratch/deb"
"$scratch/deb/usr/bin/srcport" --version >/dev/null
echo "installed and packaged: $(basename "$deb")"

# A short bounded run of every fuzz harness (clang only); scripts/fuzz.sh time N runs them longer.
scripts/fuzz.sh runs 3000
