#!/usr/bin/env bash
# DLL planting. The installer runs elevated from wherever it was downloaded,
# often a folder where anything can be dropped beside it. A DLL with a name
# of its own lies beside the probe, or in the current folder, and in no
# system folder. A plain LoadLibraryA does load it (so this test sees a
# planted DLL when one is reached); after the installer's HardenDllSearch,
# and through its LoadSystemLibrary, it is never loaded. Wine's own system
# DLLs import version.dll, so a planted version.dll would tell nothing here.
#   dll_planting_test.sh PROBE PLANTED_DLL
probe=$1
planted=$2
source "$(dirname "$0")/harness/e2e.sh"
e2e_begin dll_planting

downloads=$WORK/downloads  # the probe with the DLL beside it
elsewhere=$WORK/elsewhere  # the probe alone
neutral=$WORK/neutral      # an empty current folder: the build folder holds the DLL too
mkdir -p "$downloads" "$elsewhere" "$neutral"
cp "$probe" "$downloads/dll_search_probe.exe"
cp "$planted" "$downloads/kavrel_planted.dll"
cp "$probe" "$elsewhere/dll_search_probe.exe"
marker=$WORK/planted.marker
export KAVREL_PLANTED_MARKER="Z:${marker//\//\\}"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# probe_in CURRENT_FOLDER EXE [SWITCHES...]: runs the probe; its lines are in $OUT.
probe_in() {
  local folder=$1 exe=$2
  shift 2
  rm -f "$marker"
  OUT=$(cd "$folder" && "$run" "$exe" "$@" 2>/dev/null | tr -d '\r')
}
field() { sed -n "s/^$1=//p" <<<"$OUT"; }
marker_written() { [[ -f $marker ]] && echo yes || echo no; }
in_system_folders() {
  local folder
  for folder in system32 syswow64; do
    [[ -e $PREFIX/drive_c/windows/$folder/kavrel_planted.dll ]] && { echo yes; return; }
  done
  echo no
}

check "the DLL is in no system folder" "$(in_system_folders)" no

echo "== beside the program, the system's default search: loaded"
probe_in "$neutral" "$downloads/dll_search_probe.exe"
check "loaded" "$(field loaded)" 1
check "its code ran" "$(marker_written)" yes
check "from beside the program" "$(field from)" "$(windows_path "$downloads")\\kavrel_planted.dll"

echo "== beside the program, after HardenDllSearch: not loaded"
probe_in "$neutral" "$downloads/dll_search_probe.exe" --harden
check "hardening took effect" "$(field hardened)" 1
check "loaded" "$(field loaded)" 0
check "its code ran" "$(marker_written)" no
check "system DLLs still load" "$(field systemdlls)" 1

echo "== beside the program, through LoadSystemLibrary: not loaded"
probe_in "$neutral" "$downloads/dll_search_probe.exe" --system-loader
check "loaded" "$(field loaded)" 0
check "its code ran" "$(marker_written)" no
probe_in "$neutral" "$downloads/dll_search_probe.exe" --harden --system-loader
check "loaded, hardened as the installer is" "$(field loaded)" 0
check "its code ran, hardened as the installer is" "$(marker_written)" no

echo "== in the current folder, the system's default search: loaded"
probe_in "$downloads" "$elsewhere/dll_search_probe.exe"
check "loaded" "$(field loaded)" 1
check "its code ran" "$(marker_written)" yes
check "from the current folder" "$(field from)" "$(windows_path "$downloads")\\kavrel_planted.dll"

echo "== in the current folder, after HardenDllSearch: not loaded"
probe_in "$downloads" "$elsewhere/dll_search_probe.exe" --harden
check "hardening took effect" "$(field hardened)" 1
check "loaded" "$(field loaded)" 0
check "its code ran" "$(marker_written)" no

e2e_end
