#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer,
# the `fuzz` CMake preset) and runs one of them. Usage:
#   fuzz/run.sh TARGET [seconds]      default 60 seconds
# Targets:
#   settings  settings files (*.q8r), with and without their picture
#   jpeg      JPEG streams decoded in memory (the pictures inside settings files)
#   replay    recorded-action files (the JSON of `apply --record` and `--replay`), read,
#             written back, and handed to the plug-in for a render of a small picture
#   picture   PNG, JPEG and TIFF files as the host reads them
# The build goes to build/fuzz; new inputs to build/fuzz/work-TARGET (the small seed corpus
# in fuzz/corpus/TARGET is only read); findings to build/fuzz/findings-TARGET/. To replay
# one finding: build/fuzz/bin/TARGET_fuzz FILE
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
target=${1:-}
seconds=${2:-60}
case "$target" in
  settings|jpeg|replay|picture) ;;
  -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
  *) echo "usage: fuzz/run.sh settings|jpeg|replay|picture [seconds]" >&2; exit 2 ;;
esac
command -v clang++ >/dev/null || { echo "fuzz/run.sh: clang++ is needed (apt-get install clang libclang-rt-dev)" >&2; exit 1; }
out=$root/build/fuzz
cd "$root"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${target}_fuzz" -j "${FUZZ_JOBS:-2}"
mkdir -p "$out/findings-$target" "$out/work-$target" "$out/scratch-$target"
# The replayed render caches its settings in the temporary folder; keep that in the build.
export TARNWELL_TEMP="$out/scratch-$target" TARNWELL_THREADS=1
# Memory set aside but never touched is no fault (readers reserve a picture's rows and
# make them as the data comes), but AddressSanitizer marks every byte of a block on the way
# in and out, so a few gigabytes set aside take it seconds. The run therefore acts as a
# machine that grants no single block over 2 GB: such a request fails as it would there
# (the reader refuses the picture). Memory really used beyond 2 GB is a finding.
export ASAN_OPTIONS=${ASAN_OPTIONS:-allocator_may_return_null=1:max_allocation_size_mb=2048}
# The time limit is wall-clock time, and a run is niced on a shared machine: an input gets
# a minute before it counts as a hang. Inputs over 10 seconds are still kept as slow-unit-*
# in the findings folder, to be looked at (replay one under `time` to see its CPU time).
exec nice "$out/bin/${target}_fuzz" -max_total_time="$seconds" -timeout="${FUZZ_TIMEOUT:-60}" -rss_limit_mb=2048 \
  -malloc_limit_mb=1048576 -max_len=70000 -print_final_stats=1 \
  -artifact_prefix="$out/findings-$target/" "$out/work-$target" "$here/corpus/$target"
