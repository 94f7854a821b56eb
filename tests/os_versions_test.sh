#!/usr/bin/env bash
# The installer's description of the running Windows under each Windows
# version that Wine can play. Each version gets its own copy of the probe
# with an AppDefaults entry, and the interpreter that runs "ver" plays the
# same version. Wine keeps one "ProductName" whatever version it plays, so
# the tables' own words are checked with that value stored as a number (the
# name built so far then stands), and the name replacement with a value a
# real Windows 7 stores. A 32-bit program's 64-bit view is written through
# the 32-bit reg.exe: that is the key the installer reads under Wine. On a
# 32-bit prefix (the x86 lane) there is one reg.exe and one view, and every
# version is described as the 32-bit Windows it is.
set -uo pipefail
probe=$1
run=$KAVREL_WINE_RUN
work=$KAVREL_BUILD_DIR/os_versions
rm -rf "$work" && mkdir -p "$work"

current_version_key='HKLM\Software\Microsoft\Windows NT\CurrentVersion'
app_defaults='HKCU\Software\Wine\AppDefaults'
reg32='C:\windows\syswow64\reg.exe'
WINE_ARCH=""
# shellcheck disable=SC1091
[[ -f $KAVREL_BUILD_DIR/wine/lane ]] && source "$KAVREL_BUILD_DIR/wine/lane"
[[ $WINE_ARCH == win32 ]] && reg32=reg
original_name=$("$run" "$reg32" query "$current_version_key" /v ProductName /reg:64 2>/dev/null | tr -d '\r' |
                sed -n 's/.*ProductName *REG_SZ *//p')
set_product_name() { "$run" "$reg32" add "$current_version_key" /v ProductName "$@" /f /reg:64 >/dev/null 2>&1; }
restore() {
  "$run" reg delete "$app_defaults\\cmd.exe" /v Version /f >/dev/null 2>&1
  [[ -n $original_name ]] && set_product_name /d "$original_name"
}
trap restore EXIT

failed=0
passed=0
# check VERSION EXPECTED: EXPECTED is "description|Is64BitWindows|IsServerWindows".
check() {
  local version=$1 expected=$2 copy=$work/os_probe_$1.exe
  cp "$probe" "$copy"
  "$run" reg add "$app_defaults\\os_probe_$version.exe" /v Version /d "$version" /f >/dev/null 2>&1
  "$run" reg add "$app_defaults\\cmd.exe" /v Version /d "$version" /f >/dev/null 2>&1
  local out description fromfacts actual
  out=$("$run" "$copy" 2>/dev/null | tr -d '\r')
  description=$(sed -n 's/^description=//p' <<<"$out")
  fromfacts=$(sed -n 's/^fromfacts=//p' <<<"$out")
  actual="$description|$(sed -n 's/^is64=//p' <<<"$out")|$(sed -n 's/^isserver=//p' <<<"$out")"
  if [[ $actual != "$expected" || $description != "$fromfacts" ]]; then
    echo "FAIL $version: got '$actual' (the tables on the facts read: '$fromfacts'), expected '$expected'"
    sed 's/^/    /' <<<"$out"
    failed=$((failed + 1))
  else
    echo "ok   $version: $description"
    passed=$((passed + 1))
  fi
}

set_product_name /t REG_DWORD /d 7
# Wine 8 plays win7 with the server product type and win2008r2 with the
# workstation one: the tables follow what the version query says.
if [[ $WINE_ARCH == win32 ]]; then
  # A 32-bit Windows: IsWow64Process2 gives the native machine i386, and
  # Vista and later are named "32-bit" (two blanks before it, as below).
  check win2k     "Microsoft Windows 2000 Professional Service Pack 4|0|0"
  check winxp     "Microsoft Windows XP Professional Service Pack 3|0|0"
  check win2003   "Microsoft Windows Server 2003 Standard Service Pack 2|0|1"
  check vista     "Microsoft Windows Vista  32-bit Service Pack 2|0|0"
  check win2008   "Microsoft Windows Server 2008  32-bit Service Pack 2|0|1"
  check win7      "Microsoft Windows Server 2008 R2  32-bit Service Pack 1|0|1"
  check win2008r2 "Microsoft Windows 7  32-bit Service Pack 1|0|0"
  check win8      "Microsoft Windows 8  32-bit|0|0"
  check win81     "Microsoft Windows 8.1  32-bit|0|0"
  check win10     "Microsoft Windows 10  32-bit|0|0"
  set_product_name /d "Windows 7 Ultimate"
  check win7      "Windows 7 Ultimate 32-bit Service Pack 1|0|0"
  set_product_name /d "Windows Server 2008 R2 Standard"
  check win2008r2 "Windows Server 2008 R2 Standard 32-bit Service Pack 1|0|1"
else
  # The tables append "Vista ", "7 " and so on, then " 64-bit": two blanks.
  # Wine offers IsWow64Process2 whatever version it plays, and its x64 native
  # machine makes even the descriptions without " 64" a 64-bit Windows.
  check win2k     "Microsoft Windows 2000 Professional Service Pack 4|1|0"
  check winxp     "Microsoft Windows XP Professional Service Pack 3|1|0"
  check win2003   "Microsoft Windows Server 2003 Standard x64 Service Pack 2|1|1"
  check vista     "Microsoft Windows Vista  64-bit Service Pack 2|1|0"
  check win2008   "Microsoft Windows Server 2008  64-bit Service Pack 2|1|1"
  check win7      "Microsoft Windows Server 2008 R2  64-bit Service Pack 1|1|1"
  check win2008r2 "Microsoft Windows 7  64-bit Service Pack 1|1|0"
  check win8      "Microsoft Windows 8  64-bit|1|0"
  check win81     "Microsoft Windows 8.1  64-bit|1|0"
  check win10     "Microsoft Windows 10  64-bit|1|0"
  set_product_name /d "Windows 7 Ultimate"
  check win7      "Windows 7 Ultimate 64-bit Service Pack 1|1|0"
  set_product_name /d "Windows Server 2008 R2 Standard"
  check win2008r2 "Windows Server 2008 R2 Standard 64-bit Service Pack 1|1|1"
fi

echo "$passed passed, $failed failed"
((failed == 0))
