#!/usr/bin/env bash
# scripts/win32-vm's own logic, without booting anything: the cache key follows the recipe, an
# image that was not finished or no longer matches its checksums is refused before the
# emulator starts, and the emulator's end (a status, none, a time-out) becomes the run's.
# A copy of the script and its recipe stands in for the checkout; a stand-in emulator plays
# the guest, and the cache is a folder of the test's own.
# Usage: win32_vm_test.sh SOURCE_DIR
set -uo pipefail
src=$1
work=$(mktemp -d "${TMPDIR:-/tmp}/win32-vm-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

tree=$work/tree
mkdir -p "$tree/scripts" "$tree/cmake"
cp -r "$src/scripts/win32-vm" "$src/scripts/vm" "$tree/scripts/"
cp "$src/cmake/wine-run" "$tree/cmake/"
export VEILMERE_VM_CACHE=$work/cache VEILMERE_VM_QEMU=$work/qemu
vm() { "$tree/scripts/win32-vm" "$@" >"$work/out" 2>&1; status=$?; }

failed=0
fail() { echo "FAIL: $*"; sed 's/^/  | /' "$work/out"; failed=1; }

# The key: the same recipe, the same key; any change to the recipe, another.
key=$("$tree/scripts/win32-vm" key)
[[ $key == "$("$tree/scripts/win32-vm" key)" ]] || fail "the key changes between two calls"
echo "less" >>"$tree/scripts/vm/packages"
[[ $key != "$("$tree/scripts/win32-vm" key)" ]] || fail "a new package leaves the key as it was"
key=$("$tree/scripts/win32-vm" key)
image=$("$tree/scripts/win32-vm" path)
[[ $image == "$VEILMERE_VM_CACHE"/*"$key" ]] || fail "the image's folder $image is not named by its key $key"

# The stand-in emulator: notes that it started, then does what $work/guest says: "status N"
# reports N on the status port, "silent" stops without a status, "hang" never ends.
cat >"$work/qemu" <<'EOF'
#!/usr/bin/env bash
touch "$(dirname "$0")/started"
status_file=$(grep -o 'id=status,path=[^ ]*' <<<"$*" | cut -d= -f3)
read -r what n <"$(dirname "$0")/guest"
case $what in
  status) echo "$n" >"$status_file" ;;
  hang) sleep 60 ;;
esac
EOF
chmod +x "$work/qemu"
echo "status 0" >"$work/guest"

# Refused before the emulator starts: a folder still being made, one with no checksums, and one
# whose files no longer match them.
# refused REASON WHAT: a run must fail before the emulator starts, saying REASON.
refused() {
  vm run -- true
  [[ $status -ne 0 && ! -e $work/started ]] && grep -q "$1" "$work/out" || fail "$2 was used"
}
mkdir -p "$VEILMERE_VM_CACHE/.making-x"
refused 'no image' "an image still being made"
mkdir -p "$image"
for file in vmlinuz initrd.img root.img; do echo "$file" >"$image/$file"; done
refused 'no finished image' "an image without checksums"
(cd "$image" && cksum vmlinuz initrd.img root.img >CKSUMS)
echo "changed" >>"$image/root.img"
refused 'damaged' "an image whose file changed"
(cd "$image" && cksum vmlinuz initrd.img root.img >CKSUMS)

# A sound image: the guest's status is the run's; no status, or no end, is a failure.
echo "status 3" >"$work/guest"
vm run -- true
[[ $status -eq 3 && -e $work/started ]] || fail "the guest's status 3 came back as $status"
echo "silent" >"$work/guest"
vm run -- true
[[ $status -eq 125 ]] && grep -q 'without reporting' "$work/out" ||
  fail "a guest that stopped without a status gave $status"
echo "hang" >"$work/guest"
vm run --timeout 1 -- true
[[ $status -eq 124 ]] && grep -q 'still running after 1 s' "$work/out" ||
  fail "a guest that did not end gave $status"

(( failed == 0 )) && echo "win32-vm: all checks passed"
exit $failed
