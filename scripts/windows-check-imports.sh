#!/usr/bin/env bash
# Checks that a Windows module imports only DLLs that every Windows installation has, using
# the cross toolchain's objdump:   windows-check-imports.sh OBJDUMP MODULE [--not DLL]...
# Prints the imported DLLs; fails naming any DLL outside the list, or any DLL given with
# --not (for libraries the module must load at run time instead of importing).
set -euo pipefail
objdump="$1"
module="$2"
shift 2
refused=""
while [ $# -gt 0 ]; do
  case "$1" in
    --not) refused="$refused $(echo "${2:?--not needs a DLL name}" | tr '[:upper:]' '[:lower:]')"; shift 2 ;;
    *) echo "windows-check-imports.sh: unknown argument '$1'" >&2; exit 2 ;;
  esac
done

# The system DLLs the plug-in and its dialog may use; the C++ run-time, libgcc, winpthread,
# zlib and libjpeg must be linked in, never imported.
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
comctl32.dll comdlg32.dll msvcrt.dll ntdll.dll uxtheme.dll shlwapi.dll windowscodecs.dll msimg32.dll"

dlls="$("$objdump" -p "$module" | sed -n 's/^[[:space:]]*DLL Name: //p')"
if [ -z "$dlls" ]; then
  echo "no imports found in $module (is it a Windows module?)" >&2
  exit 1
fi
status=0
for dll in $dlls; do
  lower="$(echo "$dll" | tr '[:upper:]' '[:lower:]')"
  if echo "$refused" | tr ' ' '\n' | grep -qx "$lower"; then
    echo "imports $dll, which it must load at run time instead" >&2
    status=1
  elif echo "$allowed" | tr ' ' '\n' | grep -qx "$lower"; then
    echo "imports $dll"
  else
    echo "imports $dll, which a bare Windows does not have" >&2
    status=1
  fi
done
exit $status
