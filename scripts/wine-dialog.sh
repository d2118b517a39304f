#!/usr/bin/env bash
# Runs Windows programs that open windows (the dialog tests, `tarnwell.exe apply --dialog`)
# under Wine on a virtual X screen, in a Wine prefix set up for them:
#
#   wine-dialog.sh prepare PREFIX [--dpi 96|120]     make the prefix once (kept: a stamp file
#                                                    says it is ready)
#   wine-dialog.sh run PREFIX [--dpi N] PROGRAM ARGS  run PROGRAM in it on a fresh Xvfb screen
#   wine-dialog.sh check                             say whether Wine and Xvfb are here
#
# The prefix gets Wine's own MS Sans Serif, Tahoma and Marlett (Debian's Wine does not find
# them by itself: dialogs then come out a third too large, and caption buttons show
# letters), unmanaged windows (no window manager means a 2-second wait on every hide
# without it) and, with --dpi 120, large fonts. Every run has its own Xvfb and Wine server, which is stopped afterwards, so one
# test's windows never meet another's. A run that outlives TARNWELL_DIALOG_TIMEOUT seconds
# (default 240) is stopped after a screenshot of the X screen is kept beside the prefix
# (ImageMagick's `import`), so a hung dialog can be looked at, and is then run once more
# on a fresh screen and server (TARNWELL_DIALOG_HANG_RETRIES, default 1): Wine under Xvfb
# very rarely stalls a run that passes hundreds of times, and a real hang hangs again.
# A run that fails without hanging is never repeated.
#
# Exit status: the program's; 77 when Wine or Xvfb is missing (CTest counts that as
# skipped); 2 for a bad command line.
set -uo pipefail

skip=77
say() { echo "wine-dialog.sh: $*" >&2; }

missing_tools() {
  local missing=()
  command -v wine >/dev/null 2>&1 || missing+=("Wine (Debian package wine64)")
  command -v wineserver >/dev/null 2>&1 || missing+=("wineserver (Debian package wine64)")
  command -v xvfb-run >/dev/null 2>&1 || missing+=("xvfb-run (Debian package xvfb)")
  command -v Xvfb >/dev/null 2>&1 || missing+=("Xvfb (Debian package xvfb)")
  if [ ${#missing[@]} -gt 0 ]; then
    local list
    list="$(printf '%s, ' "${missing[@]}")"
    echo "SKIPPED: the dialog tests need ${list%, }; scripts/windows-test.sh installs them"
    return 0
  fi
  return 1
}

usage() { sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2; }

# Options shared by prepare and run.
parse_dpi() {
  case "$1" in
    96|120) dpi="$1" ;;
    *) say "--dpi takes 96 or 120, not '$1'"; exit 2 ;;
  esac
}

wine_env() {
  export WINEPREFIX="$prefix"
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No Mono or Gecko installer dialogs: nothing here needs .NET or a browser engine.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
}

prepare() {
  local stamp="$prefix/tarnwell-dialog-prefix"
  # The stamp names what the prefix was made with; a prefix made otherwise is made again.
  local want="dpi=$dpi wine=$(wine --version 2>/dev/null) fonts=4"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ]; then
    echo "dialog prefix $prefix is ready ($want)"
    return 0
  fi
  local started=$(date +%s)
  rm -rf "$prefix"
  mkdir -p "$prefix"
  wine_env
  # No display while the prefix is made: nothing is shown, and wineboot does not wait
  # for a screen.
  DISPLAY= wineboot --init >/dev/null 2>&1
  wineserver -w
  local fonts="$prefix/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  local font
  for font in sserife.fon ms_sans_serif.ttf tahoma.ttf marlett.ttf; do
    if [ -f "/usr/share/wine/fonts/$font" ]; then
      cp "/usr/share/wine/fonts/$font" "$fonts/"
    else
      say "warning: /usr/share/wine/fonts/$font is missing; dialogs will use a stand-in font"
    fi
  done
  DISPLAY= wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  DISPLAY= wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  wineserver -w
  if ! grep -q '"Managed"="N"' "$prefix/user.reg"; then
    say "could not write the registry of $prefix"
    return 1
  fi
  echo "$want" >"$stamp"
  echo "dialog prefix $prefix made in $(( $(date +%s) - started )) s ($want)"
}

