#!/bin/sh
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs one of them. Usage:
#   fuzz/run.sh settings|jpeg [seconds]      default 60 seconds
# The build goes to build/fuzz; findings land in build/fuzz/findings-<target>/.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
target=${1:-}
seconds=${2:-60}
case "$target" in
  settings|jpeg) ;;
  *) echo "usage: fuzz/run.sh settings|jpeg [seconds]" >&2; exit 2 ;;
esac
command -v clang++ >/dev/null || { echo "fuzz/run.sh: clang++ is needed (apt-get install clang)" >&2; exit 1; }
out=$root/build/fuzz
mkdir -p "$out/findings-$target" "$out/work-$target"
flags="-std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -I$root"
sources="$root/settings/picture.cpp $root/settings/jpeg_memory.cpp"
if [ "$target" = settings ]; then
  sources="$sources $root/settings/settings_file.cpp $root/params/render_params.cpp $root/platform/big_endian.cpp \
    $root/platform/platform_common.cpp $root/platform/platform_posix.cpp"
fi
clang++ $flags "$here/${target}_fuzz.cpp" $sources -ljpeg -lpthread -o "$out/${target}_fuzz"
# New inputs go to a scratch folder; the small seed corpus in the tree is only read.
exec nice "$out/${target}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=70000 \
  -artifact_prefix="$out/findings-$target/" "$out/work-$target" "$here/corpus/$target"
