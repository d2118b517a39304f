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
# Wine's own MS Sans Serif, Tahoma and Marlett, which Debian's Wine does not find by itself:
# without them the plug-in's dialog (apply --dialog) comes out a third too large in a
# stand-in font, and caption buttons show letters.
fonts="$WINEPREFIX/drive_c/windows/Fonts"
for font in sserife.fon ms_sans_serif.ttf tahoma.ttf marlett.ttf; do
  if [ -d "$fonts" ] && [ ! -f "$fonts/$font" ] && [ -f "/usr/share/wine/fonts/$font" ]; then
    cp "/usr/share/wine/fonts/$font" "$fonts/" || true
  fi
done

exec wine "$@"
