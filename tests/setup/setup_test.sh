#!/usr/bin/env bash
# The setup program under Wine, in a prefix of its own made fresh for this run.
#   setup_test.sh LAUNCHER ARCH INSTALLER PROBE32 [PROBE64]
# ARCH win64: both DLLs, both registry views, both probes. ARCH win32: the 32-bit DLL only.
set -u
launcher=$1 arch=$2 installer=$3 probe32=$4 probe64=${5:-}
if [ ! -f "$installer" ]; then
  echo "FAIL: no installer at $installer (make setup builds it)"
  exit 1
fi
prefixes=() made=()
new_prefix() { # VARIABLE: a fresh folder for a prefix, removed at the end
  local made
  made=$(mktemp -d "${TMPDIR:-/tmp}/rubrikator-setup-$arch.XXXXXX")
  prefixes+=("$made")
  printf -v "$1" '%s' "$made"
}
cleanup() {
  for p in "${prefixes[@]}"; do
    WINEPREFIX=$p wineserver -k >/dev/null 2>&1
    rm -rf "$p" "$p.lock"
  done
  rm -f "${made[@]}"
}
trap cleanup EXIT
new_prefix prefix
failures=0
check() { # description, then a command that must succeed
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then echo "ok:   $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
run() { "$launcher" "$prefix" "$arch" "$@"; }
wait_done() { WINEPREFIX=$prefix wineserver -w; }
query() { # key, view: the whole text of reg query
  WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all wine reg query "$1" /reg:"$2" 2>/dev/null | tr -d '\r'
}
has() { # key, view, text
  query "$1" "$2" | grep -qF -- "$3"
}
no_key() { ! query "$1" "$2" | grep -q HKEY; }
no_key_in() { # prefix, key, view
  ! WINEPREFIX=$1 WINEARCH=$arch WINEDEBUG=-all wine reg query "$2" /reg:"$3" 2>/dev/null | grep -q HKEY
}
waiting() { # prefix: files beside the DLLs, and what a restart would do to them
  find "$1/drive_c" -ipath '*/Program Files*/Rubrikator/*' ! -name Rubrikator.dll ! -name uninstall.exe
  grep -E '^"Rubrikator(32|64)"=|PendingFileRenameOperations.*Rubrikator' "$1/system.reg"
}

handler='HKCR\CLSID\{7C3A51E0-2B94-4F1D-9E6B-5A0C8D2F4B17}'
band='HKCR\CLSID\{B81F6D42-93C5-4A7E-8D20-6E4F1C9A3B55}'
progid='HKCR\Rubrikator.RubrikatorHandle'
uninstall='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Rubrikator'
options='HKCU\Software\Werkhaus\Rubrikator\Optionen'
if [ "$arch" = win64 ]; then
  dir64="$prefix/drive_c/Program Files/Rubrikator"
  dir32="$prefix/drive_c/Program Files (x86)/Rubrikator"
  views="64 32"
  dlls=2
else
  dir64=""
  dir32="$prefix/drive_c/Program Files/Rubrikator"
  views="32"
  dlls=1
fi
installed_view() { # view: class keys of both classes, the ProgID and the column handler entry
  has "$handler\\InprocServer32" "$1" "ThreadingModel" &&
    has "$band\\InprocServer32" "$1" "Apartment" &&
    has "$progid" "$1" "HKEY" &&
    has 'HKCR\Folder\shellex\ColumnHandlers' "$1" 'ColumnHandlers\{7C3A51E0-2B94-4F1D-9E6B-5A0C8D2F4B17}'
}

version=$(run "$probe32" --version "Z:${installer//\//\\}" 2>/dev/null | tr -d '\r')
echo "      installer: $version"
check "the installer's file properties carry the version" test "$version" = "1.0.5.1 Rubrikator"

top=$(cd "$(dirname "$installer")/../.." && pwd)
shipped32="$top/build/win32/bin/Rubrikator.dll"
shipped64="$top/build/win64/bin/Rubrikator.dll"

# What the setup's first page says of where the values appear.
welcome=$(run "$probe32" --dialog-text 2,6 "Z:${installer//\//\\}" 2>/dev/null | tr -d '\r')
check "the first page names XP and Server 2003 for the columns" \
  grep -qF "Der Explorer von Windows XP und Windows Server 2003 zeigt sie als Spalten der Detailansicht." <<<"$welcome"
check "the first page names the page Details of the dialog for every Windows" \
  grep -qF 'Auf jedem Windows stehen sie auf der Seite "Details" des Rubrikator-Fensters' <<<"$welcome"
check "nothing installed by looking at the first page" test ! -e "$dir32"

for round in 1 2; do
  # The second round installs the same version over the first, whose DLLs were changed
  # meanwhile: they are replaced all the same.
  if [ "$round" = 2 ]; then
    printf changed >>"$dir32/Rubrikator.dll"
    [ -n "$dir64" ] && printf changed >>"$dir64/Rubrikator.dll"
  fi
  run "$installer" /S
  wait_done
  check "round $round: the 32-bit DLL is the one shipped" cmp -s "$dir32/Rubrikator.dll" "$shipped32"
  if [ "$arch" = win64 ]; then
    check "round $round: the 64-bit DLL is the one shipped" cmp -s "$dir64/Rubrikator.dll" "$shipped64"
  fi
  check "round $round: 32-bit DLL in its folder" test -f "$dir32/Rubrikator.dll"
  check "round $round: $dlls copies of the DLL on the machine" \
    test "$(find "$prefix/drive_c" -iname rubrikator.dll | wc -l)" = "$dlls"
  check "round $round: uninstaller in place" test -f "${dir64:-$dir32}/uninstall.exe"
  if [ "$arch" = win64 ]; then
    check "round $round: 64-bit DLL in the 64-bit program folder" test -f "$dir64/Rubrikator.dll"
    check "round $round: the two DLLs differ" bash -c "! cmp -s '$dir64/Rubrikator.dll' '$dir32/Rubrikator.dll'"
  fi
  for view in $views; do
    check "round $round: classes registered in the $view-bit view" installed_view "$view"
  done
  check "round $round: uninstall entry with version" has "$uninstall" 64 "DisplayVersion    REG_SZ    1.0.5.1"
  check "round $round: uninstall entry with publisher" has "$uninstall" 64 "Publisher    REG_SZ    Werkhaus"
  check "round $round: uninstall entry with the site" has "$uninstall" 64 "URLInfoAbout    REG_SZ    https://werkhaus.example/"
  check "round $round: uninstall entry with the icon" has "$uninstall" 64 "DisplayIcon    REG_SZ    C:\\Program Files\\Rubrikator\\Rubrikator.dll,-128"
  check "round $round: one uninstall entry" test "$(query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' 64 | grep -c 'Uninstall\\Rubrikator$')" = 1
  out32=$(run "$probe32" 2>/dev/null | tr -d '\r')
  echo "      $out32"
  check "round $round: a 32-bit program creates the handler from the 32-bit folder" \
    bash -c "[[ '$out32' == *'32-bit: Ordnergr'*'e (RB) from C:\\Program Files'*'\\Rubrikator\\Rubrikator.dll' ]]"
  if [ "$arch" = win64 ]; then
    check "round $round: the 32-bit program got the 32-bit folder's DLL" bash -c "[[ '$out32' == *'Program Files (x86)'* ]]"
    out64=$(run "$probe64" 2>/dev/null | tr -d '\r')
    echo "      $out64"
    check "round $round: a 64-bit program creates the handler from the 64-bit folder" \
      bash -c "[[ '$out64' == *'64-bit: Ordnergr'*'e (RB) from C:\\Program Files\\Rubrikator\\Rubrikator.dll' ]]"
  fi
done

# A newer version is there: the silent setup of this older one keeps it.
WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all wine reg add "$uninstall" /v DisplayVersion /d 9.0.0.0 /f /reg:64 >/dev/null 2>&1
printf newer >>"$dir32/Rubrikator.dll"
run "$installer" /S
code=$?
wait_done
check "over a newer version: the silent setup ends with code 3" test "$code" = 3
check "over a newer version: its DLL stays" bash -c "tail -c 5 '$dir32/Rubrikator.dll' | grep -qx newer"
WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all wine reg add "$uninstall" /v DisplayVersion /d 1.0.5.1 /f /reg:64 >/dev/null 2>&1

# The user's options, as the dialog writes them, and copies a failed setup may have left.
touch "$dir32/Rubrikator.dll.bisher" "${dir64:-$dir32}/Rubrikator.dll.neu"
WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all wine reg add "$options" /v tab_id /d 3 /f >/dev/null 2>&1
run "C:\\Program Files\\Rubrikator\\uninstall.exe" /S
wait_done
check "uninstalled: 32-bit DLL gone" test ! -e "$dir32/Rubrikator.dll"
check "uninstalled: program folders gone" test ! -e "$dir32"
if [ "$arch" = win64 ]; then
  check "uninstalled: 64-bit program folder gone" test ! -e "$dir64"
fi
for view in $views; do
  check "uninstalled: handler class gone from the $view-bit view" no_key "$handler" "$view"
  check "uninstalled: band class gone from the $view-bit view" no_key "$band" "$view"
  check "uninstalled: ProgID gone from the $view-bit view" no_key "$progid" "$view"
done
check "uninstalled: uninstall entry gone" no_key "$uninstall" 64
check "uninstalled: the user's options stay" has "$options" 64 "tab_id"

# A DLL that does not register (a library without DllRegisterServer in its place): the
# setup says so, stops, and leaves nothing registered and no file behind. On 64-bit
# Windows the 64-bit one fails after the 32-bit one registered.
broken="$(dirname "$installer")/Rubrikator-Setup-broken-$arch.exe"
version=$(sed -n 's/^project(Rubrikator VERSION \([0-9.]*\).*/\1/p' "$top/CMakeLists.txt")
if [ "$arch" = win64 ]; then
  bad32=$shipped32 bad64="$top/build/win64/bin/MAPI32.DLL"
else
  bad32="$top/build/win32/bin/MAPI32.DLL" bad64=$shipped64
fi
make_setup() { # file, 32-bit DLL, 64-bit DLL
  makensis -V1 -INPUTCHARSET UTF8 -DVERSION="$version" -DDLL32="$2" -DDLL64="$3" \
    -DICON="$top/src/resources/Rubrikator.ico" -DOUTFILE="$1" "$top/setup/Rubrikator.nsi" >/dev/null
  made+=("$1")
}
make_setup "$broken" "$bad32" "$bad64"
new_prefix failing
RB_WINE_VERSION= "$launcher" "$failing" "$arch" "$broken" /S
code=$?
WINEPREFIX=$failing wineserver -w
check "a DLL that does not register: the setup ends with error code 2" test "$code" = 2
for view in $views; do
  check "a DLL that does not register: no handler class in the $view-bit view" no_key_in "$failing" "$handler" "$view"
  check "a DLL that does not register: no band class in the $view-bit view" no_key_in "$failing" "$band" "$view"
done
check "a DLL that does not register: no uninstall entry" no_key_in "$failing" "$uninstall" 64
check "a DLL that does not register: no file left" \
  test "$(find "$failing/drive_c" -iname rubrikator.dll | wc -l)" = 0
# Windows need a display: the Wine processes of the registry queries above go first.
WINEPREFIX=$failing wineserver -k >/dev/null 2>&1
WINEPREFIX=$failing wineserver -w
said=$("$launcher" "$failing" "$arch" "$probe32" --dialog-text 1,1 "Z:${broken//\//\\}" 2>/dev/null | tr -d '\r')
echo "      ${said##*$'\n'Klicken Sie auf Installieren, um die Installation zu starten.$'\n'}"
check "a DLL that does not register: the setup says so" \
  grep -qF "Rubrikator konnte nicht eingerichtet werden:" <<<"$said"

# The same over a working installation: that one stays, files and registration.
new_prefix earlier
RB_WINE_VERSION= "$launcher" "$earlier" "$arch" "$installer" /S
WINEPREFIX=$earlier wineserver -w
said=$("$launcher" "$earlier" "$arch" "$probe32" --dialog-text 1,1 "Z:${broken//\//\\}" 2>/dev/null | tr -d '\r')
WINEPREFIX=$earlier wineserver -w
check "over a working installation: the setup says that it stays" \
  grep -qF "Die bisher eingerichtete Version bleibt, wie sie war." <<<"$said"
earlier32="$earlier/drive_c/${dir32#"$prefix/drive_c/"}"
check "over a working installation: its 32-bit DLL is back" cmp -s "$earlier32/Rubrikator.dll" "$shipped32"
check "over a working installation: no copy left beside it" test ! -e "$earlier32/Rubrikator.dll.bisher"
for view in $views; do
  check "over a working installation: its classes stay in the $view-bit view" \
    bash -c "WINEPREFIX='$earlier' WINEARCH=$arch WINEDEBUG=-all wine reg query '$handler\\InprocServer32' /reg:$view 2>/dev/null | grep -q ThreadingModel"
done

# Explorer holds the 32-bit DLL loaded: the new one is put in place at the next restart and
# registered then, not the old one now. Wine does at the start of its next session what
# Windows does at boot; until then its registry file tells what is to be done.
printf older >>"$earlier32/Rubrikator.dll"
windir32='C:\Program Files\Rubrikator'
[ "$arch" = win64 ] && windir32='C:\Program Files (x86)\Rubrikator'
held=$("$launcher" "$earlier" "$arch" "$probe32" --hold "$windir32\Rubrikator.dll" "Z:${installer//\//\\}" /S 2>/dev/null | tr -d '\r')
WINEPREFIX=$earlier wineserver -w
check "held: the silent setup ends with 3010, a restart is needed" grep -qx "exit 3010" <<<"$held"
check "held: the old file stays in use until the restart" bash -c "tail -c 5 '$earlier32/Rubrikator.dll' | grep -qx older"
check "held: the new DLL goes in place at the restart" \
  grep -q 'PendingFileRenameOperations.*Rubrikator\\\\Rubrikator.dll' "$earlier/system.reg"
check "held: the new DLL is registered at the restart" \
  grep -q '^"Rubrikator32"=.*regsvr32.exe.* /s .*Rubrikator\\\\Rubrikator.dll' "$earlier/system.reg"
RB_WINE_VERSION= "$launcher" "$earlier" "$arch" "$probe32" >/dev/null 2>&1
WINEPREFIX=$earlier wineserver -w
check "held, after the restart: the new 32-bit DLL is in place" cmp -s "$earlier32/Rubrikator.dll" "$shipped32"
check "held, after the restart: a 32-bit program creates the handler" \
  bash -c "RB_WINE_VERSION= '$launcher' '$earlier' $arch '$probe32' 2>/dev/null | grep -q 'Ordnergr'"
check "held, after the restart: nothing waits any more" test -z "$(waiting "$earlier")"

# Explorer holds one DLL and the other does not register: the installation stays as it
# is, before and after the restart, and nothing of the failed setup waits or stays.
if [ "$arch" = win64 ]; then
  earlier64="$earlier/drive_c/${dir64#"$prefix/drive_c/"}"
  make_setup "${broken%.exe}32.exe" "$top/build/win32/bin/MAPI32.DLL" "$shipped64"
  for held in "32|$windir32|$broken" "64|C:\Program Files\Rubrikator|${broken%.exe}32.exe"; do
    IFS='|' read -r bits folder setup <<<"$held"
    printf kept | tee -a "$earlier32/Rubrikator.dll" >>"$earlier64/Rubrikator.dll"
    said=$("$launcher" "$earlier" "$arch" "$probe32" --hold "$folder\Rubrikator.dll" "Z:${setup//\//\\}" /S 2>/dev/null | tr -d '\r')
    WINEPREFIX=$earlier wineserver -w
    check "$bits-bit DLL held, the other failing: error code 2" grep -qx "exit 2" <<<"$said"
    check "$bits-bit DLL held, the other failing: nothing waits, no copy stays" test -z "$(waiting "$earlier")"
    RB_WINE_VERSION= "$launcher" "$earlier" "$arch" "$probe32" >/dev/null 2>&1
    WINEPREFIX=$earlier wineserver -w
    check "$bits-bit DLL held, the other failing, after the restart: both DLLs as they were" \
      bash -c "tail -c 4 '$earlier32/Rubrikator.dll' | grep -qx kept && tail -c 4 '$earlier64/Rubrikator.dll' | grep -qx kept"
    check "$bits-bit DLL held, the other failing, after the restart: both programs create the handler" \
      bash -c "RB_WINE_VERSION= '$launcher' '$earlier' $arch '$probe32' && RB_WINE_VERSION= '$launcher' '$earlier' $arch '$probe64'"
  done
fi

# Windows that report XP: XP SP3 for the 32-bit setup, XP x64 for the 64-bit one.
new_prefix xp
xp_version=winxp
[ "$arch" = win64 ] && xp_version=winxp64
RB_WINE_VERSION=$xp_version "$launcher" "$xp" "$arch" "$installer" /S
WINEPREFIX=$xp wineserver -w
xp_out=$(RB_WINE_VERSION=$xp_version "$launcher" "$xp" "$arch" "$probe32" 2>/dev/null | tr -d '\r')
echo "      on $xp_version: $xp_out"
check "on $xp_version: installed, and a 32-bit program creates the handler" \
  bash -c "[[ '$xp_out' == *'32-bit: Ordnergr'*'Rubrikator.dll' ]]"
if [ "$arch" = win64 ]; then
  xp_out64=$(RB_WINE_VERSION=$xp_version "$launcher" "$xp" "$arch" "$probe64" 2>/dev/null | tr -d '\r')
  check "on $xp_version: a 64-bit program creates the handler" \
    bash -c "[[ '$xp_out64' == *'64-bit: Ordnergr'*'Rubrikator.dll' ]]"
else
  # Older than XP: a message says why, nothing is installed.
  new_prefix old
  refused=$(RB_WINE_VERSION=win2k "$launcher" "$old" "$arch" "$probe32" --dialog-text 1 \
    "Z:${installer//\//\\}" 2>/dev/null | tr -d '\r')
  echo "      on win2k: $refused"
  check "on Windows 2000: the setup says which Windows it needs" \
    grep -qF "Rubrikator braucht Windows XP mit Service Pack 3" <<<"$refused"
  check "on Windows 2000: the setup ends with an error code" grep -qx "exit 1" <<<"$refused"
  check "on Windows 2000: nothing installed" test ! -e "$old/drive_c/Program Files/Rubrikator"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures setup checks failed"
  exit 1
fi
echo "all setup checks passed"
