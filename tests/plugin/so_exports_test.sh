#!/usr/bin/env bash
# The Linux build's dynamic symbol table: the five plain export names and nothing else of the
# module's own (exports.map publishes those five, and everything internal has hidden
# visibility).
# Usage: so_exports_test.sh NM MODULE
set -euo pipefail
nm=$1
module=$2

exports=$("$nm" -D --defined-only "$module" | awk '{print $3}' | sort)
expected=$(printf '%s\n' QFF_Execute QFF_FilterCount QFF_GetName QFF_Setup QF_GetPluginInfo | sort)
if [[ "$exports" != "$expected" ]]; then
  echo "FAIL: defined dynamic symbols differ from the five exports:"
  diff <(echo "$expected") <(echo "$exports") || true
  echo "0 passed, 1 failed"
  exit 1
fi
echo "exports: $(tr '\n' ' ' <<<"$exports")"
echo "1 passed, 0 failed"
