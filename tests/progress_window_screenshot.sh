#!/usr/bin/env bash
# Takes a picture of the progress window on the test run's virtual display.
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

KAVREL_PROGRESS_POSE=$pose "$run" "$poser" --gtest_filter=ProgressWindowPose.* &
shown=$!
for _ in $(seq 600); do
  [[ -f $pose/ready ]] && break
  kill -0 "$shown" 2>/dev/null || break
  sleep 0.1
done
[[ -f $pose/ready ]] || { echo "progress_window_screenshot: the window was not shown" >&2; exit 1; }
read -r x y width height <"$pose/ready"

# The window with a margin of the desktop around it, within the screen.
margin=24
left=$(( x > margin ? x - margin : 0 ))
top=$(( y > margin ? y - margin : 0 ))
mkdir -p "$(dirname "$output")"
import -window root -crop "$((width + 2 * margin))x$((height + 2 * margin))+$left+$top" +repage "$output"
touch "$pose/done"
wait "$shown"
shown=""
echo "progress_window_screenshot: window at $x,$y size ${width}x$height, saved $output"
