#!/usr/bin/env bash
# Builds the Windows module Tarnwell.8bf and tarnwell.exe with mingw-w64 and tests them
# under Wine, from a fresh Debian 12 machine:
#
#   1. installs what is missing (mingw-w64, Wine, Debian's source entries);
#   2. cross-compiles zlib, libjpeg, libpng, libtiff and GoogleTest (first run only);
#   3. configures and builds the `windows` preset (build/windows) and packs the zip users
#      download (build/windows/tarnwell-VERSION-win64.zip);
#   4. runs the Windows tests under Wine (ctest --preset windows), the dialog tests on a
#      virtual X screen (scripts/wine-dialog.sh; skipped without Xvfb);
#   5. renders a sample picture with tarnwell.exe and Tarnwell.8bf under Wine and with the
#      Linux build (build/windows-native), and reports the largest per-sample difference.
#
# Options: --no-install (never call apt-get), --build-only (stop after step 3),
#          --max-difference N (largest difference step 5 accepts; default 1),
#          --sample FILE (the picture of step 5). Environment: TARNWELL_JOBS (default 2).
# Where Wine cannot be had, steps 4 and 5 are skipped with a message.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"

install=1
build_only=0
max_difference=1
sample=""
while [ $# -gt 0 ]; do
  case "$1" in
    --no-install) install=0 ;;
    --build-only) build_only=1 ;;
    --max-difference) max_difference="${2:?--max-difference needs a number}"; shift ;;
    --sample) sample="${2:?--sample needs a picture file}"; shift ;;
    -h|--help) sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "windows-test.sh: unknown option '$1' (see --help)" >&2; exit 2 ;;
  esac
  shift
done
jobs="${TARNWELL_JOBS:-2}"
started=$(date +%s)
say() { echo "== $*" >&2; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# ---- 1. Packages ---------------------------------------------------------------------------
# librsvg2-bin, imagemagick, fontconfig and fonts-liberation2 draw the dialog's pictures
# (resources/art/); xvfb gives the dialog tests a screen (scripts/wine-dialog.sh), and
# ImageMagick's `import` keeps a picture of it when one hangs, and GDB where its threads wait.
packages=(cmake make g++ dpkg-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix
          binutils-mingw-w64-x86-64 mingw-w64-tools googletest wine64
          libgtest-dev libpng-dev libjpeg62-turbo-dev libtiff-dev zlib1g-dev
          librsvg2-bin imagemagick fontconfig fonts-liberation2 xvfb gdb)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ $install -eq 1 ]; then
    say "installing ${missing[*]}"
    as_root apt-get update -qq
    # Wine and Xvfb are wanted but not required: without them the build still happens.
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq "${missing[@]}" >/dev/null ||
      DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq \
        $(printf '%s\n' "${missing[@]}" | grep -vx -e wine64 -e xvfb) >/dev/null
  else
    say "not installing (--no-install): ${missing[*]}"
  fi
fi

# ---- 2 and 3. Libraries and the build --------------------------------------------------------
say "cross-compiling the libraries (skipped when already done)"
TARNWELL_JOBS=$jobs bash scripts/windows-deps.sh "$root/build/windows/deps"
say "configuring and building the windows preset"
cmake --preset windows >/dev/null
# The product first: without it nothing below means anything.
cmake --build --preset windows -j "$jobs" --target tarnwell_plugin tarnwell
say "built build/windows/bin/Tarnwell.8bf and build/windows/bin/tarnwell.exe"
rm -f build/windows/tarnwell-*.zip
(cd build/windows && cpack -G ZIP >/dev/null)
say "packed $(ls build/windows/tarnwell-*.zip) (Tarnwell.8bf, tarnwell.exe, README, credits)"
# Then every test program; one that does not compile for Windows is reported at the end
# (and shows in ctest as not built) instead of hiding the results of all the others.
failures=()
if ! cmake --build --preset windows -j "$jobs" -- -k; then
  failures+=("some test programs do not build for Windows (see the compiler errors above)")
fi
if [ $build_only -eq 1 ]; then
  say "done in $(( $(date +%s) - started )) s (build only)"
  [ ${#failures[@]} -eq 0 ] || { printf 'FAILED: %s\n' "${failures[@]}" >&2; exit 1; }
  exit 0
fi

if ! command -v wine >/dev/null 2>&1; then
  say "SKIPPING the Windows tests: Wine is not installed (Debian package wine64)."
  say "done in $(( $(date +%s) - started )) s"
  [ ${#failures[@]} -eq 0 ] || { printf 'FAILED: %s\n' "${failures[@]}" >&2; exit 1; }
  exit 0
fi

# ---- 4. Tests under Wine --------------------------------------------------------------------
# One Wine server for the whole run instead of one per test program: it stays up while
# programs come and go and leaves by itself 30 seconds after the last one.
export WINEPREFIX="$root/build/windows/wine"
scripts/windows-run.sh cmd /c exit >/dev/null 2>&1 || true  # creates the prefix once
wineserver -p30 || true
say "running the Windows tests under Wine"
if ! ctest --preset windows -j "$jobs"; then
  failures+=("Windows tests failed under Wine (see ctest's list above)")
fi

# ---- 5. The same render on both systems -------------------------------------------------------
say "building the Linux command and plug-in for the comparison (build/windows-native)"
if [ -z "$sample" ]; then
  sample="$root/examples/lake.png"
  [ -f "$sample" ] || sample="/work/shared/samples/A6_wide_panorama_city.png"
fi
out="$root/build/windows/compare"
if ! [ -f "$sample" ]; then
  failures+=("no sample picture '$sample' for the comparison")
elif ! { cmake -S . -B build/windows-native -DCMAKE_BUILD_TYPE=Release -DTARNWELL_BENCH=OFF >/dev/null &&
         cmake --build build/windows-native -j "$jobs" --target tarnwell tarnwell_plugin tw_picture_diff; }; then
  failures+=("the Linux build for the comparison failed, so the renders were not compared")
else
  mkdir -p "$out"
  rm -f "$out/linux.png" "$out/windows.png"
  say "rendering $(basename "$sample") on Linux and under Wine"
  # Wine maps the root folder to drive Z:, so Linux paths work as they are.
  if build/windows-native/bin/tarnwell apply -q "$sample" "$out/linux.png" &&
     scripts/windows-run.sh build/windows/bin/tarnwell.exe apply -q "$sample" "$out/windows.png"; then
    if ! build/windows-native/bin/tw_picture_diff "$out/linux.png" "$out/windows.png" --max "$max_difference"; then
      failures+=("the Windows render differs from the Linux render by more than $max_difference")
    fi
  else
    failures+=("a render for the comparison failed")
  fi
fi
say "done in $(( $(date +%s) - started )) s"
if [ ${#failures[@]} -gt 0 ]; then
  printf 'FAILED: %s\n' "${failures[@]}" >&2
  exit 1
fi
say "all Windows checks passed"
