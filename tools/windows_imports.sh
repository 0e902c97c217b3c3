#!/usr/bin/env bash
# windows_imports.sh -- prints the DLLs a Windows program imports, and fails when one of them is
# not Windows' own: the zips carry nothing but the program and its two files.
#   tools/windows_imports.sh OBJDUMP PROGRAM.exe
set -euo pipefail
objdump=$1
program=$2
system_dlls=' kernel32.dll user32.dll gdi32.dll opengl32.dll glu32.dll msvcrt.dll '

mapfile -t dlls < <("$objdump" -p "$program" | sed -n 's/^\tDLL Name: //p')
[ ${#dlls[@]} -gt 0 ] || { echo "windows_imports: $program imports nothing that objdump shows" >&2; exit 1; }
status=0
for dll in "${dlls[@]}"; do
    if [[ "$system_dlls" == *" ${dll,,} "* ]]; then
        echo "$(basename "$program") imports $dll"
    else
        echo "$(basename "$program") imports $dll, which is not a Windows system DLL" >&2
        status=1
    fi
done
exit $status
