#!/usr/bin/env bash
# The shipped DLL's export and import tables, read with the mingw binutils' objdump:
# exactly the ten export names, and imports from system DLLs only (the C++ runtime, libgcc
# and winpthread are linked in). That both names of a function lead to the same code is
# checked through GetProcAddress by the module test. Then the version resource, as windres
# reads it back: a DLL's, in the Japanese UTF-16 table, with the build's version (the module
# test reads every value through Windows itself where the module can run).
# Usage: pe_tables_test.sh OBJDUMP WINDRES MODULE VERSION (VERSION as CMake's: 0.5.0)
set -euo pipefail
objdump=$1
windres=$2
module=$3
IFS=. read -r major minor patch <<<"$4"

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

resource=$("$windres" -i "$module" -O rc 2>&1) || resource=""
want_resource=(
  "FILEVERSION $major, $minor, ${patch:-0}, 0"
  'FILETYPE 0x2'
  'BLOCK "041104b0"'
  'VALUE "Translation", 0x411, 1200'
  'VALUE "FileDescription", L"\x900f\x660e\x5ea6"'
  'VALUE "OriginalFilename", "veilmere.qfi"'
)
for line in "${want_resource[@]}"; do
  grep -qF -- "$line" <<<"$resource" || { echo "FAIL: the version resource lacks: $line"; fail=1; }
done

if (( fail )); then exit 1; fi
echo "exports: $(tr '\n' ' ' <<<"$exports")"
echo "imports: $(tr '\n' ' ' <<<"$imports")"
echo "version resource: $major.$minor.${patch:-0}.0, Japanese, UTF-16"
echo "1 passed, 0 failed"
