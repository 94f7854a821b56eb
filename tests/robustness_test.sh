#!/usr/bin/env bash
# Faults the installer must survive without losing the installed package:
# killed at many moments while it writes, a full disk, and damaged copies of
# itself.
#   robustness_test.sh LARGE_INSTALLER LARGE_PART1 LARGE_PART2 SMALL_INSTALLER
large=$1
small=$4
source "$(dirname "$0")/harness/e2e.sh"
e2e_begin robustness
cat "$2" "$3" >"$WORK/package.expected"

old_or_new() {
  if cmp -s "$APP_DIR/zyq.pak" "$WORK/package.expected"; then echo new
  elif [[ $(cat "$APP_DIR/zyq.pak" 2>/dev/null) == "$OLD_PACKAGE" ]]; then echo old
  else echo damaged; fi
}
reset_package() { printf '%s' "$OLD_PACKAGE" >"$APP_DIR/zyq.pak"; rm -f "$APP_DIR/~zyq.pak"; }
now_ms() { date +%s%3N; }

echo "== Killed at many moments while it installs a $(($(stat -c %s "$WORK/package.expected") >> 20)) MiB package"
install_app
reset_package
start=$(now_ms)
"$run" "$large" modest >/dev/null 2>&1
duration=$(( $(now_ms) - start ))
check "an undisturbed run installs" "$(old_or_new)" new
declare -A outcomes=()
kills=30
for i in $(seq 1 $kills); do
  reset_package
  "$run" "$large" modest >/dev/null 2>&1 &
  pid=$!
  # Moments spread over one run's length; only where the kill lands varies.
  sleep "$(awk -v d="$duration" -v i="$i" -v n="$kills" 'BEGIN { printf "%.3f", d * i / n / 1000 }')"
  kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  state=$(old_or_new)
  check "kill $i: the package is the old or the new one" "$([[ $state != damaged ]] && echo yes || echo no)" yes
  [[ -e $APP_DIR/~zyq.pak ]] && state="$state, temporary file left"
  outcomes[$state]=$(( ${outcomes[$state]:-0} + 1 ))
done
for state in "${!outcomes[@]}"; do echo "    ${outcomes[$state]} kills: $state"; done
run_installer "$large" "" modest
check "the next run: exit code" "$(exit_code)" 0
check "the next run installs" "$(old_or_new)" new
check "the next run leaves no temporary file" "$([[ -e $APP_DIR/~zyq.pak ]] && echo yes || echo no)" no

echo "== A full disk: found before writing, said with the sizes, and tried again once there is room"
disk=$WORK/small-disk
mkdir -p "$disk"
if mount -t tmpfs -o size=4m tmpfs "$disk"; then
  trap 'umount "$disk" 2>/dev/null; rm -f "$PREFIX/dosdevices/k:"' EXIT
  ln -sfn "$disk" "$PREFIX/dosdevices/k:"
  mkdir -p "$disk/Kavrel"
  cp "$KAVREL_STANDIN" "$disk/Kavrel/Kavrel.exe"
  printf '%s' "$OLD_PACKAGE" >"$disk/Kavrel/zyq.pak"
  reg_64 add "$UNINSTALL_KEY" /v UninstallString /d 'K:\Kavrel\uninstall.exe' /f
  free_mb=$(stat -f -c '%a %S' "$disk" | awk '{ printf "%d", $1 * $2 / 1048576 }')
  needed_mb=$(( ($(stat -c %s "$WORK/package.expected") + 1048575) / 1048576 ))
  run_installer "$large" "" modest
  check "exit code" "$(exit_code)" 112
  check_box 1 "Lexova update" "$(logged 'Can'"'"'t install file K:\Kavrel\zyq.pak')\\r\\n\\r\\nThere is not enough free space on the disk: $needed_mb MB are needed, $free_mb MB are free." error ok
  check "installed package unchanged" "$(cat "$disk/Kavrel/zyq.pak")" "$OLD_PACKAGE"
  check "no temporary file" "$([[ -e $disk/Kavrel/~zyq.pak ]] && echo yes || echo no)" no
  check "EstimatedSize still recorded" "$(estimated_size)" "$(folder_kib "$disk/Kavrel")"
  # The same for a Russian user: the reason in Russian, OK only.
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$large" "" modest
  check "Russian: exit code" "$(exit_code)" 112
  check_box 1 "Обновление Lexova" "$(logged 'Не удается установить файл K:\Kavrel\zyq.pak')\\r\\n\\r\\nНедостаточно места на диске: нужно $needed_mb МБ, свободно $free_mb МБ." error ok
  check "Russian: installed package unchanged" "$(cat "$disk/Kavrel/zyq.pak")" "$OLD_PACKAGE"
  check "Russian: no temporary file" "$([[ -e $disk/Kavrel/~zyq.pak ]] && echo yes || echo no)" no
  # Room for more than half the package but not all of it: still found
  # before the first byte, never met by a write that fills the disk.
  mount -o remount,size=45m "$disk"
  half_free_mb=$(stat -f -c '%a %S' "$disk" | awk '{ printf "%d", $1 * $2 / 1048576 }')
  run_installer "$large" "" modest "/log=Z:${WORK//\//\\}\\space.log"
  RUN_LOG=$WORK/space.log check_code "room for half" 112
  check_box 1 "Lexova update" "$(logged 'Can'"'"'t install file K:\Kavrel\zyq.pak')\\r\\n\\r\\nThere is not enough free space on the disk: $needed_mb MB are needed, $half_free_mb MB are free." error ok
  check "room for half: refused before a temporary file was made" \
    "$(grep -c 'write refused: not enough free space' "$WORK/space.log") $(grep -c 'Windows error' "$WORK/space.log")" "1 0"
  mount -o remount,size=4m "$disk"
  # Interactive: the user makes room while the box is up, then tries again.
  pose_installer "$WORK/full.log" yes,retry,no "$large"
  release_box 1
  wait_for_box 2
  mount -o remount,size=128m "$disk"
  release_box 2
  release_box 3
  wait "$posed"
  LOG=$WORK/full.log
  check "made room, Retry: exit code" "$(exit_code)" 0
  check_box 2 "Lexova update" "$(logged 'Can'"'"'t install file K:\Kavrel\zyq.pak')\\r\\n\\r\\nThere is not enough free space on the disk: $needed_mb MB are needed, $free_mb MB are free." error cancel,retry
  check "made room, Retry: installed" "$(cmp -s "$disk/Kavrel/zyq.pak" "$WORK/package.expected" && echo yes || echo no)" yes
  check "made room, Retry: no temporary file" "$([[ -e $disk/Kavrel/~zyq.pak ]] && echo yes || echo no)" no
  umount "$disk"
  rm -f "$PREFIX/dosdevices/k:"
  trap - EXIT
