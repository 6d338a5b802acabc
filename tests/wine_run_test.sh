#!/usr/bin/env bash
# The Wine launcher: a prefix made once when two programs start together, with Wine's
# Tahoma and Marlett and folders of its own, and a broken prefix made anew.
set -u
launcher=$1
program=$2
arch=$3
work=$(mktemp -d)
trap 'WINEPREFIX="$work/prefix" wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
prefix=$work/prefix
fail() { echo "FAIL: $*"; exit 1; }

"$launcher" "$prefix" "$arch" "$program" --gtest_list_tests >"$work/a.out" 2>"$work/a.err" &
a=$!
"$launcher" "$prefix" "$arch" "$program" --gtest_list_tests >"$work/b.out" 2>"$work/b.err" &
b=$!
wait $a || fail "first parallel run failed: $(cat "$work/a.err")"
wait $b || fail "second parallel run failed: $(cat "$work/b.err")"
grep -q "ReplaceAll" "$work/a.out" || fail "first run printed no test list"
grep -q "ReplaceAll" "$work/b.out" || fail "second run printed no test list"
case "$(cat "$prefix/.rubrikator-prefix")" in "$arch "*) ;; *) fail "prefix not stamped" ;; esac
# Fonts as a Windows user has them, and the user's folders the prefix's own.
for font in tahoma.ttf marlett.ttf; do
  [ -f "$prefix/drive_c/windows/Fonts/$font" ] || fail "no $font in the prefix"
done
documents=$(ls -d "$prefix"/drive_c/users/*/Documents | head -n1)
[ -d "$documents" ] && [ ! -L "$documents" ] || fail "Documents is a link out of the prefix"
grep -q "prefix .* anew" "$work/a.err" "$work/b.err" && fail "a fresh prefix was remade"

# A prefix that lost its registry is detected and rebuilt.
WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
WINEPREFIX=$prefix wineserver -w
rm -f "$prefix/system.reg"
"$launcher" "$prefix" "$arch" "$program" --gtest_list_tests >"$work/c.out" 2>"$work/c.err" ||
  fail "run on a broken prefix failed: $(cat "$work/c.err")"
grep -q "prefix .* anew" "$work/c.err" || fail "the broken prefix was not reported: $(cat "$work/c.err")"
[ -s "$prefix/system.reg" ] || fail "the prefix was not rebuilt"
grep -q "ReplaceAll" "$work/c.out" || fail "no test list after the rebuild"
echo "PASS"