# Where each thread of the hung program waits. GDB shows the Unix side of Wine (the window
# system's locks and once-only set-ups), and can look even when the loader lock is held;
# Wine's own debugger, used when GDB is missing, needs a thread of its own in the process.
backtrace() {
  local exe="$1" pid wpid
  if command -v gdb >/dev/null 2>&1; then
    for pid in $(pgrep -f "$exe"); do
      [ "$(cat /proc/$pid/comm 2>/dev/null)" = "$(echo "${exe%.exe}" | cut -c1-15)" ] || continue
      echo "wine-dialog.sh: where the threads of $exe (process $pid) wait:"
      timeout 60 gdb -p "$pid" -batch -ex "thread apply all bt 25" 2>/dev/null | grep -E '^(Thread|#)'
    done
    return 0
  fi
  command -v winedbg >/dev/null 2>&1 || return 0
  wpid=$(echo "info proc" | timeout 20 winedbg 2>/dev/null | awk -v exe="'$exe'" '$NF == exe { sub("=", "", $1); print $1; exit }')
  [ -n "$wpid" ] || return 0
  echo "wine-dialog.sh: where the threads of $exe (Windows process $wpid) wait:"
  { echo "bt all"; sleep 15; echo detach; echo quit; } | timeout 40 winedbg $(( 16#$wpid )) 2>/dev/null |
    awk -v p="$wpid" 'function id(x) { sub(/^0+/, "", x); return x }
           /^Backtracing for thread/ { show = (id($7) == id(p)) } show'
}

# Inside xvfb-run: stop a Wine server left by an earlier run (it would keep that run's
# screen), run the program with a time limit, keep a screenshot when it hangs (taken
# before it is stopped, while its windows are still up), and stop this run's server.
run_inside() {
  local limit="$1" shot="$2"
  shift 2
  wineserver -k >/dev/null 2>&1
  wine "$@" &
  local child=$! ticks=0
  while kill -0 $child 2>/dev/null; do
    if [ $ticks -ge $(( limit * 5 )) ]; then
      echo "wine-dialog.sh: $1 did not finish within $limit s and was stopped" >&2
      if command -v import >/dev/null 2>&1 && import -window root "$shot" 2>/dev/null; then
        echo "wine-dialog.sh: the screen as it was: $shot" >&2
      fi
      backtrace "$(basename "$1")" >&2
      kill $child 2>/dev/null
      wineserver -k >/dev/null 2>&1
      wait $child 2>/dev/null
      return 124
    fi
    sleep 0.2
    ticks=$(( ticks + 1 ))
  done
  wait $child
  local status=$?
  wineserver -k >/dev/null 2>&1
  return $status
}

run() {
  if [ ! -f "$prefix/tarnwell-dialog-prefix" ]; then
    say "$prefix is not a dialog prefix yet: run '$0 prepare $prefix' first"
    return 1
  fi
  wine_env
  export TARNWELL_DIALOG_DPI="$dpi"
  local limit="${TARNWELL_DIALOG_TIMEOUT:-240}"
  local shot="$prefix/hung-$(basename "$1" .exe).png"
  # -a picks a free display number, so runs of several build folders can overlap. Two runs
  # that look at the same moment can both pick the same one, and the second program then
  # opens its windows on the first one's screen; so each DPI starts its search elsewhere
  # (the tests of one DPI run one at a time).
  # (xvfb-run reads its options in order: -n must come before -a, or -a searches from its
  # default and -n then forces a number that may be taken.)
  local retries="${TARNWELL_DIALOG_HANG_RETRIES:-1}" status
  for (( attempt = 0; ; ++attempt )); do
    xvfb-run -n $(( 100 + dpi )) -a -s "-screen 0 1280x1024x24" bash -c "$(declare -f backtrace run_inside); run_inside \"\$@\"" \
      run_inside "$limit" "$shot" "$@"
    status=$?
    [ $status -eq 124 ] && [ "$attempt" -lt "$retries" ] || return $status
    say "RETRY: $1 hung (screen kept above); running it once more on a fresh screen and Wine server"
    shot="${shot%.png}-again.png"
  done
}

[ $# -ge 1 ] || usage
command="$1"
shift
case "$command" in
  check)
    if missing_tools; then exit $skip; fi
    echo "Wine $(wine --version) and Xvfb are here"
    exit 0 ;;
  prepare|run) ;;
  -h|--help) usage ;;
  *) say "unknown command '$command'"; usage ;;
esac
[ $# -ge 1 ] || usage
# Wine wants an absolute prefix.
prefix="$(realpath -m "$1")"
shift
dpi=96
while [ $# -gt 0 ]; do
  case "$1" in
    --dpi) [ $# -ge 2 ] || usage; parse_dpi "$2"; shift 2 ;;
    --) shift; break ;;
    *) break ;;
  esac
done
if missing_tools; then exit $skip; fi
case "$command" in
  prepare) prepare ;;
  run) [ $# -ge 1 ] || usage; run "$@" ;;
esac
