#!/usr/bin/env bash
# Checks that a Windows executable needs no DLL beyond those Windows ships
# (a lab computer has no mingw runtime and no SDL): lists its imports and
# fails, naming them, on any other.
#   scripts/windows_imports.sh OBJDUMP PROGRAM.exe
set -u
objdump=${1:?usage: scripts/windows_imports.sh OBJDUMP PROGRAM.exe}
program=${2:?usage: scripts/windows_imports.sh OBJDUMP PROGRAM.exe}
imports=$("$objdump" -p "$program" | awk '/DLL Name:/ { print $3 }') || exit 1
[ -n "$imports" ] || { echo "$program: no imports found (not a Windows program?)" >&2; exit 1; }
foreign=()
for dll in $imports; do
  case "${dll,,}" in
    kernel32.dll | user32.dll | gdi32.dll | opengl32.dll | winmm.dll | msvcrt.dll | advapi32.dll | \
      shell32.dll | ole32.dll | comdlg32.dll | ws2_32.dll | bcrypt.dll | ntdll.dll | api-ms-win-*) ;;
    *) foreign+=("$dll") ;;
  esac
done
if [ ${#foreign[@]} != 0 ]; then
  echo "$program needs DLLs Windows does not ship: ${foreign[*]} (link them statically)" >&2
  exit 1
fi