else
  check "a small file system can be mounted for the full-disk case" no yes
fi

echo "== Damaged copies of the installer"
install_app
size=$(stat -c %s "$small")
distorted='The package file has been distorted!\r\nVirus?'
flip_byte() {
  local value
  value=$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')
  printf "\\x$(printf %02x $((value ^ 0x10)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}
with_message=0
refused_by_loader=0
crashed=0
# expect_refused NAME: nothing written, no other box than the distorted
# message, and not the exit code of a run that went on.
expect_refused() {
  run_installer "$WORK/damaged.exe" "" modest
  check "$1: nothing written" "$(old_or_new)$([[ -e $APP_DIR/~zyq.pak ]] && echo ' +temporary')" old
  check "$1: no EstimatedSize" "$(estimated_size)" ""
  local code
  code=$(exit_code)
  if [[ $(boxes) -ge 1 ]]; then
    check "$1: the message" "$(box 1 text)" "$distorted"
    # 1620, or the code of an exception where the damage lies in the code
    # that runs after the message: never a code of a run that went on.
    check "$1: exit code" "$([[ $code == 1620 || ($code =~ ^[0-9]+$ && code -ge 0x80000000) ]] && echo 1620 || echo "$code")" 1620
    with_message=$((with_message + 1))
  elif [[ -f $LOG && ! -s $LOG ]]; then
    # The system's loader refused the file: the dialog tool, which opens its
    # log first, could not start it.
    refused_by_loader=$((refused_by_loader + 1))
  elif [[ $code =~ ^[0-9]+$ ]] && ((code >= 0x80000000)); then
    # It broke before the check could run: the system ended it with the
    # exception's code (0xC0000005 and the like), at once, since the prefix
    # has no debugger to hold it.
    crashed=$((crashed + 1))
  else
    # Not a pass, not a run that went on and ended with a code of its own,
    # not a hang ended at the dialog tool's limit ("timeout").
    check "$1: no box: refused by the loader or ended by an exception" "exit code $code" \
      "no exit code, or an exception code"
  fi
}
for k in $(seq 0 49); do
  offset=$(( k * size / 50 + (k * 7919) % 997 ))
  ((offset < size)) || offset=$((size - 1))
  cp "$small" "$WORK/damaged.exe"
  flip_byte "$WORK/damaged.exe" "$offset"
  expect_refused "byte $offset flipped"
done
for cut in 1 4096 $((size / 2)) $((size - 1024)); do
  head -c $((size - cut)) "$small" >"$WORK/damaged.exe"
  expect_refused "$cut bytes cut off"
done
echo "    refused with the message: $with_message; refused by the loader: $refused_by_loader;" \
  "ended by an exception before the check: $crashed"
check "most damaged copies refused by their own check" "$((with_message * 2 > with_message + refused_by_loader + crashed))" 1

e2e_end
