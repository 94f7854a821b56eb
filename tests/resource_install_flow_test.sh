#!/usr/bin/env bash
# The update of a package installed as one resource with a version comparison
# (base name "voc", installed as voc.pak), end to end under Wine.
#   resource_install_flow_test.sh INSTALLER LANGUAGE_FILE_INSTALLER PACKAGE FAST_WAITS_INSTALLER
# The fast-waits installer carries the same package and waits for a held
# file for 3 s instead of 30 (the real wait is the update flow test's).
installer=$1
language_installer=$2
fast_installer=$4
source "$(dirname "$0")/harness/e2e.sh"
e2e_begin resource_install_flow
cp "$3" "$WORK/package.expected"
target_win="$APP_WIN\\voc.pak"
target="$APP_DIR/voc.pak"
export KAVREL_STANDIN_LOG="Z:${WORK//\//\\}\\standin.log"

# An installed voc.pak whose header names VERSION (a 16-bit number at offset 6).
installed_version() {
  printf 'voc\0\x22\x02' >"$target"
  printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8)))installed data" >>"$target"
  cp "$target" "$WORK/installed.copy"
}
package_installed() { cmp -s "$target" "$WORK/package.expected" && echo yes || echo no; }
installed_kept() { cmp -s "$target" "$WORK/installed.copy" && echo yes || echo no; }
temporary_left() { [[ -e $APP_DIR/~voc.pak ]] && echo yes || echo no; }
question_en() {
  printf '%s%s%s%s%s' "$(logged "$target_win")" ' file installing is of older version\r\nthan the same already installed.\r\n\r\n' \
    'Do you really want to replace existing\r\nnew file version ' "$1 with an older file version $2" '?'
}

echo "== No voc.pak yet: written without a question"
install_app
run_installer "$installer" "" modest
check "exit code" "$(exit_code)" 0
check "no box" "$(boxes)" 0
check "package written" "$(package_installed)" yes
check "no temporary file" "$(temporary_left)" no

echo "== A dangling symbolic link at the name of a new voc.pak: replaced, never written through"
install_app
rm -f "$WORK/nowhere"
ln -s "$WORK/nowhere" "$target"
run_installer "$installer" "" modest
check "exit code" "$(exit_code)" 0
check "nothing created where it pointed" "$([[ -e $WORK/nowhere ]] && echo yes || echo no)" no
check "package written" "$(package_installed)" yes
check "voc.pak is a file now" "$([[ -f $target && ! -L $target ]] && echo yes || echo no)" yes
check "no temporary file" "$(temporary_left)" no

echo "== A dangling symbolic link at the temporary name, for an existing and a new voc.pak"
for existing in yes no; do
  install_app
  [[ $existing == yes ]] && installed_version 4
  ln -s "$WORK/nowhere" "$APP_DIR/~voc.pak"
  run_installer "$installer" "" modest
  check "existing $existing: nothing created where it points" "$([[ -e $WORK/nowhere ]] && echo yes || echo no)" no
  # Windows removes the link and installs; Wine cannot remove a dangling Unix
  # link: the write failure, the installed file as it was.
  if [[ $(exit_code) != 0 ]]; then
    check "existing $existing: the failure message" "$(box 1 text | sed 's/\\r\\n\\r\\n.*//')" \
      "$(logged "Can't install file $target_win")"
    if [[ $existing == yes ]]; then
      check "existing $existing: installed file kept" "$(installed_kept)" yes
    else
      check "existing $existing: no voc.pak" "$([[ -e $target ]] && echo yes || echo no)" no
    fi
  else
    check "existing $existing: exit code" "$(exit_code)" 0
    check "existing $existing: package written" "$(package_installed)" yes
  fi
  rm -f "$APP_DIR/~voc.pak"
done

echo "== Equal and newer package versions replace without a question"
for version in 5 4 0; do
  install_app
  installed_version "$version"
  run_installer "$installer" "" modest
  check "installed $version: no box" "$(boxes)" 0
  check "installed $version: package written" "$(package_installed)" yes
done

