#!/usr/bin/env bash
# Runs one Windows program of the cross build under Wine: the test runner's emulator.
# Keeps Wine's own prefix inside the build folder and its chatter off the output.
set -euo pipefail

if ! command -v wine >/dev/null 2>&1; then
  echo "windows-run.sh: Wine is not installed, so Windows programs cannot run here;" \
       "scripts/windows-test.sh installs it (Debian package wine64)." >&2
  exit 127
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${WINEPREFIX:-$root/build/windows/wine}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer dialogs: nothing here needs .NET or a browser engine.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
export DISPLAY="${DISPLAY:-}"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init >/dev/null 2>&1 || true
  wineserver -w || true
fi

exec wine "$@"
