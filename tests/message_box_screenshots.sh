#!/usr/bin/env bash
# Takes pictures of the confirmation and the final question as a Russian user
# on an English Windows sees them (user locale Russian, system code page
# 1252), on the test run's virtual display.
#   message_box_screenshots.sh INSTALLER OUTPUT_FOLDER
# The dialog tool holds each box until its picture is taken (--pose). Needs
# the end-to-end harness (KAVREL_WINE_RUN, KAVREL_BUILD_DIR, KAVREL_DIALOG_TOOL,
# KAVREL_STANDIN) and ImageMagick's import. The pictures are for a person to
# look at; the texts are checked by update_flow_test.sh.
installer=$1
output=$2
source "$(dirname "$0")/harness/e2e.sh"
export DISPLAY
e2e_begin message_box_screenshots
pose=$WORK/pose
mkdir -p "$pose" "$output"
install_app
in_locale mixed "$run" "$KAVREL_DIALOG_TOOL" --log "$WORK/boxes.log" --answers yes,no --pose "$pose" \
  --timeout-ms 120000 -- "$installer" >/dev/null 2>&1 &
tool=$!
for name in confirmation final_question; do
  box=$(( $(ls "$pose" | grep -c '\.done$') + 1 ))
  for _ in $(seq 600); do
    [[ -s $pose/box$box ]] && break
    kill -0 "$tool" 2>/dev/null || break
    sleep 0.1
  done
  [[ -s $pose/box$box ]] || { echo "message_box_screenshots: box $box was not shown" >&2; exit 1; }
  read -r x y width height <"$pose/box$box"
  import -window root -crop "${width}x$height+$x+$y" +repage "$output/$name.png"
  touch "$pose/box$box.done"
  echo "message_box_screenshots: box $box at $x,$y size ${width}x$height, saved $output/$name.png"
done
wait "$tool"
