#!/bin/sh
# Tests the Windows Installer package of the build folder $1, architecture
# $2 (x86 or x64): msiinfo reads what needs no install; Wine's msiexec
# installs, upgrades and removes it in a fresh prefix of the package's own
# architecture, where the installed programs run. Every failed check is
# reported and makes the exit code 1. A prefix that saw a failure stays for
# a look; otherwise it is deleted at the end.
set -u
export LC_ALL=C
build=$(cd "$1" && pwd)
arch=$2
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in
x86) winearch=win32 view=/reg:32 template='Intel;1033' other=x64 ;;
x64) winearch=win64 view=/reg:64 template='x64;1033' other=x86 ;;
*) echo "msitest: the architecture is x86 or x64, not '$arch'" >&2; exit 1 ;;
esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
stage=$build/msi/stage
msi=$build/msi/Tolvane-$version-$arch.msi
work=$build/msi/test
prefix=$build/wine-msi
# This script, and with it the prefix's server and every Wine program, on
# the first processor it may use: there a round trip to the server is many
# times quicker than across two (see wine.sh).
taskset -pc "$(taskset -pc $$ | sed 's/.*: //; s/[-,].*//')" $$ >/dev/null
# winemenubuilder would copy the Start menu's shortcut into the desktop
# menus of the Linux account that runs the test.
export WINEPREFIX="$prefix" WINEARCH=$winearch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# The loader of the prefix's architecture; reg.exe and regedit are then
# those of the package's architecture, which read both registry views of a
# 64-bit prefix.
. "$here/loader.sh"

failed=
fail() {
    printf 'msitest %s: %s\n' "$arch" "$*" >&2
    failed=yes
}

# ---- helpers ------------------------------------------------------------------

property() {    # property PACKAGE NAME
    msiinfo export "$1" Property | tr -d '\r' | sed -n "s/^$2	//p"
}
summary() {     # summary PACKAGE FIELD
    msiinfo suminfo "$1" | sed -n "s/^$2: //p"
}
# A path of this machine as Wine's programs see it.
winpath() {
    printf 'Z:%s' "$1" | tr / '\\'
}
# msiexec's exit code for /i or /x ($1) of a package, without a window.
# Wine passes on the low byte of a Windows exit code: 1603 arrives as 67.
msiexec() {
    $wine msiexec "$1" "$(winpath "$2")" /qn >/dev/null 2>&1
    echo $?
}
# What reg query prints, in the registry view of the package's programs.
regq() {
    $wine reg query "$@" $view 2>/dev/null | tr -d '\r'
}
# Whether a key is there, in that view.
haskey() {
    $wine reg query "$@" $view >/dev/null 2>&1
}
uninstallkey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
# The number of products named Tolvane in Programs and Features.
products() {
    regq "$uninstallkey" /s | grep -c '^ *DisplayName *REG_SZ *Tolvane$'
}

installdir="$prefix/drive_c/Program Files/Tolvane"
templates="$prefix/drive_c/windows/PolicyDefinitions"
windir='C:\Program Files\Tolvane'

