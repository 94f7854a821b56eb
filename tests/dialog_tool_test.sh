#!/usr/bin/env bash
# The dialog tool that the end-to-end tests use, run under Wine on a program
# that shows the installer's kinds of message boxes: each log must read the
# box exactly (caption, text, icon, buttons, topmost), the answer must reach
# the program, and the program's exit code must be reported.
#   dialog_tool_test.sh TOOL TARGET
# KAVREL_WINE_RUN names the script that runs a Windows program under the
# harness's Wine. Paths are given to the tool as Unix paths: it maps them to
# Wine's DOS form (Z:\...) itself; one case gives the log as Z:\... directly.
#
# Wine takes its ANSI code page from LC_ALL: the Russian boxes, whose texts are
# Windows-1251, read right only with a Russian locale (code page 1251); the
# English ones run with an English locale so that the button texts are English.
# Wine 8 ignores MB_TOPMOST (the box is not topmost); Wine 10 honours it, as
# Windows does (the difference is Wine's). Both honour the language of
# MessageBoxExA for the button texts. Without a window manager a box takes
# Wine two seconds to go, so a case with several boxes takes a while.
set -uo pipefail
tool=$1
target=$2
run=${KAVREL_WINE_RUN:?KAVREL_WINE_RUN must name the script that runs a program under Wine}
if [[ -n ${KAVREL_BUILD_DIR:-} ]]; then
  work=$KAVREL_BUILD_DIR/dialog_tool_test
  rm -rf "$work" && mkdir -p "$work"
else
  work=$(mktemp -d)
  trap '[[ $failed == 0 ]] && rm -rf "$work"' EXIT
fi

# 1 where the lane's Wine makes a box with MB_TOPMOST topmost.
wine_major=$("$run" --version 2>/dev/null | sed -n 's/^wine-\([0-9]*\).*/\1/p')
mb_topmost=$((${wine_major:-0} >= 10 ? 1 : 0))

ru=ru_RU.UTF-8
en=en_US.UTF-8
passed=0
failed=0

# check NAME LOCALE TOOL_EXIT EXPECTED_LOG TOOL_ARGS... : runs the tool with
# --log <work>/NAME.log (in its Z:\ form with dos_log=1) and the given
# arguments; the tool's exit code, its log and its standard output must be
# exactly as expected.
check() {
  local name=$1 locale=$2 want_rc=$3 want=$4
  shift 4
  local log=$work/$name.log out=$work/$name.out
  local log_arg=$log
  [[ ${dos_log:-0} == 1 ]] && log_arg="Z:${log//\//\\}"
  rm -f "$log"
  LC_ALL=$locale "$run" "$tool" --log "$log_arg" "$@" >"$out" 2>"$work/$name.err"
  local rc=$?
  local problems=()
  [[ $rc == "$want_rc" ]] || problems+=("the tool ended with $rc, expected $want_rc")
  if [[ ! -f $log ]]; then
    problems+=("no log written")
  else
    diff -u <(printf '%s\n' "$want") "$log" >"$work/$name.diff" || problems+=("the log differs:")
    cmp -s "$log" "$out" || problems+=("standard output differs from the log")
  fi
  if ((${#problems[@]})); then
    echo "FAIL $name"
    printf '    %s\n' "${problems[@]}"
    [[ -s $work/$name.diff ]] && sed 's/^/    /' "$work/$name.diff"
    [[ -s $work/$name.err ]] && sed 's/^/    stderr: /' "$work/$name.err"
    failed=$((failed + 1))
  else
    echo "ok   $name"
    passed=$((passed + 1))
  fi
}

# check_rc NAME TOOL_EXIT TOOL_ARGS... : only the tool's exit code counts
# (usage errors and a program that cannot start write no log).
check_rc() {
  local name=$1 want_rc=$2
  shift 2
  LC_ALL=$en "$run" "$tool" "$@" >"$work/$name.out" 2>"$work/$name.err"
  local rc=$?
  if [[ $rc == "$want_rc" ]]; then
    echo "ok   $name"
    passed=$((passed + 1))
  else
    echo "FAIL $name: the tool ended with $rc, expected $want_rc"
    sed 's/^/    stderr: /' "$work/$name.err"
    failed=$((failed + 1))
  fi
}

question_ru() {  # the record of the Russian question (MB_TOPMOST), pressed with $1
  cat <<EOF
box=${2:-1}
caption=Резонный вопрос
text=Установить обновление Lexova сейчас?\r\n\r\nЁлки, «да» или «нет»?
icon=question
buttons=yes,no
labels=&Да,&Нет
topmost=$mb_topmost
pressed=$1
EOF
}

question_en() {  # the record of the English question, topmost $1, pressed with $2
  cat <<'EOF'
box=1
caption=Sound question
text=Replace C:\\Lexova\\lexova.exe?\tSure?
icon=question
buttons=yes,no
labels=&Yes,&No
EOF
  printf 'topmost=%s\npressed=%s\n' "$1" "$2"
}

# The installer's error box, in English and in Russian.
check error-en "$en" 0 "$(cat <<'EOF'
box=1
caption=Lexova update
text=Line one\r\nLine two
icon=error
buttons=ok
labels=OK
topmost=0
pressed=ok
exit=21
EOF
)" --answers ok -- "$target" error-en

check error-ru "$ru" 0 "$(cat <<'EOF'
box=1
caption=Обновление Lexova
text=Не удалось прочитать файл.\r\nОбновление прервано.
icon=error
buttons=ok
labels=ОК
topmost=0
pressed=ok
exit=21
EOF
)" --answers ok -- "$target" error-ru

# The yes/no question: each answer reaches the program; with no answer left
# the tool says "no".
check question-yes "$ru" 0 "$(question_ru yes; echo exit=11)" --answers yes -- "$target" question
check question-no "$ru" 0 "$(question_ru no; echo exit=10)" --answers no -- "$target" question
check question-default "$ru" 0 "$(question_ru no; echo exit=10)" -- "$target" question

# Two boxes in a row, numbered, answered in order; the log given as Z:\...
# The English error box gets Russian button texts from the Russian locale.
dos_log=1 check error-then-question "$ru" 0 "$(cat <<'EOF'
box=1
caption=Lexova update
text=Line one\r\nLine two
icon=error
buttons=ok
labels=ОК
topmost=0
pressed=ok
EOF
question_ru yes 2
echo exit=11
)" --answers ok,yes -- "$target" error-then-question

