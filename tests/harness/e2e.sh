# End-to-end test helpers, sourced by the scenario scripts: an application
# folder in the test prefix with the stand-in as Kavrel.exe, its uninstall
# registration, runs of an installer through the dialog tool or where nobody
# sees it, and checks. Needs KAVREL_WINE_RUN, KAVREL_BUILD_DIR,
# KAVREL_DIALOG_TOOL, KAVREL_STANDIN (and KAVREL_HIDDEN_STATION_RUNNER for run_unseen).
set -uo pipefail

run=$KAVREL_WINE_RUN
# shellcheck disable=SC1091
source "$KAVREL_BUILD_DIR/wine/state"
PREFIX=$KAVREL_BUILD_DIR/wine/prefix
# The major version of the lane's Wine: where Wine versions differ, the
# checks say which does what.
WINE_MAJOR=$("$run" --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\).*/\1/p')
# The prefix's Windows: 64-bit, or 32-bit (WINEARCH=win32, the x86 lane).
WINE_ARCH=""
# shellcheck disable=SC1091
[[ -f $KAVREL_BUILD_DIR/wine/lane ]] && source "$KAVREL_BUILD_DIR/wine/lane"
WINDOWS_BITS=$([[ $WINE_ARCH == win32 ]] && echo 32 || echo 64)
# use_app_folder NAME: the application folder C:\NAME for the next install_app.
use_app_folder() {
  APP_WIN="C:\\$1"
  APP_DIR="$PREFIX/drive_c/${1//\\//}"
}
use_app_folder 'Kavrel E2E'
UNINSTALL_KEY='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
# The same key as a .reg file names it in the 64-bit view, and in the 32-bit view.
UNINSTALL_KEY_64='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
UNINSTALL_KEY_32='HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Kavrel'
SHELL_FOLDERS_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'
OLD_PACKAGE='the package of the previous version'
E2E_PASSED=0
E2E_FAILED=0
E2E_RUNS=0

# e2e_begin NAME: a fresh work folder for the script.
e2e_begin() {
  WORK=$KAVREL_BUILD_DIR/e2e/$1
  rm -rf "$WORK" && mkdir -p "$WORK"
}