# installed STEP PRODUCTCODE VERSION: everything that the package of this
# product code and version puts in place is there after STEP, and it is the
# one product of its name. Windows puts the shortcut into the Programs of
# all users; Wine's msiexec into those of the installing user.
installed() {
    step=$1 product=$2 shown=$3
    listing=$(cd "$installdir" 2>/dev/null && ls | tr '\n' ' ')
    [ "$listing" = "README.txt Tolvane.exe Varrowen.dll tolvctl.exe " ] ||
        fail "$step: Program Files\\Tolvane holds '$listing'"
    for f in README.txt Tolvane.exe Varrowen.dll tolvctl.exe; do
        cmp -s "$stage/$f" "$installdir/$f" || fail "$step: $f is not the build's"
    done
    for f in Tolvane.admx en-US/Tolvane.adml; do
        cmp -s "$stage/PolicyDefinitions/$f" "$templates/$f" || fail "$step: PolicyDefinitions\\$f is not the build's"
    done
    links=$(cd "$prefix/drive_c" && find . -name Tolvane.lnk)
    case "$links" in
    "./ProgramData/Microsoft/Windows/Start Menu/Programs/Tolvane.lnk" | \
    ./users/*/AppData/Roaming/Microsoft/Windows/"Start Menu/Programs/Tolvane.lnk")
        grep -qaF "$windir\\Tolvane.exe" "$prefix/drive_c/$links" ||
            fail "$step: the shortcut does not lead to $windir\\Tolvane.exe" ;;
    *) fail "$step: no one Tolvane.lnk in a Start menu's Programs: '$links'" ;;
    esac
    regq 'HKLM\Software\kestrin\status' /v status | grep -q '^ *status *REG_DWORD *0x1$' ||
        fail "$step: no marker HKLM\\Software\\kestrin\\status status=1"
    entry=$(regq "$uninstallkey\\$product")
    for value in "DisplayName *REG_SZ *Tolvane" "DisplayVersion *REG_SZ *$shown" \
                 "Publisher *REG_SZ *The Tolvane developers"; do
        printf '%s\n' "$entry" | grep -q "^ *$value\$" || fail "$step: Programs and Features lacks $value"
    done
    [ "$(products)" = 1 ] || fail "$step: $(products) products named Tolvane are registered"
}

# ---- the tables ------------------------------------------------------------------

rm -rf "$work"
mkdir -p "$work"
higher=$(echo "$version" | awk -F. '{ print $1 "." $2 "." $3 + 1 }')
"$here/msi.sh" "$stage" "$arch" "$version" "$work/rebuilt.msi" &&
    "$here/msi.sh" "$stage" "$arch" "$higher" "$work/higher.msi" &&
    "$here/msi.sh" "$stage" "$other" "$version" "$work/other.msi" ||
    { echo "msitest $arch: the packages for the test were not built" >&2; exit 1; }
code=$(property "$msi" ProductCode)
highercode=$(property "$work/higher.msi" ProductCode)
upgrade=$(property "$msi" UpgradeCode)

[ "$(property "$msi" ALLUSERS)" = 1 ] || fail "not installed per machine: ALLUSERS is not 1"
[ "$(summary "$msi" Template)" = "$template" ] || fail "the platform is not $template"
# A version's product code is the same in each build, its package code not;
# each architecture keeps its upgrade code, whatever the version.
[ "$(property "$work/rebuilt.msi" ProductCode)" = "$code" ] ||
    fail "a second build of $version has another product code"
[ "$(summary "$work/rebuilt.msi" 'Revision number (UUID)')" != "$(summary "$msi" 'Revision number (UUID)')" ] ||
    fail "a second build of $version has the same package code"
[ "$highercode" != "$code" ] || fail "$higher has the product code of $version"
[ "$(property "$work/higher.msi" UpgradeCode)" = "$upgrade" ] || fail "$higher has another upgrade code"
[ "$(property "$work/other.msi" UpgradeCode)" != "$upgrade" ] || fail "$other has the upgrade code of $arch"
[ "$(property "$work/other.msi" ProductCode)" != "$code" ] || fail "$other has the product code of $arch"

# ---- install, start, install again, upgrade -------------------------------------------

rm -rf "$prefix"
"$here/wineprefix.sh" "$prefix" null
"$here/wineserver.sh" start "$prefix"
trap '"$here/wineserver.sh" stop "$prefix"' EXIT

result=$(msiexec /i "$msi")
if [ "$result" != 0 ]; then
    fail "msiexec /i $msi /qn gave $result; nothing more to test"
    exit 1
fi
installed install "$code" "$version"
readme=$installdir/README.txt
[ "$(grep -c "$(printf '\r')\$" "$readme")" = "$(wc -l <"$readme")" ] && ! grep -q @VERSION@ "$readme" &&
    grep -q "^Tolvane $version " "$readme" || fail "README.txt is not the Windows text for $version"
if [ "$arch" = x64 ]; then
    [ ! -e "$prefix/drive_c/Program Files (x86)/Tolvane" ] || fail "files in the 32-bit Program Files"
    ! $wine reg query 'HKLM\Software\kestrin' /reg:32 >/dev/null 2>&1 ||
        fail "the marker is in the 32-bit registry"
fi

said=$($wine "$windir\\tolvctl.exe" --version | tr -d '\r')
[ "$said" = "tolvctl $version" ] || fail "the installed tolvctl --version says '$said'"
$wine "$build/bin/startcheck.exe" "$windir\\Tolvane.exe" || fail "the installed Tolvane.exe did not run"

# The same package again, a second build of the same version, a later
# version (which replaces this one), and then this one again, which the
# later one refuses: Windows Installer's 1603 (fatal error).
result=$(msiexec /i "$msi")
[ "$result" = 0 ] || fail "installing the same package again gave $result"
installed reinstall "$code" "$version"
# Windows refuses a second build of an installed version (1638, another
# version of this product is installed); Wine's msiexec installs it over it.
result=$(msiexec /i "$work/rebuilt.msi")
[ "$result" = 0 ] || [ "$result" = 102 ] || fail "installing a second build of $version gave $result"
installed rebuild "$code" "$version"
result=$(msiexec /i "$work/higher.msi")
[ "$result" = 0 ] || fail "installing $higher over $version gave $result"
installed upgrade "$highercode" "$higher"
! haskey "$uninstallkey\\$code" || fail "$version is still registered after the upgrade"
result=$(msiexec /i "$msi")
[ "$result" = 67 ] || fail "installing $version over $higher gave $result, not 1603"
installed downgrade "$highercode" "$higher"

# ---- uninstall ---------------------------------------------------------------------

# Settings that tolvctl writes, in HKCU and HKLM, are the administrator's
# and stay; so does what another program keeps in Software\kestrin.
$wine "$windir\\tolvctl.exe" set no-run-button=on always-unload-dlls=on >/dev/null ||
    fail "the installed tolvctl could not set two policies"
$wine reg add 'HKLM\Software\kestrin\other' /v kept /t REG_DWORD /d 7 /f $view >/dev/null 2>&1
policies() {
    regq 'HKCU\Software\Microsoft\Windows\CurrentVersion\Policies\Explorer' /v NoRun |
        grep -q '^ *NoRun *REG_DWORD *0x1$' || fail "$1: the policy NoRun is gone"
    regq 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer' /v AlwaysUnloadDll |
        grep -q '^ *AlwaysUnloadDll *REG_DWORD *0x1$' || fail "$1: the value AlwaysUnloadDll is gone"
}
# Nothing of the package on disk, the templates in PolicyDefinitions
# included; tolvctl's undo journal in the user's local application data is
# tolvctl's own.
gone() {
    left=$(cd "$prefix/drive_c" && find . -iname '*tolvane*' ! -path './users/*/AppData/Local/Tolvane*')
    [ -z "$left" ] || fail "$1: left behind: $left"
    [ -z "$(ls "$prefix/drive_c/windows/Installer" 2>/dev/null)" ] ||
        fail "$1: Windows Installer keeps $(ls "$prefix/drive_c/windows/Installer")"
    [ "$(products)" = 0 ] || fail "$1: still in Programs and Features"
    ! haskey 'HKLM\Software\kestrin\status' || fail "$1: the marker key is still there"
}

