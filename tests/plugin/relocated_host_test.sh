#!/usr/bin/env bash
# Runs a host test program from a copy of it in a folder whose name no ANSI code page can
# write (Cyrillic and an emoji), where the module's colour query must still find the host's
# executable and its QFF_QueryClientInfo.
# Usage: relocated_host_test.sh WORK PROGRAM GTEST_FILTER [EMULATOR...]
set -euo pipefail
work=$1 program=$2 filter=$3
shift 3
folder="$work/Цвет 😀"
rm -rf "$work"
mkdir -p "$folder"
copy="$folder/$(basename "$program")"
cp "$program" "$copy"
exec "$@" "$copy" --gtest_filter="$filter"
