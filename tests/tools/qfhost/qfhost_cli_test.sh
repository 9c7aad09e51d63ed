#!/usr/bin/env bash
# qfhost end to end, run as a user runs it from a shell: help, list, apply against the golden
# images, gallery, and the bad inputs that only a whole program meets (its files' kinds, a
# terminal, signals). A failure must be one line on stderr, a non-zero status, nothing on stdout,
# and no output or temporary file left behind.
#
# Usage: qfhost_cli_test.sh WORK SOURCE MODULE QFHOST MAKE_SAMPLE PNG_COMPARE [RUNNER...]
# RUNNER, when given (a Windows build's Wine runner), starts every program; the natively
# built and the Wine-run qfhost are held to the same golden files.
set -uo pipefail

work=$1 source=$2 module=$3 qfhost=$4 make_sample=$5 png_compare=$6
shift 6
runner=("$@")
data=$source/tests/data
sample=$data/sample.png
# Wine turns the command line into UTF-16 by the locale's character set: the Japanese filter
# names need a UTF-8 one.
export LC_ALL=C.UTF-8

passed=0
failed=0
check() {  # check DESCRIPTION COMMAND...: counts COMMAND's success
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $what"
  fi
}

# qf ARGS...: runs qfhost, leaving its status in $status and its output in $work/stdout and
# $work/stderr.
qf() {
  "${runner[@]}" "$qfhost" "$@" >"$work/stdout" 2>"$work/stderr"
  status=$?
}
succeeded() {
  [[ $status -eq 0 && ! -s $work/stderr ]] || { echo "status $status: $(cat "$work/stderr")"; return 1; }
}
same_png() { "${runner[@]}" "$png_compare" "$@"; }

rm -rf "$work"
mkdir -p "$work/apply" "$work/with space"

# A runner that cannot run this build's programs on this machine says why and exits 77
# (cmake/wine-run); so does this test, which CTest then reports as skipped.
qf --version
if [[ $status -eq 77 ]]; then cat "$work/stderr" >&2; exit 77; fi

# -- the version (it and the help: options_test.cpp)
qf --version
check "--version" eval 'succeeded && grep -qx "qfhost [0-9.]*" "$work/stdout"'

# -- the sample image is what its generator makes
"${runner[@]}" "$make_sample" "$work/sample.png"
check "qfhost_make_sample makes tests/data/sample.png" same_png "$work/sample.png" "$sample"

# -- list: the golden listing, byte for byte
qf list "$module"
check "list prints the golden listing" eval \
  'succeeded && { cmp -s "$work/stdout" "$data/golden/list.txt" || { diff "$data/golden/list.txt" "$work/stdout"; false; }; }'
count=$(($(wc -l <"$data/golden/list.txt") - 1))

# -- apply: every filter by index, against its golden image
goldens=("$data"/golden/[0-9][0-9]-*.png)
check "one golden image per filter ($count)" test "${#goldens[@]}" -eq "$count"
pairs=()
for ((i = 0; i < count; i++)); do
  out=$work/apply/$(printf %02d "$i").png
  qf apply "$module" "$i" "$sample" "$out"
  check "apply $i" succeeded
  pairs+=("$out" "$(ls "$data"/golden/"$(printf %02d "$i")"-*.png)")
done
check "apply output equals the golden images" same_png "${pairs[@]}"

# -- apply by name, with colours, with a rectangle; relative paths and a name with a space
qf apply "$module" Opacify "$sample" "$work/apply/by-english.png"
check "apply by English name" succeeded
qf apply "$module" 不透明化 "$sample" "$work/apply/by-japanese.png"
check "apply by Japanese name" succeeded
qf apply "$module" "invert transparency" "$sample" "$work/with space/out.png"
check "apply by English name in any case, to a path with a space" succeeded
# With white as the drawing colour, "FGC pixels" is "white pixels"; with black as the
# background, "fill with BGC" is "fill with FGC" at the default black.
qf apply "$module" 7 "$sample" "$work/apply/white-fg.png" --fg '#FFFFFF'
check "apply --fg" succeeded
qf apply "$module" 2 "$sample" "$work/apply/black-bg.png" --bg=0,0,0
check "apply --bg" succeeded
check "names and colours reach the right filters" same_png \
  "$work/apply/by-english.png" "$data"/golden/08-*.png \
  "$work/apply/by-japanese.png" "$data"/golden/08-*.png \
  "$work/with space/out.png" "$data"/golden/09-*.png \
  "$work/apply/white-fg.png" "$data"/golden/05-*.png \
  "$work/apply/black-bg.png" "$data"/golden/01-*.png
