#!/usr/bin/env bash
# Checks that a Windows module imports only DLLs that every Windows installation has, using
# the cross toolchain's objdump:   windows-check-imports.sh OBJDUMP MODULE
# Prints the imported DLLs; fails naming any DLL outside the list.
set -euo pipefail
objdump="$1"
module="$2"

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
  if echo "$allowed" | tr ' ' '\n' | grep -qx "$lower"; then
    echo "imports $dll"
  else
    echo "imports $dll, which a bare Windows does not have" >&2
    status=1
  fi
done
exit $status
