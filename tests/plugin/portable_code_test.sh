#!/usr/bin/env bash
# A build for any x86 runs on any x86 processor of its floor (x86-64, or SSE2 for the Windows
# module): no AVX (VEX- or EVEX-encoded) instruction in the given programs and libraries, which
# a processor without AVX would stop on, but in the functions the module runs only after it
# has asked the processor (names matching ALLOWED, an extended regular expression on
# objdump's demangled function names).
# Usage: portable_code_test.sh OBJDUMP ALLOWED FILE...
set -euo pipefail
objdump=$1
allowed=$2
shift 2
failed=0
for file in "$@"; do
  # AVX instructions are the ones whose mnemonic starts with 'v' (vmovdqu, vpaddd, ...) but
  # verr, verw and the virtualisation set (vmread, vmcall, ...), which no compiler emits and
  # which objdump shows only where it decodes data as code. Each is counted under the
  # function it lies in (objdump's "<name>:" lines).
  counts=$("$objdump" -d -C --no-show-raw-insn "$file" | awk -v allowed="$allowed" '
    /^[0-9a-f]+ <.*>:$/ { fn = $0; sub(/^[0-9a-f]+ </, "", fn); sub(/>:$/, "", fn); next }
    /^ *[0-9a-f]+:\t+v[a-z0-9]+/ {
      op = $0; sub(/^ *[0-9a-f]+:\t+/, "", op); sub(/[ \t].*/, "", op)
      if (op ~ /^(verr|verw|vm(read|write|call|launch|resume|xon|xoff|ptrld|ptrst|clear|func|run|load|save|mcall))$/) next
      if (allowed != "" && fn ~ allowed) chosen++; else { stray++; where[fn] = 1 }
    }
    END {
      printf "%d %d\n", stray, chosen
      for (f in where) print f
    }')
  read -r stray chosen <<<"$(head -n1 <<<"$counts")"
  if (( stray > 0 )); then
    echo "FAIL: $file has $stray AVX instructions outside the run-time-chosen code, in:"
    tail -n +2 <<<"$counts" | sed 's/^/  /'
    failed=$((failed + 1))
  else
    echo "ok: $file has no AVX instruction but the $chosen in run-time-chosen code"
  fi
done
echo "$(( $# - failed )) passed, $failed failed"
(( failed == 0 ))
