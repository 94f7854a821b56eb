#!/usr/bin/env bash
# Takes pictures of the progress window, its Cancel button enabled as during
# the write, on the test run's virtual display, in the system's message font:
# at 96 DPI into OUTPUT.png, and at 144 DPI into OUTPUT_144dpi.png.
#   progress_window_screenshot.sh WIN_TESTS OUTPUT.png
# WIN_TESTS is kavrel_win_tests; its test ProgressWindowPose shows the window
# with real texts and holds it until the picture is taken. Needs the Wine
# harness (KAVREL_WINE_RUN, KAVREL_BUILD_DIR, as CTest sets them) and
# ImageMagick's import. The picture is for a person to look at; the window's
# properties are checked by the tests in progress_window_test.cpp.
set -euo pipefail
tests=$1
output=$2
run=${KAVREL_WINE_RUN:?}
build=${KAVREL_BUILD_DIR:?}
# shellcheck disable=SC1091
source "$build/wine/state"
export DISPLAY

pose=$(mktemp -d)
shown=""
cleanup() {
  touch "$pose/done"
  [[ -n $shown ]] && wait "$shown" 2>/dev/null || true
  rm -rf "$pose"
}
trap cleanup EXIT

# The virtual display has no window manager. Wine leaves the title bar and
# frame of a window it takes as managed to one, so they would be missing from
# the picture: a copy under a name of its own is marked unmanaged, which
# makes Wine draw them itself, and changes nothing for any other program.
poser=$pose/kavrel_progress_pose.exe
cp "$tests" "$poser"
"$run" reg add 'HKCU\Software\Wine\AppDefaults\kavrel_progress_pose.exe\X11 Driver' \
  /v Managed /d N /f >/dev/null 2>&1 || echo "progress_window_screenshot: could not mark the copy unmanaged" >&2

# pose_at DPI OUTPUT: one picture with the resolution set in the prefix
# (Wine reads it when a program starts); the value before is put back.
desktop='HKCU\Control Panel\Desktop'
saved_dpi=$("$run" reg query "$desktop" /v LogPixels 2>/dev/null | tr -d '\r' | sed -n 's/.*LogPixels *REG_DWORD *//p') || true
restore_dpi() {
  if [[ -n $saved_dpi ]]; then
    "$run" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$saved_dpi" /f >/dev/null 2>&1
  else
    "$run" reg delete "$desktop" /v LogPixels /f >/dev/null 2>&1
  fi
}
pose_at() {
  local dpi=$1 picture=$2
  rm -f "$pose/ready" "$pose/done"
  "$run" reg add "$desktop" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  KAVREL_PROGRESS_POSE=$pose "$run" "$poser" --gtest_filter=ProgressWindowPose.* &
  shown=$!
  for _ in $(seq 600); do
    [[ -f $pose/ready ]] && break
    kill -0 "$shown" 2>/dev/null || break
    sleep 0.1
  done
  [[ -f $pose/ready ]] || { echo "progress_window_screenshot: the window was not shown at $dpi DPI" >&2; exit 1; }
  local x y width height
  read -r x y width height <"$pose/ready"
  # The window with a margin of the desktop around it, within the screen.
  local margin=24
  local left=$(( x > margin ? x - margin : 0 ))
  local top=$(( y > margin ? y - margin : 0 ))
  mkdir -p "$(dirname "$picture")"
  import -window root -crop "$((width + 2 * margin))x$((height + 2 * margin))+$left+$top" +repage "$picture"
  touch "$pose/done"
  wait "$shown"
  shown=""
  echo "progress_window_screenshot: $dpi DPI, window at $x,$y size ${width}x$height, saved $picture"
}
trap 'restore_dpi; cleanup' EXIT
pose_at 96 "$output"
pose_at 144 "${output%.png}_144dpi.png"