qf apply "$module" 9 "$sample" "$work/apply/rect.png" --rect 8,4,40,30 --quiet
check "apply --rect" succeeded
check "--rect: inside is filtered" same_png --inside 8,4,40,30 "$work/apply/rect.png" "$data"/golden/09-*.png
check "--rect: outside is the input" same_png --outside 8,4,40,30 "$work/apply/rect.png" "$sample"
cp "$module" "$work/module-copy"
cp "$sample" "$work/in.png"
pushd "$work" >/dev/null
qf apply module-copy 0 in.png apply/relative.png
popd >/dev/null
check "apply with relative paths and a bare module name" eval 'succeeded && same_png "$work/apply/relative.png" "$data"/golden/00-*.png'
qf apply "$module" 3 "$work/apply/rect.png" "$work/apply/rect.png"
check "apply may write over its input" succeeded

# -- "-": the PNG goes to standard output
"${runner[@]}" "$qfhost" apply "$module" 8 "$sample" - >"$work/apply/stdout.png" 2>"$work/stderr"
status=$?
check "apply to standard output" eval 'succeeded && same_png "$work/apply/stdout.png" "$data"/golden/08-*.png'

# -- a batch into a folder, going on past a bad file (in place: commands_test.cpp)
mkdir -p "$work/batch/in" "$work/batch/out"
cp "$sample" "$work/batch/in/a.png"
cp "$sample" "$work/batch/in/c.png"
printf 'not a picture' >"$work/batch/in/b.png"
qf apply "$module" "Invert Transparency" "$work/batch/in/a.png" "$work/batch/in/b.png" \
  "$work/batch/in/c.png" --output-dir "$work/batch/out"
check "a batch into a folder reports the bad file and the counts, status 1" eval \
  '[[ $status -eq 1 && $(wc -l <"$work/stderr") -eq 2 && ! -s $work/stdout ]] &&
   grep -qx "qfhost: .$work/batch/in/b.png. is not a PNG file" "$work/stderr" &&
   grep -qx "qfhost: 2 of 3 files written, 1 failed" "$work/stderr" && [[ ! -e $work/batch/out/b.png ]]'
check "the batch's good files are written" same_png \
  "$work/batch/out/a.png" "$data"/golden/09-*.png "$work/batch/out/c.png" "$data"/golden/09-*.png
check "a batch leaves no temporary file" eval '[[ -z $(find "$work/batch" -name "*.tmp-*") ]]'

# -- gallery: the README's image
qf gallery "$module" "$sample" "$work/gallery.png" --scale 3
check "gallery" succeeded
check "gallery equals docs/gallery.png" same_png "$work/gallery.png" "$source/docs/gallery.png"