result=$(msiexec /x "$work/higher.msi")
[ "$result" = 0 ] || fail "msiexec /x gave $result"
gone uninstall
policies uninstall
regq 'HKLM\Software\kestrin\other' /v kept | grep -q '^ *kept *REG_DWORD *0x7$' ||
    fail "uninstall: another program's HKLM\\Software\\kestrin\\other is gone"

# Alone in Software\kestrin, the marker takes the key with it; and no trace
# of either product is left anywhere in the registry.
$wine reg delete 'HKLM\Software\kestrin\other' /f $view >/dev/null 2>&1
result=$(msiexec /i "$msi")
[ "$result" = 0 ] || fail "installing after an uninstall gave $result"
result=$(msiexec /x "$msi")
[ "$result" = 0 ] || fail "the second msiexec /x gave $result"
gone "second uninstall"
! haskey 'HKLM\Software\kestrin' || fail "second uninstall: an empty Software\\kestrin is left"
policies "second uninstall"
# The export of a 64-bit regedit holds both views, that of a 32-bit one
# only its own; tolvctl's value in HKLM shows which it is.
$wine regedit /E "$(winpath "$work/registry.reg")" >/dev/null 2>&1
iconv -f UTF-16LE -t UTF-8 "$work/registry.reg" | tr -d '\r' >"$work/registry.txt"
grep -q '^"AlwaysUnloadDll"=dword:00000001$' "$work/registry.txt" ||
    fail "the export of the registry lacks what tolvctl set"
traces=$(grep -i -e tolvane -e kestrin -e "$code" -e "$highercode" "$work/registry.txt")
[ -z "$traces" ] || fail "second uninstall: the registry still holds: $traces"

if [ -n "$failed" ]; then
    printf 'msitest %s: failed; the prefix stays in %s\n' "$arch" "$prefix" >&2
    exit 1
fi
"$here/wineserver.sh" stop "$prefix"
trap - EXIT
rm -rf "$prefix" "$work"
echo "msitest $arch: passed"
