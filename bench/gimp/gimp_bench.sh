#!/usr/bin/env bash
# Speed of the GIMP plug-in on a 1920 x 1080 photograph, against the command line:
#   1. the whole filter inside GIMP (headless): the plug-in's own time from reading the
#      layer to merging the result, and GIMP's wall time less a run that only loads the
#      picture; and `tarnwell apply` on the same picture and settings;
#   2. in the dialog (GIMP under Xvfb, driven with xdotool): the time from a changed value
#      to the updated preview on screen, and the preview render alone.
# Both styles. Needs a build (build/linux) and gimp, xvfb, xdotool, imagemagick.
#
#   bench/gimp/gimp_bench.sh [PICTURE]   (default: the full-size sunset sample, cut to 1920 x 1080)
set -uo pipefail
cd "$(dirname "$0")/../.."
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
SOURCE_PICTURE="${1:-/work/shared/samples/A3_sunset_sun_in_frame_full.png}"
TEST_NAME=gimp-bench
BIN_DIR=build/linux/bin
PLUGIN_DIR=build/linux/plug-ins
SOURCE_DIR=.
source tests/gimp/gimp_test_lib.sh
source tests/gimp/gimp_gui_lib.sh
W="$WORK"
PICTURE="$W/hd.png"
convert "$SOURCE_PICTURE" -resize 1920x -gravity center -crop 1920x1080+0+0 +repage "$PICTURE" || exit 1
export TARNWELL_GIMP_TRACE="$W/trace"
TRACE="$TARNWELL_GIMP_TRACE"
echo "picture: $(identify -format '%w x %h' "$PICTURE") from $SOURCE_PICTURE; $(nproc) processors;" \
     "load average $(cut -d' ' -f1-3 /proc/loadavg)"

seconds() { date +%s.%N; }
elapsed() { echo "$2 - $1" | bc; }

# ---- 1. The whole filter --------------------------------------------------------------------
: > "$TRACE"
start=$(seconds)
gimp_batch "$W/log" "$SCHEME_LIB (tw-load \"$PICTURE\")" || exit 1
baseline=$(elapsed "$start" "$(seconds)")
for style in 1 2; do
  name=$([ $style = 1 ] && echo Simple || echo Complex)
  : > "$TRACE"
  start=$(seconds)
  gimp_batch "$W/log" "$SCHEME_LIB (define img (tw-load \"$PICTURE\"))
    (tw-apply img RUN-NONINTERACTIVE 50 0 0 $style 1 1841 0.5 0.2 -0.408248 -0.408248 0.816497 \"\")" || exit 1
  wall=$(elapsed "$start" "$(seconds)")
  inside=$(awk '$1 == "filter" { print $2 }' "$TRACE")
  start=$(seconds)
  TARNWELL_TEMP="$W/" "$TARNWELL" apply "$PICTURE" "$W/cli.png" -q --set Style=$style || exit 1
  cli=$(elapsed "$start" "$(seconds)")
  printf 'whole filter, %-7s  in GIMP %6.2f s (plug-in from read to merge %6.2f s)   tarnwell apply %6.2f s\n' \
    "$name" "$(elapsed "$baseline" "$wall")" "$inside" "$cli"
done

# ---- 2. The preview in the dialog -------------------------------------------------------------
start_xvfb || exit 1
: > "$TRACE"
# The second dialog opens with the Simple style: the last values of the run before it.
start_gimp_gui "$W/log" "$SCHEME_LIB (tw-plain (tw-load \"$PICTURE\") RUN-INTERACTIVE)" \
  "$SCHEME_LIB (define small (tw-load \"$PICTURE\")) (gimp-image-scale small 64 36)
   (tw-apply small RUN-NONINTERACTIVE 50 0 0 1 1 1841 0.5 0.2 -0.408248 -0.408248 0.816497 \"\")
   (tw-plain (tw-load \"$PICTURE\") RUN-INTERACTIVE)"
for round in 1 2; do
  name=$([ $round = 1 ] && echo Complex || echo Simple)
  wait_for_trace "widget-ok" $round 300 || exit 1
  before=$(grep -c "^preview-pixels" "$TRACE")
  wait_for_preview $((before + 1)) 300 > /dev/null || exit 1
  read -r hx hy hw hh < <(widget_rect horizon $round)
  marks=$(grep -c "^preview " "$TRACE")
  for value in 40 45 55 60 50; do
    type_into "$hx" "$hy" "$hw" "$hh" $value
    marks=$((marks + 1))
    wait_for_trace "^preview " $marks 300 || exit 1
    sleep 0.5
  done
  latency=$(grep "^preview " "$TRACE" | tail -5 | awk '{ s += $2 } END { printf "%.3f", s / NR }')
  render=$(grep "^preview-render " "$TRACE" | tail -5 | awk '{ s += $2 } END { printf "%.3f", s / NR }')
  read -r _ _ pw ph < <(widget_rect preview $round)
  printf 'preview %dx%d, %-7s  changed value to preview on screen %.3f s (mean of 5; quiet period 0.12 s), render %.3f s\n' \
    "$pw" "$ph" "$name" "$latency" "$render"
  read -r ox oy ow oh < <(widget_rect ok $round)
  xdotool key Escape
done
stop_gimp_gui
