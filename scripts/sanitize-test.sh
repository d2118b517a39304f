#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer (the linux-sanitize
# preset, in build/linux-sanitize) and runs the whole suite there. Any report of either
# sanitizer, or a leak, fails the test that caused it.
set -euo pipefail
cd "$(dirname "$0")/.."
TARNWELL_EXTRA_PACKAGES=(python3-psd-tools imagemagick opensp w3c-sgml-lib tidy
                         libjpeg-turbo-progs jpeginfo libimage-exiftool-perl)
source scripts/deps.sh
cmake --preset linux-sanitize >/dev/null
start=$SECONDS
cmake --build --preset linux-sanitize -j "$(nproc)"
echo "sanitize-test: build took $((SECONDS - start)) s" >&2
# The second PSD reader, shared with the plain build when it is already there.
if [ -d build/linux/npm/node_modules/ag-psd ] && [ ! -e build/linux-sanitize/npm ]; then
  ln -s ../linux/npm build/linux-sanitize/npm
fi
# Stop at the first report with its stack, and check for leaks when each test program ends.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0:halt_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
start=$SECONDS
status=0
ctest --preset linux-sanitize -j "$(nproc)" || status=$?
echo "sanitize-test: tests took $((SECONDS - start)) s" >&2
exit "$status"