# Backslash and tab escaped; English button texts for the English language.
check question-en "$en" 0 "$(question_en "$mb_topmost" yes; echo exit=11)" --answers yes -- "$target" question-en

# A box that is topmost (the program raises it itself, as Wine ignores MB_TOPMOST).
check question-topmost "$en" 0 "$(question_en 1 no; echo exit=10)" --answers no -- "$target" question-pinned

# The other icons and button sets, "close", and the negative default (cancel).
# The exit code holds the four results: OK 1, Retry 4, Cancel 2, Cancel 2.
check kinds "$en" 0 "$(cat <<'EOF'
box=1
caption=Kinds
text=Box 1
icon=warning
buttons=ok,cancel
labels=OK,Cancel
topmost=0
pressed=ok
box=2
caption=Kinds
text=Box 2
icon=information
buttons=abort,retry,ignore
labels=&Abort,&Retry,&Ignore
topmost=0
pressed=retry
box=3
caption=Kinds
text=Box 3
icon=none
buttons=cancel,retry
labels=Cancel,&Retry
topmost=0
pressed=close
box=4
caption=Kinds
text=Box 4
icon=question
buttons=cancel,yes,no
labels=Cancel,&Yes,&No
topmost=0
pressed=cancel
exit=1422
EOF
)" --answers ok,4,close -- "$target" kinds

# Arguments reach the program as given: blanks, quotes, an empty one,
# trailing backslashes, Cyrillic.
# shellcheck disable=SC1003
check arguments "$ru" 0 "$(cat <<'EOF'
box=1
caption=Arguments
text=[two words][say "hi"][][back\\slash\\][tail\\\\"x][Ёж]
icon=none
buttons=ok
labels=ОК
topmost=0
pressed=ok
exit=6
EOF
)" -- "$target" arguments "two words" 'say "hi"' '' 'back\slash\' 'tail\\"x' 'Ёж'

check silent "$en" 0 "exit=7" -- "$target" silent

# A program that never ends is ended at the time limit, and really ends.
hang_copy=$work/hang_target_$$.exe
cp "$target" "$hang_copy"
check hang "$en" 3 "exit=timeout" --timeout-ms 1500 -- "$hang_copy" hang
# Gone within a second of the tool's end.
for _ in $(seq 10); do pgrep -f "hang_target_$$.exe" >/dev/null || break; sleep 0.1; done
if leftover=$(pgrep -f "hang_target_$$.exe"); then
  echo "FAIL hang-ended: the program still runs after the time limit"
  # shellcheck disable=SC2086
  kill $leftover 2>/dev/null
  failed=$((failed + 1))
else
  echo "ok   hang-ended"
  passed=$((passed + 1))
fi

check_rc usage-no-log 2 -- "$target" silent
check_rc usage-no-program 2 --log "$work/x.log" --
check_rc usage-bad-answer 2 --log "$work/x.log" --answers yes,maybe -- "$target" silent
check_rc usage-bad-timeout 2 --log "$work/x.log" --timeout-ms soon -- "$target" silent
check_rc usage-bad-cancel-delay 2 --log "$work/x.log" --cancel-when x --cancel-delay-ms soon -- "$target" silent
check_rc usage-unknown-option 2 --log "$work/x.log" --verbose -- "$target" silent
check_rc missing-program 4 --log "$work/x.log" -- "$work/no_such_program.exe"
check_rc log-not-writable 4 --log "$work/no/such/dir/x.log" -- "$target" silent

echo "$passed passed, $failed failed"
[[ $failed == 0 ]]
