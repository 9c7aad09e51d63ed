#!/usr/bin/env bash
# Every format qfhost writes passes Debian's pngcheck, carrying every chunk type qfhost keeps.
# The inputs are png_seeds' interlaced files (each with every kept chunk type: iCCP for the
# colour ones, sRGB for the grey ones); each row of the table runs one filter over one and
# names the output's depth and colour type, and whether it has a tRNS chunk, so that the
# rows cover every output format.
#
# Usage: pngcheck_test.sh WORK PNG_SEEDS QFHOST MODULE
# Exits 77 (CTest's skip) where pngcheck is not installed.
set -uo pipefail

work=$1 seeds=$2 qfhost=$3 module=$4
if ! command -v pngcheck >/dev/null; then
  echo "pngcheck is not installed (Debian's package pngcheck; scripts/install-deps installs it)" >&2
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/in" "$work/out"
"$seeds" "$work/in" >/dev/null || exit 1

# seed (colour type-depth), filter and its options, the output's "depth type" and tRNS (1/0)
table=(
  "type0-1bit  8                   1 0 0"
  "type0-2bit  0 --rect 0,0,1,1    2 0 1"
  "type0-4bit  8                   4 0 0"
  "type0-8bit  0 --rect 0,0,1,1    8 0 1"
  "type0-16bit 0 --rect 0,0,1,1    16 0 1"
  "type0-2bit  9                   8 4 0"
  "type4-16bit 8                   16 4 0"
  "type2-8bit  8                   8 2 0"
  "type2-8bit  0 --rect 0,0,1,1    8 2 1"
  "type2-16bit 8                   16 2 0"
  "type0-16bit 1 --fg #FF0000      16 2 1"
  "type3-1bit  9                   1 3 1"
  "type3-2bit  8                   2 3 0"
  "type3-4bit  9                   4 3 1"
  "type3-8bit  8                   8 3 0"
  "type2-8bit  9                   8 6 0"
  "type4-8bit  1 --fg #FF0000      8 6 0"
  "type6-16bit 9                   16 6 0"
)
failed=0
for row in "${table[@]}"; do
  read -r -a fields <<<"$row"
  seed=${fields[0]} expected="${fields[*]: -3}"
  options=("${fields[@]:1:${#fields[@]}-4}")
  out=$work/out/$seed-${options[0]}.png
  kept=(gAMA cHRM pHYs tEXt zTXt iTXt eXIf)
  [[ $seed == type0-* || $seed == type4-* ]] && kept+=(sRGB) || kept+=(iCCP)
  if ! "$qfhost" apply --quiet "$module" "${options[@]}" "$work/in/seed-$seed-adam7.png" "$out"; then
    echo "FAIL: $row: qfhost failed"; failed=$((failed + 1)); continue
  fi
  report=$(pngcheck -v "$out" 2>&1) || { echo "FAIL: $row: pngcheck: $(grep -iE 'error|invalid|not allowed' <<<"$report" | head -n 3 | xargs)"; failed=$((failed + 1)); continue; }
  format="$(od -An -tu1 -j24 -N2 "$out" | xargs) $(grep -q ' chunk tRNS ' <<<"$report" && echo 1 || echo 0)"
  [[ $format == "$expected" ]] || { echo "FAIL: $row: the output is $format"; failed=$((failed + 1)); }
  for type in "${kept[@]}"; do
    grep -q " chunk $type " <<<"$report" || { echo "FAIL: $row: no $type chunk"; failed=$((failed + 1)); }
  done
done
echo "pngcheck_test: ${#table[@]} outputs, $failed failures"
((failed == 0))
