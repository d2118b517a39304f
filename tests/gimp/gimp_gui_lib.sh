# GIMP with its user interface under Xvfb, for the dialog test, the screenshot and the
# benchmark. The plug-in writes what they need to know into TARNWELL_GIMP_TRACE: where its
# widgets are on the screen ("widget-NAME X Y W H"), and a line per preview shown.

for tool in Xvfb xdotool import compare gimp-2.10; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $TEST_NAME: $tool is not installed (scripts/test.sh installs xvfb, xdotool, imagemagick, gimp)"
    exit 77
  fi
done

XVFB_PID=""
GIMP_PID=""

# GIMP has been seen to hang in its own shutdown after a test had passed (once, with the
# sanitizers' build): `timeout` passes the TERM on and waits for it. After ten seconds
# GIMP and its `timeout` are killed outright, so a finished test never runs into CTest's limit.
stop_gimp_gui() {
  if [ -n "$GIMP_PID" ] && kill "$GIMP_PID" 2>/dev/null; then
    for _ in $(seq 100); do
      kill -0 "$GIMP_PID" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$GIMP_PID" 2>/dev/null; then
      echo "  GIMP did not stop within 10 s of TERM; killing it"
      pkill -KILL -P "$GIMP_PID" 2>/dev/null
      kill -KILL "$GIMP_PID" 2>/dev/null
    fi
    wait "$GIMP_PID" 2>/dev/null
  fi
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  GIMP_PID=""
  XVFB_PID=""
}
trap 'stop_gimp_gui; rm -rf "$WORK"' EXIT

# A private X display; -displayfd tells which number was free.
start_xvfb() {
  local fd_file="$WORK/display"
  Xvfb -displayfd 3 -screen 0 1400x1000x24 -nolisten tcp 3> "$fd_file" 2>/dev/null &
  XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fd_file" ] && break
    sleep 0.1
  done
  [ -s "$fd_file" ] || { fail "Xvfb did not start"; return 1; }
  export DISPLAY=":$(head -1 "$fd_file")"
}

# start_gimp_gui LOG EXPRESSION...: GIMP with its windows, running the expressions.
start_gimp_gui() {
  local log="$1"
  shift
  local args=()
  for expression in "$@"; do args+=(-b "$expression"); done
  timeout "$GIMP_TIMEOUT" gimp-2.10 -d -f -s --no-splash "${args[@]}" -b '(gimp-quit 0)' > "$log" 2>&1 &
  GIMP_PID=$!
}

# wait_for_trace PATTERN COUNT SECONDS: until PATTERN has appeared COUNT times in the trace.
wait_for_trace() {
  local deadline=$((SECONDS + $3))
  while [ $SECONDS -lt $deadline ]; do
    [ "$(grep -c -- "$1" "$TRACE")" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "waited $3 s for \"$1\" (#$2) in the trace"
  return 1
}

wait_for_log() {
  local deadline=$((SECONDS + $3))
  while [ $SECONDS -lt $deadline ]; do
    grep -q -- "$2" "$1" && return 0
    sleep 0.2
  done
  fail "waited $3 s for \"$2\" in GIMP's log"
  return 1
}

# wait_for_preview N SECONDS: prints the checksum of the N-th preview shown.
wait_for_preview() {
  wait_for_trace "preview-pixels-" "$1" "$2" >&2 || return 1
  grep -o "preview-pixels-[0-9]*" "$TRACE" | sed -n "${1}p" | cut -d- -f3
}

# widget_rect NAME N: X Y W H of the named widget at the dialog's N-th opening.
widget_rect() {
  grep "^widget-$1 " "$TRACE" | sed -n "${2}p" | cut -d' ' -f2-5
}

click() {
  xdotool mousemove "$1" "$2" click 1
}

# Types a value into the spin button at X Y W H and leaves it, so GTK takes the value.
type_into() {
  local x=$(($1 + $3 / 2)) y=$(($2 + $4 / 2))
  xdotool mousemove "$x" "$y" click --repeat 3 1
  sleep 0.2
  xdotool key ctrl+a type --delay 50 "$5"
  xdotool key Tab
}

# shot FILE X Y W H: that part of the screen.
shot() {
  import -window root -crop "${4}x${5}+${2}+${3}" "$1"
}