echo "== An older package: the question, answered no and yes"
install_app
installed_version 9
run_installer "$installer" no modest
check "exit code" "$(exit_code)" 0
check_box 1 "Sound question" "$(question_en 9 5)" question yes,no
check "installed file kept" "$(installed_kept)" yes
check "no temporary file" "$(temporary_left)" no
run_installer "$installer" yes modest
check "package written" "$(package_installed)" yes
check "no temporary file" "$(temporary_left)" no

echo "== An older package where nobody sees the installer: the question is not asked, the answer is no"
# As under a deployment tool (run_unseen, tests/harness/e2e.sh): a question
# shown there would wait for ever.
install_app
installed_version 9
run_unseen "$installer" modest
check "exit code within 30 s" "$(unseen_exit)" 0
check "no box, no progress window" "$(unseen_windows)" ""
check "installed file kept" "$(installed_kept)" yes
check "no temporary file" "$(temporary_left)" no

echo "== The question in Russian, also on an English Windows"
for setup in ru_RU.UTF-8 mixed; do
  install_app
  installed_version 300
  E2E_LOCALE=$setup run_installer "$installer" no modest
  check_box 1 "Резонный вопрос" "$(logged "Устанавливаемый файл $target_win")\\r\\nболее старой версии, чем уже установленный.\\r\\n\\r\\nДействительно ли Вы хотите заменить уже имеющийся\\r\\nфайл версии 300 на более старый версии 5?" question yes,no
  check "$setup: installed file kept" "$(installed_kept)" yes
done

echo "== The question from a language file, in its own language"
install_app
installed_version 9
mkdir -p "$APP_DIR/language"
printf '[langver]\r\n1\r\n[soundquest]\r\nRussian base\r\n' >"$APP_DIR/language/russian.lng"
printf '[langver]\r\n1\r\n[soundquest]\r\nEnglish base\r\n' >"$APP_DIR/language/english.lng"
printf '[LangVer]\r\n3\r\n[SoundQuest] the caption\r\nPytannia\r\n[olderfilever]\r\nFile %%1 is older.\r\n  Replace it?  \r\n   \r\nnot read\r\n' \
  >"$APP_DIR/language/test.lng"
run_installer "$language_installer" no modest
check_box 1 "Pytannia" "$(logged "File $target_win is older.")\\r\\n  Replace it?  " question yes,no
check "installed file kept" "$(installed_kept)" yes

echo "== A Ukrainian language file, in its own code page 1251, read on an English Windows"
printf '[langver]\r\n3\r\n[soundquest]\r\nПитання\r\n[olderfilever]\r\nФайл %%1 новіший.\r\nЗамінити?\r\n' |
  iconv -f UTF-8 -t CP1251 >"$APP_DIR/language/test.lng"
run_installer "$language_installer" no modest
check_box 1 "Питання" "$(logged "Файл $target_win новіший.")\\r\\nЗамінити?" question yes,no

echo "== The installed file held open without sharing: the replace fails, both files as they were"
install_app
installed_version 4
"$run" "$KAVREL_STANDIN" --no-window --no-mapping --hold-file "$target_win" --run-ms 60000 >/dev/null 2>&1 &
holder=$!
for _ in $(seq 100); do grep -q "file held" "$WORK/standin.log" 2>/dev/null && break; sleep 0.1; done
new_run_log
run_installer "$fast_installer" "" modest "$LOG_SWITCH"
check_code "held" 32
check "waited on" "$([[ $(grep -c 'test clock: wait' "$RUN_LOG") -gt 5 ]] && echo yes || echo no)" yes
check_box 1 "Lexova update" \
  "$(logged "Can't install file $target_win")\\r\\n\\r\\nThe file is in use by another program. Close it and try again." error ok
check "installed file kept" "$(installed_kept)" yes
check "no temporary file" "$(temporary_left)" no
for pid in $(sed -n 's/^process //p' "$WORK/standin.log" 2>/dev/null); do "$run" taskkill /F /PID "$pid" >/dev/null 2>&1; done
wait "$holder"

e2e_end
