#!/usr/bin/env bash
# The shipped DLL's export and import tables, read with the mingw binutils' objdump:
# exactly the ten export names, and imports from system DLLs only (the C++ runtime, libgcc
# and winpthread are linked in). That both names of a function lead to the same code is
# checked through GetProcAddress by the module test.
# Usage: pe_tables_test.sh OBJDUMP MODULE
set -euo pipefail
objdump=$1
module=$2

headers=$("$objdump" -p "$module")
fail=0

grep -q 'file format pei-i386' <<<"$("$objdump" -f "$module")" || { echo "FAIL: $module is not a PE32 (i386) file"; fail=1; }

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^\t\[/{print $NF; next} on{exit}' <<<"$headers" | sort)
expected=$(printf '%s\n' QFF_Execute QFF_FilterCount QFF_GetName QFF_Setup QF_GetPluginInfo \
  _QFF_Execute@44 _QFF_FilterCount@0 _QFF_GetName@20 _QFF_Setup@20 _QF_GetPluginInfo@8 | sort)
if [[ "$exports" != "$expected" ]]; then
  echo "FAIL: export names differ from the ten expected:"
  diff <(echo "$expected") <(echo "$exports") || true
  fail=1
fi

imports=$(awk '/DLL Name:/{print toupper($3)}' <<<"$headers" | sort -u)
while read -r dll; do
  case "$dll" in
    KERNEL32.DLL|USER32.DLL|MSVCRT.DLL) ;;
    *) echo "FAIL: imports $dll"; fail=1 ;;
  esac
done <<<"$imports"

if (( fail )); then exit 1; fi
echo "exports: $(tr '\n' ' ' <<<"$exports")"
echo "imports: $(tr '\n' ' ' <<<"$imports")"
echo "1 passed, 0 failed"
