#!/usr/bin/env bash
# package_notes_test.sh PACKAGE_DIR PACKAGE_SUFFIX
# The texts the package ships, as configured into PACKAGE_DIR: Windows line ends, the
# Japanese notes' byte-order mark, and, in an -untested package only, the word in both notes
# and UNTESTED.txt beside SHA256SUMS.
set -uo pipefail
dir=$1 suffix=$2
failed=0
fail() { echo "FAIL: $*"; failed=1; }

for text in README-en.txt README-ja.txt LICENSE; do
  [[ -f $dir/$text ]] || { fail "no $dir/$text"; continue; }
  [[ $(grep -c $'\r$' "$dir/$text") -eq $(wc -l <"$dir/$text") ]] || fail "$text has a line without CRLF"
done
[[ $(head -c 3 "$dir/README-ja.txt" | od -An -tx1 | tr -d ' ') == efbbbf ]] ||
  fail "README-ja.txt does not start with its byte-order mark"

says() { grep -qi "$2" "$dir/$1"; }
if [[ $suffix == *untested* ]]; then
  says README-en.txt untested || fail "README-en.txt of an -untested package does not say so"
  says README-ja.txt 未テスト || fail "README-ja.txt of an -untested package does not say so"
  says UNTESTED.txt untested || fail "an -untested package has no UNTESTED.txt"
else
  says README-en.txt untested && fail "README-en.txt of a tested package says untested"
  says README-ja.txt 未テスト && fail "README-ja.txt of a tested package says untested"
  [[ ! -e $dir/UNTESTED.txt ]] || fail "a tested package has UNTESTED.txt"
fi
exit $failed
