#!/usr/bin/env bash
# reproducible_package_test.sh SOURCE_DIR BUILD_DIR PACKAGE_FILE PACKAGE_SUFFIX
# Builds the package again from a fresh clone of SOURCE_DIR's HEAD commit, in another folder
# and at a later time, and checks that veilmere.qfi, its debug information and the ZIP come
# out byte for byte as in BUILD_DIR, which must hold that commit's package. A whole build, so
# only scripts/release runs it (label "release").
set -euo pipefail
src=$1 build=$2 package=$3 suffix=$4

for file in "$build/veilmere.qfi" "$build/$package"; do
  if [[ ! -f $file ]]; then
    echo "no $file: build the package first (cmake --build --preset win32 --target package)"
    exit 1
  fi
done
if [[ -n $(git -C "$src" status --porcelain --untracked-files=no) ]]; then
  echo "$src has uncommitted changes, which a clone would not build: commit them first"
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/veilmere-reproduce.XXXXXX")
trap 'rm -rf "$work"' EXIT
clone=$work/veilmere
git clone -q --no-checkout "$src" "$clone"
git -C "$clone" checkout -q --detach "$(git -C "$src" rev-parse HEAD)"

# The package needs only the module; the clone's build leaves the tests and benchmarks out.
log=$work/build.log
if ! (cd "$clone" &&
      cmake --preset win32 -DVEILMERE_TESTS=OFF -DVEILMERE_BENCH=OFF \
        "-DVEILMERE_PACKAGE_SUFFIX=$suffix" &&
      cmake --build --preset win32 --target package) >"$log" 2>&1; then
  tail -n 30 "$log"
  echo "the clone's build failed"
  exit 1
fi

status=0
# The debug information too: the module's debug link holds its checksum.
debug=$(basename "$(ls "$build"/veilmere-*-win32.debug)")
for name in veilmere.qfi "$debug" "$package"; do
  if cmp -s "$build/$name" "$clone/build/win32/$name"; then
    echo "same bytes: $name  $(sha256sum <"$build/$name" | cut -d' ' -f1)"
  else
    echo "DIFFERENT: $build/$name and its rebuild in $clone/build/win32"
    cmp "$build/$name" "$clone/build/win32/$name" || true
    status=1
  fi
done
exit $status
