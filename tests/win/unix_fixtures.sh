#!/usr/bin/env bash
# Makes Unix-side fixtures that Windows code cannot make (a folder without permissions,
# a directory link cycle), runs the given launcher command with RB_UNIX_FIXTURES set,
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