# reg_in_view 64|32 VERB KEY ARGS...: reg.exe on one registry view, its output.
# 64 is the native view, the one the installer uses (a plain "wine reg" runs
# the 32-bit reg.exe); 32 is the 32-bit programs' view below WOW6432Node. A
# 32-bit Windows has one view, which reg's /reg:64 and /reg:32 both mean
# there: its 32 is the key below "Software\WOW6432Node" spelled out, where
# nothing writes on a 32-bit Windows. The arguments reach reg.exe as Unicode
# from a UTF-8 locale, whatever letters they hold.
reg_in_view() {
  local view=$1 verb=$2 key=$3
  shift 3
  if ((WINDOWS_BITS == 32)); then
    [[ $view == 32 ]] && key=${key/#'HKLM\Software\'/'HKLM\Software\WOW6432Node\'}
    LC_ALL=en_US.UTF-8 "$run" reg "$verb" "$key" "$@"
  else
    LC_ALL=en_US.UTF-8 "$run" reg "$verb" "$key" "$@" "/reg:$view"
  fi
}
reg_64() { reg_in_view 64 "$@" >/dev/null 2>&1; }
reg_32() { reg_in_view 32 "$@" >/dev/null 2>&1; }

# reg_import LINE...: lines of a .reg file, imported by one run of reg.exe on
# the 64-bit view: each reg.exe run is a Wine process, and the scripts make
# many changes. The file is UTF-16, so names in any letters arrive as
# written. Wine 8's import deletes a key ("[-...]") in the 32-bit view
# whatever view it is given: a key of the 64-bit view is deleted with reg_64
# instead, and one of the 32-bit view is named below Wow6432Node, which is
# that view from either side.
reg_import() {
  local file=$WORK/import.reg
  { printf '\xff\xfe'
    { printf 'Windows Registry Editor Version 5.00\r\n\r\n'; printf '%s\r\n' "$@"; } | iconv -f UTF-8 -t UTF-16LE
  } >"$file"
  "$run" reg import "Z:${file//\//\\}" /reg:64 >/dev/null 2>&1
}
# reg_text TEXT: TEXT as a quoted string of a .reg file.
reg_text() { local text=${1//\\/\\\\}; printf '"%s"' "${text//\"/\\\"}"; }

# install_app [--no-exe]: the application folder with the stand-in and an old
# package, registered in the native view only. The stand-in's log
# (KAVREL_STANDIN_LOG) is also named in its options file beside it: started
# through the desktop shell, it gets the shell's environment, not ours.
install_app() {
  rm -rf "$APP_DIR" && mkdir -p "$APP_DIR"
  [[ ${1:-} == --no-exe ]] || cp "$KAVREL_STANDIN" "$APP_DIR/Kavrel.exe"
  [[ -z ${KAVREL_STANDIN_LOG:-} ]] || printf -- '--log "%s"' "$KAVREL_STANDIN_LOG" >"$APP_DIR/kavrel_standin.options"
  printf '%s' "$OLD_PACKAGE" >"$APP_DIR/zyq.pak"
  reg_64 delete "$UNINSTALL_KEY" /f
  reg_import "[-$UNINSTALL_KEY_32]" "[$UNINSTALL_KEY_64]" "\"UninstallString\"=$(reg_text "\"$APP_WIN\\uninstall.exe\" /S")"
}

# The locale setups a user may have: the user's default locale, which decides
# the message language, and the system's ANSI code page, in which Windows
# hands out paths. "mixed" is a Russian user on an English Windows (code page
# 1252).
E2E_LOCALES=(en_US.UTF-8 ru_RU.UTF-8 uk_UA.UTF-8 mixed)

# in_locale SETUP COMMAND...: the command in one of E2E_LOCALES.
in_locale() {
  local setup=$1
  shift
  if [[ $setup == mixed ]]; then
    env -u LC_ALL LANG=ru_RU.UTF-8 LC_CTYPE=en_US.UTF-8 "$@"
  else
    env LC_ALL="$setup" "$@"
  fi
}

# run_installer EXE ANSWERS [ARGS...]: runs EXE through the dialog tool; the
# log of the boxes is in $LOG. E2E_LOCALE (en_US.UTF-8 unless set) is one of
# E2E_LOCALES. With E2E_CANCEL_WHEN, the tool presses the progress window's
# Cancel button once it shows that state (for E2E_CANCEL_DELAY_MS, 0 unless set).
run_installer() {
  local exe=$1 answers=$2
  shift 2
  E2E_RUNS=$((E2E_RUNS + 1))
  LOG=$WORK/run$E2E_RUNS.log
  local cancel=()
  [[ -n ${E2E_CANCEL_WHEN:-} ]] && cancel=(--cancel-when "$E2E_CANCEL_WHEN" --cancel-delay-ms "${E2E_CANCEL_DELAY_MS:-0}")
  in_locale "${E2E_LOCALE:-en_US.UTF-8}" "$run" "$KAVREL_DIALOG_TOOL" --log "$LOG" --answers "$answers" \
    --timeout-ms 120000 "${cancel[@]}" -- "$exe" "$@" >/dev/null 2>&1
}

# run_unseen EXE [ARGS...]: runs EXE where nobody sees it, in a window
# station of its own (KAVREL_HIDDEN_STATION_RUNNER), for at most 60 s; the
# runner's lines are in $UNSEEN, the run's Wine trace of wtsapi32 in
# $UNSEEN.trace. Wine 8's WTSSendMessageW only traces its arguments
# (session, caption, text, their byte lengths, style, time limit, bWait): the
# trace shows what the signed-in user's session would be sent.
run_unseen() {
  local exe=$1
  shift
  E2E_RUNS=$((E2E_RUNS + 1))
  UNSEEN=$WORK/unseen$E2E_RUNS.log
  WINEDEBUG=+wtsapi in_locale "${E2E_LOCALE:-en_US.UTF-8}" "$run" "$KAVREL_HIDDEN_STATION_RUNNER" --timeout-ms 60000 \
    -- "Z:${exe//\//\\}" "$@" 2>"$UNSEEN.trace" | tr -d '\r' >"$UNSEEN"
}
# "timeout" when the runner had to end it.
unseen_exit() { sed -n 's/^exit=//p' "$UNSEEN"; }
# The progress windows ("PlainWindow") and boxes ("#32770") the run made, one line.
unseen_windows() { grep -E '^window=(PlainWindow|#32770)\|' "$UNSEEN" | tr '\n' ' '; }
# sent_to_session CAPTION TEXT: how many messages went to a session with this
# caption and text (as the dialog tool logs them), not waited for (bWait 0).
sent_to_session() {
  grep -F "WTSSendMessageW" "$UNSEEN.trace" | grep -F "(L\"$1\")" | grep -F "(L\"$2\")" | grep -c ' 0$'
}

# A text as the dialog tool logs it: backslashes doubled.
logged() { printf '%s' "$1" | sed 's/\\/\\\\/g'; }

# box N FIELD: a field of the Nth box of the last run.
box() { awk -v n="$1" -v f="$2=" '/^box=/ { b = substr($0, 5) } b == n && index($0, f) == 1 { print substr($0, length(f) + 1) }' "$LOG"; }
boxes() { grep -c '^box=' "$LOG"; }
exit_code() { sed -n 's/^exit=//p' "$LOG"; }
# uninstall_number NAME: a number in the uninstall key (native view), in decimal.
uninstall_number() {
  local value
  value=$(reg_in_view 64 query "$UNINSTALL_KEY" /v "$1" 2>/dev/null | tr -d '\r' |
          awk -v name="$1" '$1 == name { print $3 }')
  [[ -n $value ]] && echo $((value))
}
estimated_size() { uninstall_number EstimatedSize; }
# The expected "EstimatedSize": whole KiB of all files below the folder.
folder_kib() { find "$1" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", s / 1024 }'; }

# pose_installer LOG ANSWERS EXE [ARGS...]: runs EXE through the dialog tool
# in the background as an English user, each box held until release_box lets
# it be answered; the dialog tool's process is $posed.
pose_installer() {
  local log=$1 answers=$2
  shift 2
  POSE=$WORK/pose-$((++E2E_RUNS))
  rm -rf "$POSE" && mkdir -p "$POSE"
  LC_ALL=en_US.UTF-8 "$run" "$KAVREL_DIALOG_TOOL" --log "$log" --answers "$answers" --pose "$POSE" \
    --timeout-ms 120000 -- "$@" >/dev/null 2>&1 &
  posed=$!
}
# wait_for_box N: until box N of the posed run is up (bounded).
# A box that follows a wait for a held file comes after up to 30 s.
wait_for_box() { for _ in $(seq 600); do [[ -s $POSE/box$1 ]] && break; sleep 0.1; done; }
# release_box N: box N of the posed run answered, once it is up.
release_box() { wait_for_box "$1"; touch "$POSE/box$1.done"; }

# new_run_log: a log for the next run, $RUN_LOG, and its switch, $LOG_SWITCH.
new_run_log() {
  RUN_LOG=$WORK/run-log$((E2E_RUNS + 1)).txt
  rm -f "$RUN_LOG"
  LOG_SWITCH="/log=Z:${RUN_LOG//\//\\}"
}
# check_code DESCRIPTION CODE [ACTUAL]: the exit code as a Windows parent saw
# it (the dialog tool's, unless ACTUAL is given) and the last line of $RUN_LOG.
check_code() {
  local actual=${3-$(exit_code)}
  check "$1: exit code and the log's last line" "$actual $(tail -n1 "$RUN_LOG" 2>/dev/null | tr -d '\r' | cut -d' ' -f3-)" \
    "$2 exit code $2"
}

# check DESCRIPTION ACTUAL EXPECTED
check() {
  if [[ $2 == "$3" ]]; then
    E2E_PASSED=$((E2E_PASSED + 1))
  else
    E2E_FAILED=$((E2E_FAILED + 1))
    echo "FAIL: $1"
    echo "    expected: $3"
    echo "    actual:   $2"
    [[ -n ${LOG:-} && -f $LOG ]] && sed 's/^/    | /' "$LOG"
  fi
}

# check_box N CAPTION TEXT ICON BUTTONS: one box of the last run.
check_box() {
  check "box $1 caption" "$(box "$1" caption)" "$2"
  check "box $1 text" "$(box "$1" text)" "$3"
  check "box $1 icon" "$(box "$1" icon)" "$4"
  check "box $1 buttons" "$(box "$1" buttons)" "$5"
}

# A run that checked nothing (a filter that matched no scenario) fails.
e2e_end() {
  echo "$E2E_PASSED passed, $E2E_FAILED failed"
  ((E2E_FAILED == 0 && E2E_PASSED > 0))
}
