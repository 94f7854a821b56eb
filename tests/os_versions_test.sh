#!/usr/bin/env bash
# The installer's description of the running Windows under each Windows
# version that Wine can play (an AppDefaults entry per copy of the probe).
set -uo pipefail
probe=$1
run=$KAVREL_WINE_RUN
work=$KAVREL_BUILD_DIR/os_versions
rm -rf "$work" && mkdir -p "$work"

# Expected description, Is64BitWindows, IsServerWindows on a 64-bit prefix.
declare -A expected=(
  [win2k]="Microsoft Windows 2000 Professional|0|0"
  [winxp]="Microsoft Windows XP Professional Service Pack 3|0|0"
  [win2003]="Microsoft Windows Server 2003 Standard x64 Service Pack 2|0|1"
  [vista]="Microsoft Windows Vista 64-bit Service Pack 2|1|0"
  [win2008]="Microsoft Windows Server 2008 64-bit Service Pack 2|1|1"
  [win7]="Microsoft Windows 7 64-bit Service Pack 1|1|0"
  [win2008r2]="Microsoft Windows Server 2008 R2 64-bit Service Pack 1|1|1"
  [win8]="Microsoft Windows 8 64-bit|1|0"
  [win81]="Microsoft Windows 8.1 64-bit|1|0"
  [win10]="Microsoft Windows 10 64-bit|1|0"
)
failed=0
for version in "${!expected[@]}"; do
  copy=$work/os_probe_$version.exe
  cp "$probe" "$copy"
  "$run" reg add "HKCU\\Software\\Wine\\AppDefaults\\os_probe_$version.exe" /v Version /d "$version" /f >/dev/null 2>&1
  out=$("$run" "$copy" 2>/dev/null | tr -d '\r')
  "$run" reg delete "HKCU\\Software\\Wine\\AppDefaults\\os_probe_$version.exe" /f >/dev/null 2>&1
  description=$(sed -n 's/^description=//p' <<<"$out")
  fromfacts=$(sed -n 's/^fromfacts=//p' <<<"$out")
  flags="$(sed -n 's/^is64=//p' <<<"$out")|$(sed -n 's/^isserver=//p' <<<"$out")"
  actual="$description|$flags"
  if [[ $actual != "${expected[$version]}" || $description != "$fromfacts" ]]; then
    echo "FAIL $version: got '$actual' (tables on the facts read: '$fromfacts'), expected '${expected[$version]}'"
    echo "$out" | sed 's/^/    /'
    failed=$((failed + 1))
  else
    echo "ok   $version: $description"
  fi
done
echo "$(( ${#expected[@]} - failed )) passed, $failed failed"
((failed == 0))
