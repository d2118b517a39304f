#!/usr/bin/env bash
# The dialog in real GIMP under Xvfb, driven with xdotool as a user would drive it:
#   1. it opens, and its preview shows a render;
#   2. typing a new Horizon changes the preview, on screen;
#   3. OK applies exactly what `tarnwell apply` renders with that value;
#   4. the next opening starts from those values (its first preview is the one the first
#      dialog showed last), and Escape after a change cancels: the picture stays as it was,
#      and Filters > Repeat still gives what OK gave.
#
#   gimp_dialog_test.sh BIN_DIR PLUGIN_DIR SOURCE_DIR
TEST_NAME="gimp-dialog"
BIN_DIR="$1"
PLUGIN_DIR="$2"
SOURCE_DIR="$3"
source "$(dirname "$0")/gimp_test_lib.sh"
source "$(dirname "$0")/gimp_gui_lib.sh"
W="$WORK"

start_xvfb || finish
TRACE="$W/trace"
export TARNWELL_GIMP_TRACE="$TRACE"
: > "$TRACE"

# GIMP runs the dialog twice from one script: OK the first time, Escape the second (on a
# fresh copy of the picture, so both openings preview the same picture); then Filters >
# Repeat on another fresh copy must give what the first dialog's OK gave.
NEWEST='(vector-ref (cadr (gimp-image-list)) 0)'
start_gimp_gui "$W/log" "$SCHEME_LIB
  (gimp-message-set-handler CONSOLE)
  (define img (tw-load \"$SOURCE_DIR/examples/lake.png\"))
  (gimp-image-scale img 320 213)
  (tw-save-png img \"$W/in.png\")
  (tw-plain img RUN-INTERACTIVE)
  (tw-save-png img \"$W/ok.png\")
  (gimp-message \"FIRST-DIALOG-DONE\")" \
  "$SCHEME_LIB (tw-plain (tw-load \"$W/in.png\") RUN-INTERACTIVE)" \
  "$SCHEME_LIB (gimp-message-set-handler CONSOLE)
   (tw-save-png $NEWEST \"$W/after-escape.png\")
   (define again (tw-load \"$W/in.png\"))
   (tw-plain again RUN-WITH-LAST-VALS)
   (tw-save-png again \"$W/repeat.png\")
   (gimp-message \"SECOND-DIALOG-DONE\")"

# ---- First opening: change Horizon, see the preview change, press OK -------------------------
wait_for_trace "widget-ok" 1 120 || finish
first_preview=$(wait_for_preview 1 120) || finish
read -r px py pw ph < <(widget_rect preview 1)
shot "$W/before.png" "$px" "$py" "$pw" "$ph"
read -r hx hy hw hh < <(widget_rect horizon 1)
type_into "$hx" "$hy" "$hw" "$hh" 30
second_preview=$(wait_for_preview 2 120) || finish
[ "$second_preview" != "$first_preview" ] || fail "the preview's pixels did not change after typing Horizon 30"
shot "$W/after.png" "$px" "$py" "$pw" "$ph"
changed=$(compare -metric AE "$W/before.png" "$W/after.png" null: 2>&1 | cut -d' ' -f1)
echo "  preview on screen: $changed pixels changed"
[ "${changed:-0}" -gt 100 ] 2>/dev/null || fail "the preview on screen did not change ($changed pixels)"
read -r ox oy ow oh < <(widget_rect ok 1)
click "$((ox + ow / 2))" "$((oy + oh / 2))"
wait_for_log "$W/log" FIRST-DIALOG-DONE 180 || finish
"$TARNWELL" apply "$W/in.png" "$W/ref.png" -q --set Horizon=30 || fail "tarnwell apply failed"
check_pictures "OK applies the dialog's values" same "$W/ok.png" "$W/ref.png"

# ---- Second opening: the last values; a change, then Escape -----------------------------------
wait_for_trace "widget-ok" 2 120 || finish
reopened=$(wait_for_preview 3 120) || finish
[ "$reopened" = "$second_preview" ] || fail "the dialog did not open with the last values (its preview differs)"
read -r hx hy hw hh < <(widget_rect horizon 2)
type_into "$hx" "$hy" "$hw" "$hh" 75
wait_for_preview 4 120 > /dev/null || finish
xdotool key Escape
wait_for_log "$W/log" SECOND-DIALOG-DONE 120 || finish
check_pictures "Escape changes nothing" same "$W/after-escape.png" "$W/in.png"
check_pictures "Repeat still gives the OK'd look" same "$W/repeat.png" "$W/ok.png"
grep -q "Plug-in crashed" "$W/log" && fail "a plug-in crashed"
# The one script error allowed is the cancelled second dialog's (GIMP with its windows
# may show script errors in a window instead of the log; the files checked above catch those).
if grep -A2 "execution error" "$W/log" | grep "^Error" | grep -qv "plug-in-tarnwell was cancelled"; then
  fail "a script failed: $(grep -A2 'execution error' "$W/log" | grep '^Error' | grep -v 'was cancelled' | head -1)"
fi

stop_gimp_gui
[ "$FAILED" -ne 0 ] && { echo "--- GIMP's log:"; tail -30 "$W/log"; echo "--- trace:"; cat "$TRACE"; }
finish
