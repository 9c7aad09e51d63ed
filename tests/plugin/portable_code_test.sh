#!/usr/bin/env bash
# The default Linux build runs on any x86-64: no AVX (VEX- or EVEX-encoded) instruction in the
# given programs and libraries, which a processor without AVX would stop on.
# Usage: portable_code_test.sh OBJDUMP FILE...
set -euo pipefail
objdump=$1
shift
failed=0
for file in "$@"; do
  # AVX instructions are the ones whose mnemonic starts with 'v' (vmovdqu, vpaddd, ...); the
  # base set has only verr and verw, which no compiler emits for this code.
  found=$("$objdump" -d --no-show-raw-insn "$file" |
          grep -cP '^\s+[0-9a-f]+:\s+v(?!err|erw)[a-z0-9]+\b' || true)
  if (( found > 0 )); then
    echo "FAIL: $file has $found AVX instructions"
    failed=$((failed + 1))
  else
    echo "ok: $file has no AVX instruction"
  fi
done
echo "$(( $# - failed )) passed, $failed failed"
(( failed == 0 ))
