#!/usr/bin/env bash
# The shipped DLL's export and import tables, read with the mingw binutils' objdump:
# exactly the ten export names, and imports from system DLLs only (the C++ runtime, libgcc
# and winpthread are linked in). That both names of a function lead to the same code is
# checked through GetProcAddress by the module test. Then the version resource, as windres
# reads it back: a DLL's, in the Japanese UTF-16 table, with the build's version (the module
# test reads every value through Windows itself where the module can run). And no debug
# sections: those are in the separate file the module links to.
# Usage: pe_tables_test.sh OBJDUMP WINDRES MODULE VERSION (VERSION as CMake's: 0.5.0)
set -euo pipefail
objdump=$1
windres=$2
module=$3
IFS=. read -r major minor patch <<<"$4"

headers=$("$objdump" -p "$module")
fail=0

grep -q 'file format pei-i386' <<<"$("$objdump" -f "$module")" || { echo "FAIL: $module is not a PE32 (i386) file"; fail=1; }

# No debug information inside: it is in the file that .gnu_debuglink names, beside the module.
if grep -q ' \.debug_' <<<"$("$objdump" -h "$module")"; then
  echo "FAIL: $module carries debug sections"
  fail=1
fi
link_hex=$("$objdump" -s -j .gnu_debuglink "$module" 2>/dev/null | grep '^ [0-9a-f]' | cut -c11-45 | tr -d ' \n')
link=
for ((i = 0; i < ${#link_hex}; i += 2)); do
  [[ ${link_hex:i:2} == 00 ]] && break
  link+=$(printf "\\x${link_hex:i:2}")
done
if [[ $link != "veilmere-$4-win32.debug" ]]; then
  echo "FAIL: the module's debug link names '$link', not veilmere-$4-win32.debug"
  fail=1
elif ! grep -q ' \.debug_info' <<<"$("$objdump" -h "$(dirname "$module")/$link" 2>/dev/null)"; then
  echo "FAIL: $(dirname "$module")/$link holds no debug information"
  fail=1
fi

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