# -- bad input
# fails STATUS PATTERN ARGS...: qfhost exits with STATUS, with one line on stderr that matches
# PATTERN and nothing on stdout, and $work/bad holds just what it held before.
fails() {
  local want=$1 pattern=$2
  shift 2
  local before
  before=$(cd "$work/bad" && ls -A | sort && cat ./*.png 2>/dev/null | cksum)
  qf "$@"
  local after
  after=$(cd "$work/bad" && ls -A | sort && cat ./*.png 2>/dev/null | cksum)
  local lines
  lines=$(wc -l <"$work/stderr")
  if [[ $status -ne $want || $lines -ne 1 || -s $work/stdout || "$before" != "$after" ]] ||
     ! grep -qE "^qfhost: .*$pattern" "$work/stderr"; then
    echo "  qfhost $*"
    echo "  status $status (want $want), $lines stderr line(s): $(head -c 300 "$work/stderr")"
    [[ "$before" == "$after" ]] || echo "  files: before [$before] after [$after]"
    return 1
  fi
}
mkdir -p "$work/bad"
out=$work/bad/out.png

# The bad inputs that end with status 1 are tables of commands_test.cpp, image_test.cpp and
# module_test.cpp, and every malformed command line (status 2) one of options_test.cpp, run
# in-process on both builds; here, one of each shows the built program's own status and line.
check "missing input" fails 1 "cannot read '$work/none.png'" apply "$module" 0 "$work/none.png" "$out"
check "malformed colour" fails 2 "--fg: malformed colour '#12345'" apply "$module" 0 "$sample" "$out" --fg '#12345'
check "an output a folder holds is refused" fails 1 "it is a folder" apply "$module" 0 "$sample" "$work/bad/.."

# -- files qfhost must never replace, and what a replaced file keeps (POSIX file kinds:
# natively only)
# A symbolic link at the output path is followed, natively and on Windows (under Wine, a
# POSIX link): its target is replaced, keeping its mode natively, and the link stays.
cp "$sample" "$work/target.png"
chmod 640 "$work/target.png"
ln -s target.png "$work/link.png"
qf apply "$module" 8 "$sample" "$work/link.png"
check "a symbolic link's target is replaced" eval \
  'succeeded && [[ -L $work/link.png ]] && same_png "$work/target.png" "$data"/golden/08-*.png &&
   { ((${#runner[@]} > 0)) || [[ $(stat -c %a "$work/target.png") == 640 ]]; }'

if ((${#runner[@]} == 0)); then
  "$qfhost" list "$module" >/dev/full 2>"$work/stderr"
  status=$?
  check "a failed write to standard output is an error" eval \
    '[[ $status -eq 1 && $(wc -l <"$work/stderr") -eq 1 ]] && grep -q "cannot write to standard output" "$work/stderr"'
  # (The FIFO stays out of $work/bad, whose files `fails` reads.)
  mkfifo "$work/fifo.png"
  check "a FIFO output is refused" fails 1 "not a regular file" apply "$module" 0 "$sample" "$work/fifo.png"
  check "/dev/null is refused" fails 1 "not a regular file" apply "$module" 0 "$sample" /dev/null
  check "the FIFO is still one" test -p "$work/fifo.png"
  # Interrupted while at work: status 143, no temporary file, the output untouched, and one
  # line that says so.
  "$qfhost" gallery "$module" "$sample" "$work/big.png" --scale 16 -q
  printf 'old' >"$work/interrupted.png"
  "$qfhost" apply "$module" 0 "$work/big.png" "$work/interrupted.png" 2>"$work/stderr" &
  sleep 0.3
  kill -TERM $!
  wait $!
  status=$?
  check "an interrupt ends with 143 and leaves no file behind" eval \
    '[[ $status -eq 143 && $(cat "$work/interrupted.png") == old && -z $(find "$work" -maxdepth 1 -name "*.tmp-*") ]]'
  check "an interrupt says which file is left untouched" eval \
    '[[ $(wc -l <"$work/stderr") -eq 1 ]] && grep -qx "qfhost: interrupted; .$work/interrupted.png. left untouched" "$work/stderr"'
  # In a batch, once the first file is done: the line counts it.
  mkdir -p "$work/interrupted"
  "$qfhost" apply "$module" 0 "$sample" "$work/big.png" --output-dir "$work/interrupted" 2>"$work/stderr" &
  for ((i = 0; i < 100; i++)); do [[ -e $work/interrupted/sample.png ]] && break; sleep 0.05; done
  # (SIGTERM: a shell starts a background job with SIGINT ignored, and qfhost leaves it so.)
  kill -TERM $!
  wait $!
  status=$?
  check "an interrupted batch ends with 143 and counts what it did" eval \
    '[[ $status -eq 143 && $(wc -l <"$work/stderr") -eq 1 && ! -e $work/interrupted/big.png ]] &&
     grep -qx "qfhost: interrupted: 1 of 2 files written, 0 failed; .$work/interrupted/big.png. left untouched" "$work/stderr"'
  # A reader that has gone: the failed write is reported, with status 1, not ended by SIGPIPE.
  (sleep 0.3; exec "$qfhost" apply "$module" 3 "$sample" - 2>"$work/stderr") | true
  status=${PIPESTATUS[0]}
  check "a closed pipe is a failed write, status 1" eval \
    '[[ $status -eq 1 && $(wc -l <"$work/stderr") -eq 1 ]] && grep -q "cannot write to standard output" "$work/stderr"'
fi

echo "$passed passed, $failed failed"
((failed == 0))
