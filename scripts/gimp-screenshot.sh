#!/usr/bin/env bash
# Takes the README's picture of the GIMP dialog: GIMP under Xvfb opens PICTURE (default
# examples/lake.png) and the Tarnwell 2 dialog on it; once the preview is drawn the dialog's
# window is saved as OUT (default examples/gimp-dialog.png). Needs a build (build/linux) and
# gimp, xvfb, xdotool and imagemagick.
#
#   scripts/gimp-screenshot.sh [PICTURE [OUT]]
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--help" ] || [ "${1:-}" = "-h" ]; then
  sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
PICTURE=$(realpath "${1:-examples/lake.png}")
OUT=$(realpath -m "${2:-examples/gimp-dialog.png}")
TEST_NAME=gimp-screenshot
BIN_DIR=build/linux/bin
PLUGIN_DIR=build/linux/plug-ins
SOURCE_DIR=.
set +e
source tests/gimp/gimp_test_lib.sh
source tests/gimp/gimp_gui_lib.sh
start_xvfb || exit 1
TRACE="$WORK/trace"
export TARNWELL_GIMP_TRACE="$TRACE"
: > "$TRACE"
start_gimp_gui "$WORK/log" "$SCHEME_LIB (tw-plain (tw-load \"$PICTURE\") RUN-INTERACTIVE)"
wait_for_trace "widget-ok" 1 300 && wait_for_preview 1 300 > /dev/null || { tail "$WORK/log"; exit 1; }
xdotool mousemove 0 0  # no tooltip in the picture
sleep 1
window=$(xdotool search --name "^Tarnwell 2$" | head -1)
import -window "$window" "$OUT"
echo "wrote $OUT ($(identify -format '%w x %h' "$OUT"))"
stop_gimp_gui
