#!/usr/bin/env bash
# Makes Unix-side fixtures that Windows code cannot make (a folder without permissions,
# directory link loops, names ending in a dot or a space), runs the given launcher command with RB_UNIX_FIXTURES set,
# and removes them again. As root, the program runs without the capabilities that let
# root read any folder, so the folder without permissions stays unreadable.
#   unix_fixtures.sh LAUNCHER PREFIX ARCH PROGRAM [ARGS...]
set -u
fixtures=$(mktemp -d)
trap 'chmod -R u+rwx "$fixtures" 2>/dev/null; rm -rf "$fixtures"' EXIT
mkdir -p "$fixtures/unlistable/locked" "$fixtures/cycle"
printf hello >"$fixtures/unlistable/open.txt"
printf secret >"$fixtures/unlistable/locked/inside.txt"
chmod 000 "$fixtures/unlistable/locked"
printf abc >"$fixtures/cycle/a.txt"
ln -s . "$fixtures/cycle/loop"
mkdir -p "$fixtures/cycle2"
printf abc >"$fixtures/cycle2/a.txt"
ln -s . "$fixtures/cycle2/l1"
ln -s . "$fixtures/cycle2/l2"
# Plain Win32 paths strip a trailing dot or space: "dup." would name "dup".
mkdir -p "$fixtures/names/dot." "$fixtures/names/dup." "$fixtures/names/dup"
printf 1234567 >"$fixtures/names/dot./x.bin"
printf 12345 >"$fixtures/names/dup./in.txt"
printf 1 >"$fixtures/names/dup/b"
printf 12 >"$fixtures/names/f."
printf 123 >"$fixtures/names/g "
touch -m -d '2021-03-04 05:06:07.089 UTC' "$fixtures/names/f."
touch -a -d '2021-03-04 05:06:09.321 UTC' "$fixtures/names/f."
touch -m -d '2021-03-04 05:06:11.250 UTC' "$fixtures/names/g "
touch -m -d '2021-03-04 05:06:13.500 UTC' "$fixtures/names/dup."
# On request a folder of 100,000 files in 2,040 folders (2,000 folders of 50 files in 40
# groups), for walks that take a while.
if [ -n "${RB_BIG_TREE:-}" ]; then
  python3 "$(dirname "$0")/../../tools/make-bench-tree" "$fixtures/big/tree" 2000 50
  rm -f "$fixtures/big/tree/.complete"
fi
export RB_UNIX_FIXTURES=$fixtures

launcher=$1 prefix=$2
if [ "$(id -u)" = 0 ]; then
  # The Wine server opens files too: start a fresh one under the same limits.
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
  setpriv --bounding-set -dac_override,-dac_read_search "$@"
else
  "$@"
fi
rc=$?
if [ "$(id -u)" = 0 ]; then
  WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
  WINEPREFIX=$prefix wineserver -w >/dev/null 2>&1
fi
exit $rc
