#!/usr/bin/env bash
# The whole update under Wine: the questions and messages in both languages,
# quiet mode, the package written, "EstimatedSize", the running application
# asked to quit and the application started at the end.
#   update_flow_test.sh INSTALLER PACKAGE_PART1 PACKAGE_PART2 NOT_ADMIN_INSTALLER SLOW_STEPS_INSTALLER
#                       VENDOR_INSTALLER VENDOR_PACKAGE FAST_WAITS_INSTALLER
# The vendor's installer carries a package file of version 6670 that is
# smaller than the first part, built without a version given. The
# fast-waits installer waits for a held package for 3 s instead of 30.
# KAVREL_E2E_FILTER, an extended regular expression, runs only the scenarios
# whose title or group matches it (groups: cancel, codes, held, links, log, lock,
# locale, progress, questions, quiet, registry, shell, size, trace, unseen,
# versions):
#   KAVREL_E2E_FILTER='^codes$|1618' ctest --preset win32 -R win.update_flow
installer=$1
not_admin_installer=$4
slow_steps_installer=$5
vendor_installer=$6
vendor_package=$7
fast_installer=$8
source "$(dirname "$0")/harness/e2e.sh"
e2e_begin update_flow
cat "$2" "$3" >"$WORK/package.expected"
standin_log=$WORK/standin.log
export KAVREL_STANDIN_LOG="Z:${standin_log//\//\\}"

confirmation_en='Would you like to setup\r\nLexova update -\r\n"Sonvela" версии 6660?'
confirmation_ru='Вы действительно хотите установить\r\nОбновление Lexova -\r\n"Sonvela" версии 6660?'
final_question='На Ваш компьютер установлено\r\nОбновление Lexova -\r\n"Sonvela" версии 6660\r\n\r\nЗапустить программу?'
no_subject_en="There's no subject of update - the Lexova installed.\\r\\nPlease, install the program at first."
in_use_en='\r\n\r\nThe file is in use by another program. Close it and try again.'
in_use_ru='\r\n\r\nФайл занят другой программой. Закройте её и повторите попытку.'
denied_en='\r\n\r\nAccess to the folder is denied.'
no_subject_ru='Нет предмета обновления - установленной программы Lexova.\r\nПожалуйста, сначала установите программу.'

package_installed() { cmp -s "$APP_DIR/zyq.pak" "$WORK/package.expected" && echo yes || echo no; }
package_untouched() { [[ $(cat "$APP_DIR/zyq.pak") == "$OLD_PACKAGE" ]] && echo yes || echo no; }
temporary_left() { [[ -e $APP_DIR/~zyq.pak ]] && echo yes || echo no; }
standin_saw() { grep -Fqx "$1" "$standin_log" 2>/dev/null && echo yes || echo no; }
# The program that started the application (its parent process), in lower case.
started_by() { sed -n 's/^parent //p' "$standin_log" 2>/dev/null | tr -d '\r' | tr '[:upper:]' '[:lower:]' | head -n1; }
# Waits for a stand-in event that follows the installer's end (bounded, not timed).
wait_for_standin() { for _ in $(seq 100); do [[ $(standin_saw "$1") == yes ]] && break; sleep 0.1; done; }
# hold_package [SETUP [OPTIONS...]]: a stand-in holds zyq.pak open without
# sharing, started in one of E2E_LOCALES (for 60 s unless OPTIONS say
# otherwise); its process is $holder.
hold_package() {
  local setup=${1:-en_US.UTF-8} options=("${@:2}")
  ((${#options[@]})) || options=(--run-ms 60000)
  in_locale "$setup" "$run" "$KAVREL_STANDIN" --no-window --no-mapping --hold-file "$APP_WIN\\${HELD_NAME:-zyq.pak}" \
    "${options[@]}" >/dev/null 2>&1 &
  holder=$!
  wait_for_standin "file held $APP_WIN\\${HELD_NAME:-zyq.pak}"
}
# A quiet run while the holder lets go within the wait: installed as if nobody had held it.
check_waited_out() {
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "package written" "$(package_installed)" yes
  check "no temporary file" "$(temporary_left)" no
  end_standins
  wait "$holder"
}
# The application started through the desktop shell, in its folder, and activated.
check_started_through_the_shell() {
  wait_for_standin activated
  check "application started" "$(standin_saw started)" yes
  check "started by the desktop shell" "$(started_by)" explorer.exe
  check "in its folder" "$(standin_saw "current folder $APP_WIN")" yes
  check "application activated" "$(standin_saw activated)" yes
  end_standins
}
# How many processes of this prefix run the application (Kavrel.exe).
app_processes() {
  local pid count=0
  for pid in $(pgrep -f 'Kavrel\.exe'); do
    tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -Fqx "WINEPREFIX=$PREFIX" && count=$((count + 1))
  done
  echo "$count"
}
end_standins() {
  for pid in $(sed -n 's/^process //p' "$standin_log" 2>/dev/null); do "$run" taskkill /F /PID "$pid" >/dev/null 2>&1; done
  rm -f "$standin_log"
}

# Values that scenarios set for the installer and take back; each scenario
# begins without them, whatever the one before it left.
app_defaults='HKCU\Software\Wine\AppDefaults\'"$(basename "$installer")"
dll_overrides=$app_defaults'\DllOverrides'
fast_app_defaults='HKCU\Software\Wine\AppDefaults\'"$(basename "$fast_installer")"
fast_dll_overrides=$fast_app_defaults'\DllOverrides'
reset_registry() {
  reg_64 delete "$UNINSTALL_KEY" /f
  reg_import "[-${app_defaults/#HKCU/HKEY_CURRENT_USER}]" "[-${fast_app_defaults/#HKCU/HKEY_CURRENT_USER}]" \
    '[HKEY_CURRENT_USER\Environment]' '"ComSpec"=-' '"FAKE_COMSPEC_LOG"=-' "[-$UNINSTALL_KEY_32]"
}
# scenario TITLE GROUP...: announces the scenario and answers whether it runs.
scenario() {
  local title=$1
  shift
  if [[ -n ${KAVREL_E2E_FILTER:-} ]]; then
    local group matched=no
    [[ $title =~ $KAVREL_E2E_FILTER ]] && matched=yes
    for group in "$@"; do [[ $group =~ $KAVREL_E2E_FILTER ]] && matched=yes; done
    [[ $matched == yes ]] || return 1
  fi
  echo "== $title"
  reset_registry
  return 0
}

# The application's folder may be writable by every user (an application
# installed outside Program Files): what they leave at the package's names
# must never turn the installer's writes elsewhere. Unix links play them.
elsewhere=$WORK/elsewhere
theirs='a file of another user, outside the application folder'
links_of() { stat -c %h "$1"; }
elsewhere_untouched() { [[ $(cat "$elsewhere" 2>/dev/null) == "$theirs" ]] && echo yes || echo no; }
other=$WORK/other-folder
logs_dir="$PREFIX/drive_c/Kavrel logs"
mkdir -p "$logs_dir"
# The Temp folder of the prefix's user, where "/log" alone writes.
user_temp_dir=$(find "$PREFIX/drive_c/users" -mindepth 2 -maxdepth 2 -name Temp | head -n1)

if scenario "English, both questions answered yes" questions; then
  install_app
  run_installer "$installer" yes,yes
  check "exit code" "$(exit_code)" 0
  check "two boxes" "$(boxes)" 2
  check_box 1 "Sound question" "$confirmation_en" question yes,no
  check_box 2 "Lexova update" "$final_question" question yes,no
  check "package written" "$(package_installed)" yes
  check "no temporary file" "$(temporary_left)" no
  check "EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  check_started_through_the_shell
fi

if scenario "Russian, the confirmation declined" questions codes; then
  install_app
  new_run_log
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$installer" no "$LOG_SWITCH"
  check_code "declined" 1602
  check "one box" "$(boxes)" 1
  check_box 1 "Резонный вопрос" "$confirmation_ru" question yes,no
  check "nothing written" "$(package_untouched)" yes
  check "no EstimatedSize" "$(estimated_size)" ""
fi

if scenario "Russian, the final question declined: still in Russian with the English title" questions; then
  install_app
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$installer" yes,no
  check "exit code" "$(exit_code)" 0
  check_box 2 "Lexova update" "$final_question" question yes,no
  check "package written" "$(package_installed)" yes
  check "application not started" "$(standin_saw started)" no
fi

if scenario "Quiet mode in capitals: no box, nothing started" quiet; then
  install_app
  run_installer "$installer" "" MODEST
  check "exit code" "$(exit_code)" 0
  check "no box" "$(boxes)" 0
  check "package written" "$(package_installed)" yes
  check "EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  check "the package's version recorded beside it" "$(uninstall_number zyq.pak)" 6660
  check "application not started" "$(standin_saw started)" no
fi

if scenario "Quiet mode as Windows 10, where \"ver\" runs alongside the update: nothing left behind, ComSpec never run" quiet; then
  # Told 6.2 (the manifest names no newer Windows), the installer starts "ver"
  # and waits for it only at its end; nothing of it may be left in the Temp
  # folder. The user's own environment names a program of the user's as the
  # interpreter, as any user may in HKCU\Environment: the elevated installer
  # must never run it (it would leave its mark) and describes Windows as
  # without it, so the size goes to the same registry view.
  temp_before=$(ls -A "$user_temp_dir")
  comspec_mark=$WORK/comspec-mark
  rm -f "$comspec_mark"
  "$run" reg add "$app_defaults" /v Version /d win10 /f >/dev/null 2>&1
  "$run" reg add 'HKCU\Environment' /v ComSpec /d "Z:${KAVREL_FAKE_COMSPEC//\//\\}" /f >/dev/null 2>&1
  "$run" reg add 'HKCU\Environment' /v FAKE_COMSPEC_LOG /d "Z:${comspec_mark//\//\\}" /f >/dev/null 2>&1
  install_app
  run_installer "$installer" "" modest
  "$run" reg delete "$app_defaults" /v Version /f >/dev/null 2>&1
  "$run" reg delete 'HKCU\Environment' /v ComSpec /f >/dev/null 2>&1
  "$run" reg delete 'HKCU\Environment' /v FAKE_COMSPEC_LOG /f >/dev/null 2>&1
  check "exit code" "$(exit_code)" 0
  check "no box" "$(boxes)" 0
  check "package written" "$(package_installed)" yes
  check "nothing new in the temporary folder" "$(ls -A "$user_temp_dir")" "$temp_before"
  check "the interpreter that ComSpec names never ran" "$([[ -e $comspec_mark ]] && echo yes || echo no)" no
  check "EstimatedSize in the 64-bit view" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
fi

if scenario "Quiet mode with runapp in any letter case starts the application" quiet shell; then
  install_app
  run_installer "$installer" "" modest RunApp
  check "exit code" "$(exit_code)" 0
  check "no box" "$(boxes)" 0
  check_started_through_the_shell
fi

if scenario "Without the desktop shell's route the installer starts the application itself" shell; then
  # Wine disables oleaut32.dll for the installer (its application defaults are
  # keyed by file name), so the shell's route cannot begin; the desktop shell
  # itself and the application are untouched.
  "$run" reg add "$dll_overrides" /v oleaut32 /d "" /f >/dev/null 2>&1
  install_app
  rm -f "$WORK/no-shell.log"
  run_installer "$installer" "" modest runapp "/log=Z:${WORK//\//\\}\\no-shell.log"
  check "exit code" "$(exit_code)" 0
  check "no box" "$(boxes)" 0
  wait_for_standin activated
  check "application started" "$(standin_saw started)" yes
  check "started by the installer" "$(started_by)" "$(basename "$installer" | tr '[:upper:]' '[:lower:]')"
  check "the log says why" "$(grep -c ' application: started by the installer (no desktop shell to ask)' "$WORK/no-shell.log")" 1
  check "the log names the failed call and its place" "$(tr -d '\r' <"$WORK/no-shell.log" | grep -cE '\(no desktop shell to ask\); desktop shell failed: oleaut32\.dll not loaded, Windows error [0-9]+.* \[platform/com_runtime\.cpp:[0-9]+\]$')" 1
  check "in its folder" "$(standin_saw "current folder $APP_WIN")" yes
  check "application activated" "$(standin_saw activated)" yes
  end_standins
  install_app
  run_installer "$installer" yes,yes
  check "exit code" "$(exit_code)" 0
  check "two boxes" "$(boxes)" 2
  check "package written" "$(package_installed)" yes
  wait_for_standin activated
  check "started by the installer, interactive" "$(started_by)" "$(basename "$installer" | tr '[:upper:]' '[:lower:]')"
  check "application activated, interactive" "$(standin_saw activated)" yes
  end_standins
  "$run" reg delete "$dll_overrides" /f >/dev/null 2>&1
fi

if scenario "Quiet mode with another second argument, and runapp in interactive mode" quiet; then
  install_app
  run_installer "$installer" "" modest run
  check "no box" "$(boxes)" 0
  check "application not started" "$(standin_saw started)" no
  run_installer "$installer" yes,no runapp
  check "both questions asked" "$(boxes)" 2
  check "application not started" "$(standin_saw started)" no
fi

if scenario "A slash before modest is not the quiet switch" quiet; then
  install_app
  run_installer "$installer" no /modest
  check "confirmation asked" "$(box 1 caption)" "Sound question"
  check "nothing written" "$(package_untouched)" yes
fi

if scenario "No application installed" codes; then
  install_app --no-exe
  new_run_log
  run_installer "$installer" "" "$LOG_SWITCH"
  check_code "not installed" 1605
  check_box 1 "Lexova update" "$no_subject_en" error ok
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$installer" ""
  check "exit code" "$(exit_code)" 1605
  check_box 1 "Обновление Lexova" "$no_subject_ru" error ok
  check "nothing written" "$(package_untouched)" yes
fi

if scenario "The running application is asked to quit before the confirmation" questions; then
  install_app
  "$run" "$APP_DIR/Kavrel.exe" --run-ms 60000 >/dev/null 2>&1 &
  wait_for_standin "window created"
  run_installer "$installer" no
  check "declined" "$(exit_code)" 1602
  wait_for_standin "quit received"
  check "quit requested" "$(standin_saw "quit received")" yes
  check "nothing written" "$(package_untouched)" yes
  wait
  end_standins
fi

if scenario "A user without administrator rights" codes; then
  install_app
  "$run" "$APP_DIR/Kavrel.exe" --run-ms 60000 >/dev/null 2>&1 &
  wait_for_standin "window created"
  new_run_log
  run_installer "$not_admin_installer" "" modest "$LOG_SWITCH"
  check_code "no administrator" 740
  check_box 1 "Lexova update" "You have no right to install applications!" error ok
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$not_admin_installer" ""
  check_box 1 "Обновление Lexova" "У Вас нет права устанавливать программы!" error ok
  check "nothing written" "$(package_untouched)" yes
  check "the running application not asked to quit" "$(standin_saw "quit received")" no
  end_standins
  wait
fi

if scenario "The per-user Programs folder stored as a number" codes registry; then
  install_app
  saved_programs=$("$run" reg query "$SHELL_FOLDERS_KEY" /v Programs 2>/dev/null | tr -d '\r' | sed -n 's/.*Programs *REG_SZ *//p')
  "$run" reg add "$SHELL_FOLDERS_KEY" /v Programs /t REG_DWORD /d 1 /f >/dev/null 2>&1
  for setup in "${E2E_LOCALES[@]}"; do
    new_run_log
    E2E_LOCALE=$setup run_installer "$installer" "" "$LOG_SWITCH"
    check_code "$setup: registry" 1012
    if [[ $setup == en_US.UTF-8 ]]; then
      check_box 1 "Lexova update" "No access to system registry" error ok
    else
      check_box 1 "Обновление Lexova" "Нет доступа к системному реестру" error ok
    fi
  done
  "$run" reg add "$SHELL_FOLDERS_KEY" /v Programs /d "$saved_programs" /f >/dev/null 2>&1
  check "nothing written" "$(package_untouched)" yes
fi

# The names of the values of the uninstall key in one view, one line.
uninstall_values() {
  reg_in_view "$1" query "$UNINSTALL_KEY" 2>/dev/null | tr -d '\r' |
    awk '$2 ~ /^REG_/ { print $1 }' | sort | tr '\n' ' '
}

if scenario "Registered only below WOW6432Node: EstimatedSize goes to the native key, created; the version to the registration" registry; then
  install_app
  reg_64 delete "$UNINSTALL_KEY" /f
  reg_32 add "$UNINSTALL_KEY" /v UninstallString /d "$APP_WIN\\uninstall.exe" /f
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "package written" "$(package_installed)" yes
  check "EstimatedSize in the 64-bit view" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  check "the created native key holds EstimatedSize alone" "$(uninstall_values 64)" "EstimatedSize "
  check "the version beside the registration" "$(uninstall_values 32)" "UninstallString zyq.pak "
fi

if scenario "Not registered, installed in Program Files: no detection value anywhere" registry; then
  use_app_folder 'Program Files\Kavrel'
  install_app
  reg_64 delete "$UNINSTALL_KEY" /f
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "package written" "$(package_installed)" yes
  check "the created native key holds EstimatedSize alone" "$(uninstall_values 64)" "EstimatedSize "
  check "nothing below WOW6432Node" "$(uninstall_values 32)" ""
  rm -rf "$APP_DIR"
  use_app_folder 'Kavrel E2E'
fi

if scenario "An uninstall command stored as REG_EXPAND_SZ with %ProgramFiles%: expanded" registry; then
  # A 32-bit process's "%ProgramFiles%" is "Program Files (x86)": the 64-bit
  # view's registration means the 64-bit folder, where the application lies.
  use_app_folder 'Program Files\Kavrel E2E'
  install_app
  reg_64 add "$UNINSTALL_KEY" /v UninstallString /t REG_EXPAND_SZ /d '"%ProgramFiles%\Kavrel E2E\uninstall.exe" /S' /f
  run_installer "$installer" "" modest
  check "expandable: exit code" "$(exit_code)" 0
  check "expandable: package written" "$(package_installed)" yes
  rm -rf "$APP_DIR"
  use_app_folder 'Kavrel E2E'
fi

if scenario "Windows XP, 7 and 10: the registration or the default folder found, the size written in the native view only" versions; then
  # The prefix's Windows: on a 32-bit one (the x86 lane) the registry has one
  # view and there is one Program Files; on a 64-bit one the installer, a
  # 32-bit program, must reach the 64-bit view. Wine plays each version for
  # the installer and for the interpreter that runs "ver".
  cmd_defaults='HKCU\Software\Wine\AppDefaults\cmd.exe'
  for version in winxp win7 win10; do
    "$run" reg add "$app_defaults" /v Version /d "$version" /f >/dev/null 2>&1
    "$run" reg add "$cmd_defaults" /v Version /d "$version" /f >/dev/null 2>&1
    install_app
    new_run_log
    run_installer "$installer" "" modest "$LOG_SWITCH"
    check_code "$version, registered" 0
    check "$version: the Windows logged as $WINDOWS_BITS-bit" \
      "$(tr -d '\r' <"$RUN_LOG" | grep -cE " Windows: [^,]+, $WINDOWS_BITS-bit$")" 1
    check "$version: package written" "$(package_installed)" yes
    check "$version: EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
    check "$version: the size and the version beside the registration" "$(uninstall_values 64)" \
      "EstimatedSize UninstallString zyq.pak "
    check "$version: nothing below WOW6432Node" "$(uninstall_values 32)" ""
    use_app_folder 'Program Files\Kavrel'
    install_app
    reg_64 delete "$UNINSTALL_KEY" /f
    run_installer "$installer" "" modest
    check "$version, not registered: exit code" "$(exit_code)" 0
    check "$version, not registered: the package in Program Files written" "$(package_installed)" yes
    check "$version, not registered: EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
    check "$version, not registered: the created key holds EstimatedSize alone" "$(uninstall_values 64)" "EstimatedSize "
    check "$version, not registered: nothing below WOW6432Node" "$(uninstall_values 32)" ""
    rm -rf "$APP_DIR"
    use_app_folder 'Kavrel E2E'
  done
  "$run" reg delete "$cmd_defaults" /v Version /f >/dev/null 2>&1
fi

if scenario "A stale temporary file from an interrupted run is replaced" links; then
  install_app
  printf 'half a package' >"$APP_DIR/~zyq.pak"
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "package written" "$(package_installed)" yes
  check "no temporary file" "$(temporary_left)" no
fi

if scenario "A hard link planted at the temporary name, and one at the package's name" links; then
  for planted in '~zyq.pak' zyq.pak; do
    install_app
    printf '%s' "$theirs" >"$elsewhere"
    rm -f "$APP_DIR/$planted"
    ln "$elsewhere" "$APP_DIR/$planted"
    run_installer "$installer" "" modest
    check "$planted: exit code" "$(exit_code)" 0
    check "$planted: the other file unchanged" "$(elsewhere_untouched)" yes
    check "$planted: the other file has its own name only" "$(links_of "$elsewhere")" 1
    check "$planted: package written" "$(package_installed)" yes
    check "$planted: the package is a file of its own" "$(links_of "$APP_DIR/zyq.pak")" 1
    check "$planted: no temporary file" "$(temporary_left)" no
  done
fi

if scenario "A dangling symbolic link at the temporary name" links; then
  install_app
  rm -f "$WORK/nowhere"
  ln -s "$WORK/nowhere" "$APP_DIR/~zyq.pak"
  run_installer "$installer" "" modest
  check "nothing created where it points" "$([[ -e $WORK/nowhere ]] && echo yes || echo no)" no
  # Windows removes the link and installs. Wine cannot remove a dangling Unix
  # link, so the new file cannot be made: the usual write failure.
  outcome="$(exit_code) $(package_installed)"
  [[ $outcome == "1603 no" ]] && outcome="$outcome $(package_untouched)"
  check "installed, or the write failure with the old package" "$([[ $outcome == "0 yes" || $outcome == "1603 no yes" ]] && echo yes || echo no)" yes
  rm -f "$APP_DIR/~zyq.pak"
fi

if scenario "A folder at the temporary name: the write failure" links codes; then
  install_app
  mkdir "$APP_DIR/~zyq.pak"
  rm -f "$WORK/refused.log"
  run_installer "$installer" "" modest "/log=Z:${WORK//\//\\}\\refused.log"
  RUN_LOG=$WORK/refused.log check_code "a folder at the temporary name" 1603
  check_box 1 "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$denied_en" error ok
  check "logged as the installer's refusal, not as a Windows error" \
    "$(grep -cF "write refused: a folder stands at the name, path $APP_WIN\\~zyq.pak" "$WORK/refused.log") $(grep -c 'Windows error' "$WORK/refused.log")" "1 0"
  check "installed package unchanged" "$(package_untouched)" yes
  check "the folder left as it was" "$(ls -A "$APP_DIR/~zyq.pak")" ""
  rmdir "$APP_DIR/~zyq.pak"
fi

if scenario "A second name given to the temporary file while it is written: not installed" links; then
  # Only interactive runs pause between the slices of this build, long enough
  # to give the file its second name before the installer checks it again.
  install_app
  rm -f "$WORK/second name"
  LC_ALL=en_US.UTF-8 "$run" "$KAVREL_DIALOG_TOOL" --log "$WORK/linked.log" --answers yes,cancel,no --timeout-ms 120000 \
    -- "$slow_steps_installer" >/dev/null 2>&1 &
  installing=$!
  for _ in $(seq 1000); do [[ -e $APP_DIR/~zyq.pak ]] && break; sleep 0.01; done
  ln "$APP_DIR/~zyq.pak" "$WORK/second name"
  wait "$installing"
  LOG=$WORK/linked.log
  check "exit code" "$(exit_code)" 1603
  check_box 2 "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$denied_en" error cancel,retry
  check "installed package unchanged" "$(package_untouched)" yes
  rm -f "$WORK/second name" "$APP_DIR/~zyq.pak"
fi

if scenario "The application folder swapped for a link while the installer waits to replace the package" links held; then
  # The installer waits for the held package with its temporary file written;
  # meanwhile the folder is renamed and a link to another folder, with a
  # package and a file planted at the temporary name, takes its place.
  install_app
  rm -rf "$other" "$APP_DIR.moved" && mkdir -p "$other"
  cp "$KAVREL_STANDIN" "$other/Kavrel.exe"
  printf '%s' "$theirs" >"$other/zyq.pak"
  printf 'planted' >"$other/~zyq.pak"
  (cd "$other" && find . -type f -exec sha256sum {} + | sort) >"$WORK/other.before"
  hold_package
  LC_ALL=en_US.UTF-8 "$run" "$KAVREL_DIALOG_TOOL" --log "$WORK/swapped.log" --timeout-ms 120000 -- "$installer" modest \
    >/dev/null 2>&1 &
  installing=$!
  for _ in $(seq 200); do cmp -s "$APP_DIR/~zyq.pak" "$WORK/package.expected" && break; sleep 0.05; done
  mv "$APP_DIR" "$APP_DIR.moved"
  ln -s "$other" "$APP_DIR"
  end_standins
  wait "$holder" "$installing"
  LOG=$WORK/swapped.log
  check "exit code" "$(exit_code)" 1603
  check "nothing in the other folder changed or appeared" \
    "$(cd "$other" && find . -type f -exec sha256sum {} + | sort)" "$(cat "$WORK/other.before")"
  moved=$(cmp -s "$APP_DIR.moved/zyq.pak" "$WORK/package.expected" && echo new ||
          { [[ $(cat "$APP_DIR.moved/zyq.pak") == "$OLD_PACKAGE" ]] && echo old || echo damaged; })
  check "the checked folder holds the old or the new package" "$([[ $moved != damaged ]] && echo yes || echo no)" yes
  rm -f "$APP_DIR" && mv "$APP_DIR.moved" "$APP_DIR"
fi

if scenario "A link in the application folder's place: the write failure, nothing written where it points" links; then
  install_app
  rm -rf "$other" && mkdir -p "$other"
  cp "$KAVREL_STANDIN" "$other/Kavrel.exe"
  printf '%s' "$theirs" >"$other/zyq.pak"
  (cd "$other" && find . -type f -exec sha256sum {} + | sort) >"$WORK/other.before"
  rm -rf "$APP_DIR" && ln -s "$other" "$APP_DIR"
  run_installer "$installer" "" modest "/log=Z:${WORK//\//\\}\\link.log"
  check "exit code" "$(exit_code)" 1603
  check "the size's failure logged as a refusal, no Windows error" \
    "$(grep -c 'EstimatedSize refused: no plain folder' "$WORK/link.log") $(grep -c 'Windows error' "$WORK/link.log")" "1 0"
  check_box 1 "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$denied_en" error ok
  check "nothing in the other folder changed or appeared" \
    "$(cd "$other" && find . -type f -exec sha256sum {} + | sort)" "$(cat "$WORK/other.before")"
  check "no EstimatedSize from the other folder" "$(estimated_size)" ""
  rm -f "$APP_DIR"
fi

if scenario "The package on disk before it takes the installed one's place, and the replace written through" trace; then
  # Wine's relay trace of a quiet run: the writes of the temporary file, its
  # flush, the rename (NtSetInformationFile), and a flush after it. The
  # installer asks for class 65 (FileRenameInformationEx, Windows 10 1809 and
  # later) and, where that class is unknown, for class 10 (FileRenameInformation):
  # Wine 8 knows only class 10, Wine 10 renames with class 65 (Wine's difference).
  rename_call="Call ntdll[.]NtSetInformationFile[(][0-9a-f]+,[0-9a-f]+,[0-9a-f]+,[0-9a-f]+,$(printf %08x $((WINE_MAJOR >= 10 ? 65 : 10)))[)]"
  install_app
  WINEDEBUG=+relay "$run" "$installer" modest 2>"$WORK/relay.log" >/dev/null
  check "installed with the trace on" "$(package_installed)" yes
  order=$(awk -v rename_call="$rename_call" '
    function first_argument(line) { sub(/^.*Call ntdll\.[A-Za-z]+\(/, "", line); sub(/,.*/, "", line); return line }
    /Call ntdll\.NtWriteFile\(/ { written = first_argument($0) }
    /Call ntdll\.NtFlushBuffersFile\(/ {
      handle = first_argument($0)
      if (renamed == "" && handle == written) flushed = 1
      if (renamed != "" && handle == renamed) { print (flushed ? "flushed, renamed, flushed" : "renamed unflushed, flushed"); exit } }
    $0 ~ rename_call { renamed = first_argument($0) }
  ' "$WORK/relay.log")
  check "flush, replace, flush" "$order" "flushed, renamed, flushed"
  order=$(awk -v rename_call="$rename_call" '
    $0 ~ rename_call && !renamed { renamed = NR }
    /Call advapi32\.RegSetValueEx[AW]\(.*EstimatedSize/ && !size { size = NR }
    /Call advapi32\.RegSetValueEx[AW]\(.*zyq\.pak/ && !version { version = NR }
    END { print (renamed && size && version && renamed < size && size < version) ? "replaced, size, version" : renamed " " size " " version }
  ' "$WORK/relay.log")
  check "the package replaced, then EstimatedSize, then the version" "$order" "replaced, size, version"
fi

if scenario "Links to the parent and to a big tree elsewhere: the size walk ends and counts the folder's own files" links size; then
  install_app
  mkdir -p "$APP_DIR/data/deeper" "$WORK/big tree/inner"
  printf '%01000d' 0 >"$APP_DIR/data/deeper/own.dat"
  truncate -s 1G "$WORK/big tree/inner/huge.dat"
  ln -s .. "$APP_DIR/data/up"
  ln -s "$APP_DIR" "$APP_DIR/data/deeper/back to the top"
  ln -s "$WORK/big tree" "$APP_DIR/big tree"
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  # A loop that is no link at all: the folder mounted again inside itself. The
  # walk knows it by its file index.
  own_kib=$(folder_kib "$APP_DIR")
  mkdir "$APP_DIR/data/mirror"
  if mount --bind "$APP_DIR" "$APP_DIR/data/mirror"; then
    trap 'umount "$APP_DIR/data/mirror" 2>/dev/null' EXIT
    run_installer "$installer" "" modest
    check "exit code" "$(exit_code)" 0
    check "EstimatedSize with the folder mounted inside itself" "$(estimated_size)" "$own_kib"
    umount "$APP_DIR/data/mirror"
    trap - EXIT
  else
    check "a folder can be mounted inside itself" no yes
fi
rm -rf "$WORK/big tree"
fi

if scenario "Folder names the system's code page cannot hold: the walk counts them as they are, never beside the folder" size locale; then
  # Windows maps fullwidth dots and backslashes to "." and "\" in the ANSI code
  # pages, and letters it cannot hold to "?".
  install_app
  beside="$PREFIX/drive_c/Kavrel beside"
  mkdir -p "$beside" "$APP_DIR/．．" "$APP_DIR/．．＼．．" "$APP_DIR/data＼up" "$APP_DIR/データ"
  truncate -s 3M "$beside/big.dat"
  printf '%01000d' 0 >"$APP_DIR/．．/dots.dat"
  printf '%02000d' 0 >"$APP_DIR/．．＼．．/climb.dat"
  printf '%03000d' 0 >"$APP_DIR/data＼up/slash.dat"
  printf '%04000d' 0 >"$APP_DIR/データ/japanese.dat"
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  rm -rf "$beside"
fi

if scenario "Another installer running: this one says so, writes nothing and ends with 1618" codes lock; then
  install_app
  mutex_name='Global\KavrelUpdateRunning'
  "$run" "$KAVREL_STANDIN" --no-window --no-mapping --hold-mutex "$mutex_name" --run-ms 60000 >/dev/null 2>&1 &
  holder=$!
  wait_for_standin "mutex held $mutex_name"
  new_run_log
  run_installer "$installer" "" modest "$LOG_SWITCH"
  check_code "another copy" 1618
  check_box 1 "Lexova update" "The update is already running." error ok
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$installer" yes,yes
  check "exit code" "$(exit_code)" 1618
  check "one box" "$(boxes)" 1
  check_box 1 "Обновление Lexova" "Обновление уже запущено." error ok
  check "nothing written" "$(package_untouched)" yes
  check "no temporary file" "$(temporary_left)" no
  check "no EstimatedSize" "$(estimated_size)" ""
  # Killed, the holder leaves no mutex behind.
  end_standins
  wait "$holder"
  run_installer "$installer" "" modest
  check "after the holder was killed: exit code" "$(exit_code)" 0
  check "after the holder was killed: package written" "$(package_installed)" yes
fi

if scenario "Two installers at once: the first writes, the second says so and ends with 1618" lock held; then
  # The first is held where it waits for the package to be free (it retries
  # for up to 30 s), with its temporary file written: the second starts there.
  install_app
  hold_package
  LC_ALL=en_US.UTF-8 "$run" "$KAVREL_DIALOG_TOOL" --log "$WORK/first.log" --timeout-ms 120000 -- "$installer" modest \
    >/dev/null 2>&1 &
  first=$!
  temporary_complete() { cmp -s "$APP_DIR/~zyq.pak" "$WORK/package.expected" && echo yes || echo no; }
  for _ in $(seq 200); do [[ $(temporary_complete) == yes ]] && break; sleep 0.05; done
  check "the first has written its temporary file" "$(temporary_complete)" yes
  run_installer "$installer" "" modest
  check "the second: exit code" "$(exit_code)" 1618
  check_box 1 "Lexova update" "The update is already running." error ok
  check "the first one's temporary file untouched" "$(temporary_complete)" yes
  end_standins
  wait "$holder" "$first"
  check "the first: exit code" "$(sed -n 's/^exit=//p' "$WORK/first.log")" 0
  check "the first: no box" "$(grep -c '^box=' "$WORK/first.log")" 0
  check "package written" "$(package_installed)" yes
  check "no temporary file" "$(temporary_left)" no
fi

if scenario "The installed package held open without sharing" codes held; then
  install_app
  reg_64 add "$UNINSTALL_KEY" /v zyq.pak /t REG_DWORD /d 6000 /f
  hold_package
  new_run_log
  run_installer "$installer" "" modest "$LOG_SWITCH"
  check_code "held for 30 s" 32
  check "the recorded version of the package that is there, unchanged" "$(uninstall_number zyq.pak)" 6000
  check_box 1 "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$in_use_en" error ok
  check "installed package unchanged" "$(package_untouched)" yes
  check "no temporary file" "$(temporary_left)" no
  check "EstimatedSize still recorded" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  end_standins
  wait "$holder"
fi

# "read-only" or "writable", as Wine shows the attribute: the file's write
# bits (root may write whatever they say).
attribute_of() { [[ $(stat -c %A "$1") == *w* ]] && echo writable || echo read-only; }

# The waits of the fast-waits build, from its log.
waits_logged() { grep -c 'test clock: wait' "$RUN_LOG"; }

if scenario "A folder at the package's name: refused at once, never waited on" held links codes; then
  install_app
  rm -f "$APP_DIR/zyq.pak"
  mkdir -p "$APP_DIR/zyq.pak" && printf 'theirs' >"$APP_DIR/zyq.pak/inside"
  new_run_log
  run_installer "$fast_installer" "" modest "$LOG_SWITCH"
  check_code "a folder at zyq.pak" 1603
  check "not waited on" "$(waits_logged)" 0
  check "the write's failure logged" "$(grep -c ' write failed: cannot replace the installed file, path ' "$RUN_LOG")" 1
  check "the folder and its content untouched" "$(ls -A "$APP_DIR/zyq.pak") $(cat "$APP_DIR/zyq.pak/inside")" "inside theirs"
  check "no temporary file" "$(temporary_left)" no
  # A package held by a program is waited on, in the same build; a
  # read-only one is read-only again after the replace failed.
  rm -rf "$APP_DIR/zyq.pak" && printf '%s' "$OLD_PACKAGE" >"$APP_DIR/zyq.pak" && chmod a-w "$APP_DIR/zyq.pak"
  hold_package
  new_run_log
  run_installer "$fast_installer" "" modest "$LOG_SWITCH"
  check_code "held" 32
  check "waited on" "$([[ $(waits_logged) -gt 5 ]] && echo yes || echo no)" yes
  check "held: the package read-only as it was" "$(attribute_of "$APP_DIR/zyq.pak")" read-only
  end_standins
  wait "$holder"
fi

if scenario "A stale temporary file that a scanner holds for 10 s: waited out, then installed" held links; then
  install_app
  printf 'half a package' >"$APP_DIR/~zyq.pak"
  HELD_NAME='~zyq.pak' hold_package en_US.UTF-8 --hold-ms 10000 --run-ms 15000
  check_waited_out
fi

if scenario "A read-only package, as copied from a disc: replaced, and the new one writable" links; then
  install_app
  chmod a-w "$APP_DIR/zyq.pak"
  printf 'half a package' >"$APP_DIR/~zyq.pak" && chmod a-w "$APP_DIR/~zyq.pak"
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "package written" "$(package_installed)" yes
  check "no temporary file" "$(temporary_left)" no
  check "the new package not read-only" "$(attribute_of "$APP_DIR/zyq.pak")" writable
fi

if scenario "The progress window during the check and the write of an interactive run, never over a box" progress; then
  # What the window showed of one step: its positions, in order, one line.
  positions() { sed -n "s/^progress=$1|//p" "$LOG" | tr '\n' ' '; }
  # The window's state when each box appeared.
  under_boxes() { awk '/^progress=/ { p = substr($0, 10) } /^box=/ { printf "%s ", p }' "$LOG"; }
  moves() { [[ $1 =~ (^| )[1-9][0-9]?\  ]] && echo yes || echo no; }
  last() { awk '{ print $NF }' <<<"$1"; }
  for setup in en_US.UTF-8 ru_RU.UTF-8; do
    install_app
    E2E_LOCALE=$setup run_installer "$slow_steps_installer" yes,no
    check "$setup: exit code" "$(exit_code)" 0
    if [[ $setup == en_US.UTF-8 ]]; then
      checking=$(positions 'Lexova update|Checking the installation package...')
      installing=$(positions 'Lexova update|Installing the update...')
    else
      checking=$(positions 'Обновление Lexova|Проверка пакета установки...')
      installing=$(positions 'Обновление Lexova|Установка обновления...')
    fi
    check "$setup: the check moves the bar" "$(moves "$checking")" yes
    check "$setup: the check ends full" "$(last "$checking")" 100
    check "$setup: the write moves the bar" "$(moves "$installing")" yes
    check "$setup: the write ends full" "$(last "$installing")" 100
    check "$setup: hidden under both questions" "$(under_boxes)" "hidden hidden "
  done
  run_installer "$slow_steps_installer" "" modest
  check "quiet: exit code" "$(exit_code)" 0
  check "quiet: no progress window" "$(grep -c '^progress=' "$LOG")" 0
fi

if scenario "Cancel pressed while the held package is waited for: the run ends there with 1602, nothing changed" cancel held; then
  # The write is done (the bar full) and the replace waits up to 30 s for the
  # holder; two seconds into that wait the person presses Cancel.
  install_app
  reg_64 add "$UNINSTALL_KEY" /v zyq.pak /t REG_DWORD /d 6000 /f
  chmod a-w "$APP_DIR/zyq.pak"
  hold_package
  new_run_log
  E2E_CANCEL_WHEN='Lexova update|Installing the update...|100' E2E_CANCEL_DELAY_MS=2000 \
    run_installer "$installer" yes "$LOG_SWITCH"
  check_code "cancelled while waiting" 1602
  check "pressed once" "$(grep -c '^cancel=pressed$' "$LOG")" 1
  check "the confirmation only: no box of a failure, no final question" "$(boxes)" 1
  check "installed package unchanged" "$(package_untouched)" yes
  check "no temporary file" "$(temporary_left)" no
  check "no EstimatedSize" "$(estimated_size)" ""
  check "the recorded version unchanged" "$(uninstall_number zyq.pak)" 6000
  check "the package read-only as it was" "$(attribute_of "$APP_DIR/zyq.pak")" read-only
  check "the log: cancelled, with the step and the percentage" \
    "$(grep -c ' write refused: cancelled by the user at 100%' "$RUN_LOG")" 1
  check "the log: the write cancelled" "$(grep -c ' write: .*, cancelled, ' "$RUN_LOG")" 1
  check "the application not started" "$(grep -c ' application: ' "$RUN_LOG")" 0
  end_standins
  wait "$holder"
fi

if scenario "Cancel pressed while the installer checks itself: 1602, nothing asked, nothing written" cancel progress; then
  install_app
  new_run_log
  E2E_CANCEL_WHEN='Lexova update|Checking the installation package...|' \
    run_installer "$slow_steps_installer" "" "$LOG_SWITCH"
  check_code "cancelled while checking" 1602
  check "pressed once" "$(grep -c '^cancel=pressed$' "$LOG")" 1
  check "no box" "$(boxes)" 0
  check "installed package unchanged" "$(package_untouched)" yes
  check "no temporary file" "$(temporary_left)" no
  check "no EstimatedSize" "$(estimated_size)" ""
  check "the log: cancelled, with the step" "$(grep -c ' self-check refused: cancelled by the user at [0-9]*%' "$RUN_LOG")" 1
  check "the log: the check cancelled" "$(grep -c ' self-check: cancelled, ' "$RUN_LOG")" 1
fi

if scenario "Every box shows its exact text, whatever the system's code page and the user's language" locale held; then
  # The application folder holds a letter of the system's code page beyond
  # ASCII: "ä" where it is 1252, "ж" where it is 1251. The package is held open,
  # so the run shows the confirmation, "Can't install file ..." with its reason
  # (cancelled) and the final question.
  for setup in "${E2E_LOCALES[@]}"; do
    case $setup in
      en_US.UTF-8 | mixed) use_app_folder 'Kavrel ä' ;;
      *) use_app_folder 'Kavrel ж' ;;
    esac
    install_app
    hold_package "$setup"
    check "$setup: package held" "$(standin_saw "file held $APP_WIN\\zyq.pak")" yes
    E2E_LOCALE=$setup run_installer "$fast_installer" yes,cancel,no
    check "$setup: three boxes" "$(boxes)" 3
    if [[ $setup == en_US.UTF-8 ]]; then
      check_box 1 "Sound question" "$confirmation_en" question yes,no
      check_box 2 "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$in_use_en" error cancel,retry
    else
      check_box 1 "Резонный вопрос" "$confirmation_ru" question yes,no
      check_box 2 "Обновление Lexova" "$(logged "Не удается установить файл $APP_WIN\\zyq.pak")$in_use_ru" error cancel,retry
    fi
    check_box 3 "Lexova update" "$final_question" question yes,no
    end_standins
    wait "$holder"
  done
  use_app_folder 'Kavrel E2E'
fi

if scenario "Paths in letters that the system's code page lacks: run from a user's Downloads, an application folder of any name" locale held; then
  # Cyrillic on code page 1252 (a Russian user on an English Windows), Kazakh
  # letters on 1251: Windows keeps these paths in UTF-16 only.
  run_from_downloads() {
    local user=$1
    mkdir -p "$PREFIX/drive_c/users/$user/Downloads"
    cp "$installer" "$PREFIX/drive_c/users/$user/Downloads/lexova-update.exe"
    shift
    run_installer "C:\\users\\$user\\Downloads\\lexova-update.exe" "$@"
  }
  install_app
  E2E_LOCALE=mixed run_from_downloads 'Иван' yes,no
  check "1252, Cyrillic Downloads: exit code" "$(exit_code)" 0
  check_box 1 "Резонный вопрос" "$confirmation_ru" question yes,no
  check_box 2 "Lexova update" "$final_question" question yes,no
  check "1252, Cyrillic Downloads: package written" "$(package_installed)" yes
  check "1252, Cyrillic Downloads: EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  install_app
  E2E_LOCALE=ru_RU.UTF-8 run_from_downloads 'Әлия Қасымқызы' "" modest
  check "1251, Kazakh Downloads: exit code" "$(exit_code)" 0
  check "1251, Kazakh Downloads: package written" "$(package_installed)" yes
  rm -rf "$PREFIX/drive_c/users/Иван" "$PREFIX/drive_c/users/Әлия Қасымқызы"

  use_app_folder 'Программы\Лексова'
  install_app
  # Logged, so that a start the desktop shell refused says which call refused it.
  E2E_LOCALE=mixed run_installer "$installer" yes,yes "/log=Z:${WORK//\//\\}\\cyrillic-folder.log"
  check "1252, Cyrillic application folder: exit code" "$(exit_code)" 0
  check "1252, Cyrillic application folder: package written there" "$(package_installed)" yes
  check "1252, Cyrillic application folder: no temporary file" "$(temporary_left)" no
  check "1252, Cyrillic application folder: EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  wait_for_standin activated
  check "1252, Cyrillic application folder: started by the desktop shell" "$(started_by)" explorer.exe
  check "1252, Cyrillic application folder: the start logged" \
    "$(sed -n 's/^.* application: //p' "$WORK/cyrillic-folder.log" | tr -d '\r')" "started through the desktop shell"
  check "1252, Cyrillic application folder: in its folder" "$(standin_saw "current folder $APP_WIN")" yes
  end_standins
  # Held by a program of a Russian Windows, which can name the file in its code page.
  install_app
  hold_package ru_RU.UTF-8
  E2E_LOCALE=mixed run_installer "$fast_installer" "" modest
  check "1252, Cyrillic folder, package held: exit code" "$(exit_code)" 32
  check_box 1 "Обновление Lexova" "$(logged "Не удается установить файл $APP_WIN\\zyq.pak")$in_use_ru" error ok
  check "1252, Cyrillic folder, package held: old package kept" "$(package_untouched)" yes
  end_standins
  wait "$holder"
  use_app_folder 'Программы\Әлия Қ'
  install_app
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$installer" "" modest
  check "1251, Kazakh application folder: exit code" "$(exit_code)" 0
  check "1251, Kazakh application folder: package written there" "$(package_installed)" yes
  check "1251, Kazakh application folder: EstimatedSize" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  rm -rf "$PREFIX/drive_c/Программы"
  use_app_folder 'Kavrel E2E'
fi

if scenario "A failed install, cancelled, is still followed by the installed size and the final question" held; then
  install_app
  hold_package
  run_installer "$fast_installer" yes,cancel,no
  check "exit code" "$(exit_code)" 32
  check "three boxes" "$(boxes)" 3
  check "the failure" "$(box 2 icon)" error
  check "then the final question" "$(box 3 caption)" "Lexova update"
  check "EstimatedSize recorded" "$(estimated_size)" "$(folder_kib "$APP_DIR")"
  end_standins
  wait "$holder"
fi

if scenario "The package held until the user closes the other program, then Retry: installed" held; then
  install_app
  hold_package
  pose_installer "$WORK/retry.log" yes,retry,no "$fast_installer"
  release_box 1
  wait_for_box 2
  end_standins
  wait "$holder"
  release_box 2
  release_box 3
  wait "$posed"
  LOG=$WORK/retry.log
  check "exit code" "$(exit_code)" 0
  check_box 2 "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$in_use_en" error cancel,retry
  check "then the final question" "$(box 3 caption)" "Lexova update"
  check "package written" "$(package_installed)" yes
  check "no temporary file" "$(temporary_left)" no
fi

if scenario "The package held for a moment only, as by an application that is closing" held; then
  install_app
  hold_package en_US.UTF-8 --hold-ms 3000 --run-ms 8000
  run_installer "$installer" "" modest
  check "exit code" "$(exit_code)" 0
  check "no box" "$(boxes)" 0
  check "package written" "$(package_installed)" yes
  end_standins
  wait "$holder"
fi

if scenario "The package held for 15 s, as by endpoint protection: waited out" held; then
  install_app
  hold_package en_US.UTF-8 --hold-ms 15000 --run-ms 20000
  check_waited_out
fi

if scenario "A vendor's package of version 6670, all of it in the first part" questions; then
  install_app
  run_installer "$vendor_installer" yes,no
  check "exit code" "$(exit_code)" 0
  check_box 1 "Sound question" "${confirmation_en/6660/6670}" question yes,no
  check_box 2 "Lexova update" "${final_question/6660/6670}" question yes,no
  check "package written byte for byte" "$(cmp -s "$APP_DIR/zyq.pak" "$vendor_package" && echo yes || echo no)" yes
  check "no temporary file" "$(temporary_left)" no
  install_app
  E2E_LOCALE=ru_RU.UTF-8 run_installer "$vendor_installer" no
  check_box 1 "Резонный вопрос" "${confirmation_ru/6660/6670}" question yes,no
fi

if scenario "A desktop shell that does not answer: the run still ends, without starting the application itself" shell; then
  # The prefix's desktop process (explorer.exe, a Unix process of this
  # harness's prefix) is stopped while the final question is up, so the start
  # through it hangs; it is resumed afterwards, whatever happens.
  desktop_pid() {
    local pid
    for pid in $(pgrep -x explorer.exe) $(pgrep -f 'explorer\.exe'); do
      tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -Fqx "WINEPREFIX=$PREFIX" || continue
      tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qi 'explorer\.exe' && { echo "$pid"; return; }
    done
  }
  stopped_desktop=""
  resume_desktop() { [[ -n $stopped_desktop ]] && kill -CONT "$stopped_desktop" 2>/dev/null; stopped_desktop=""; }
  trap resume_desktop EXIT
  # The fast-waits build: a tenth of the bounds of the shell's answer and
  # of the application's mapping, the same schedule.
  install_app
  pose=$WORK/pose-stopped-shell
  rm -rf "$pose" && mkdir -p "$pose"
  LOG=$WORK/stopped-shell.log
  new_run_log
  LC_ALL=en_US.UTF-8 "$run" "$KAVREL_DIALOG_TOOL" --log "$LOG" --answers yes,yes --pose "$pose" --timeout-ms 120000 \
    -- "$fast_installer" "$LOG_SWITCH" >/dev/null 2>&1 &
  asking=$!
  for box in 1 2; do
    for _ in $(seq 300); do [[ -s $pose/box$box ]] && break; sleep 0.1; done
    if ((box == 2)); then
      stopped_desktop=$(desktop_pid)
      check "the desktop process found" "$([[ -n $stopped_desktop ]] && echo yes || echo no)" yes
      [[ -n $stopped_desktop ]] && kill -STOP "$stopped_desktop"
    fi
    touch "$pose/box$box.done"
  done
  # Two seconds for the shell, under half a second for the application's
  # mapping: the run must be over well within thirty seconds of the answer.
  for _ in $(seq 300); do kill -0 "$asking" 2>/dev/null || break; sleep 0.1; done
  check "the run ended within 30 s of the last answer" "$(kill -0 "$asking" 2>/dev/null && echo no || echo yes)" yes
  check "application not started by the installer" "$(standin_saw started)" no
  check "the log: the shell's answer waited for and given up" \
    "$(tr -d '\r' <"$RUN_LOG" | grep -c ' application: the desktop shell did not answer in time; not started by the installer$')" 1
  resume_desktop
  wait "$asking"
  check "exit code" "$(exit_code)" 0
  check "two boxes" "$(boxes)" 2
  check "package written" "$(package_installed)" yes
  end_standins
  trap - EXIT
fi

if scenario "The log: a quiet run with the switch after or before modest runapp" log; then
  for placement in after before; do
    install_app
    rm -f "$logs_dir/lexova.log"
    if [[ $placement == after ]]; then
      run_installer "$installer" "" modest runapp '/log=C:\Kavrel logs\lexova.log'
    else
      run_installer "$installer" "" '/LOG=C:\Kavrel logs\lexova.log' modest runapp
    fi
    check "$placement: exit code" "$(exit_code)" 0
    wait_for_standin activated
    check "$placement: application started" "$(standin_saw started)" yes
    log_text=$(tr -d '\r' <"$logs_dir/lexova.log" 2>/dev/null)
    check "$placement: every line stamped" "$(grep -cvE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} ' <<<"$log_text")" 0
    check "$placement: the package version" "$(grep -c ' start: Lexova update 6660, command line: ' <<<"$log_text")" 1
    check "$placement: InstallDir" "$(grep -cF "InstallDir $APP_WIN\\" <<<"$log_text")" 1
    check "$placement: quiet" "$(grep -c ' mode: quiet$' <<<"$log_text")" 1
    check "$placement: the self-check" \
      "$(grep -cE " self-check: passed, $(stat -c %s "$installer") bytes, [0-9]+ ms$" <<<"$log_text")" 1
    check "$placement: the write" "$(grep -cF "write: $APP_WIN\\zyq.pak, installed" <<<"$log_text")" 1
    check "$placement: the size" "$(grep -c " EstimatedSize recorded: $(folder_kib "$APP_DIR") KiB$" <<<"$log_text")" 1
    check "$placement: the start" "$(grep -c ' application: started through the desktop shell$' <<<"$log_text")" 1
    check "$placement: the last line" "$(tail -n1 <<<"$log_text" | cut -d' ' -f3-)" "exit code 0"
    end_standins
  done
fi

if scenario "The log of an interactive run holds each box and its answer; a failed write names the step and the error" log held; then
  install_app
  printf 'an earlier run\r\n' >"$logs_dir/lexova.log"
  hold_package
  run_installer "$fast_installer" yes,cancel,no '/log=C:\Kavrel logs\lexova.log'
  check "exit code" "$(exit_code)" 32
  end_standins
  wait "$holder"
  log_text=$(tr -d '\r' <"$logs_dir/lexova.log")
  check "runs append" "$(head -n1 <<<"$log_text") $(grep -c ' start: ' <<<"$log_text")" "an earlier run 1"
  check "the confirmation and its answer" "$(grep -c ' box: Sound question | Would you like to setup Lexova update - "Sonvela" версии 6660? | answer: yes$' <<<"$log_text")" 1
  check "the failure and its answer" "$(grep -cF " box: Lexova update | Can't install file $APP_WIN\\zyq.pak  The file is in use by another program. Close it and try again. | answer: cancel" <<<"$log_text")" 1
  check "the final question and its answer" "$(grep -c ' | answer: no$' <<<"$log_text")" 1
  # The native call's NTSTATUS as it answered, the Win32 error it means
  # beside it, and the place in the code that made the record.
  check "the write step, the path, the error and where it was raised" \
    "$(grep -F " write failed: cannot replace the installed file, path $APP_WIN\\zyq.pak, NTSTATUS 0x" <<<"$log_text" |
       grep -cE '\(Windows error [0-9]+: .*\) \[platform/folder_handle\.cpp:[0-9]+\]$')" 1
  check "the last line" "$(tail -n1 <<<"$log_text" | cut -d' ' -f3-)" "exit code 32"
fi

if scenario "The log switch alone writes to the Temp folder; a log that cannot be opened changes nothing" log; then
  install_app
  find "$PREFIX/drive_c/users" -name lexova-update.log -delete 2>/dev/null
  run_installer "$installer" "" modest /log
  check "exit code" "$(exit_code)" 0
  temp_log=$(find "$PREFIX/drive_c/users" -path '*Temp/lexova-update.log' 2>/dev/null | head -n1)
  check "the log in the Temp folder" "$([[ -n $temp_log ]] && tail -n1 "$temp_log" | tr -d '\r' | cut -d' ' -f3-)" "exit code 0"
  install_app
  run_installer "$installer" "" modest '/log=C:\No such folder\lexova.log'
  check "no log folder: exit code" "$(exit_code)" 0
  check "no log folder: no box" "$(boxes)" 0
  check "no log folder: package written" "$(package_installed)" yes
  check "no log folder: nothing made" "$([[ -e "$PREFIX/drive_c/No such folder" ]] && echo yes || echo no)" no
fi

if scenario "The log path with forward slashes, relative to the current folder, or naming %SystemRoot%" log; then
  windows_temp=$(find "$PREFIX/drive_c/windows" -maxdepth 1 -iname temp | head -n1) here=$PWD
  for form in slashes relative variable; do
    install_app
    case $form in
      slashes) RUN_LOG=$logs_dir/slashes.log switch='/log=C:/Kavrel logs/slashes.log' ;;
      # Wine starts a program in the Unix shell's folder, as a Windows one
      # (the dialog tool passes its own on).
      relative) RUN_LOG=$logs_dir/relative.log switch='/log=relative.log' && cd "$logs_dir" ;;
      variable) RUN_LOG=$windows_temp/kavrel-e2e.log switch='/log=%SystemRoot%\Temp\kavrel-e2e.log' ;;
    esac
    rm -f "$RUN_LOG"
    run_installer "$installer" "" modest "$switch"
    cd "$here" || exit 1
    check_code "$form" 0
  done
  # A Unix link in the middle of the path, as a junction would be: the folder
  # it leads to is not the one asked for, and gets no log.
  install_app
  target=$WORK/log-link-target
  rm -rf "$logs_dir/via-link" "$target" && mkdir -p "$target/inner" && ln -s "$target" "$logs_dir/via-link"
  run_installer "$installer" "" modest '/log=C:\Kavrel logs\via-link\inner\x.log'
  check "a link in the middle: exit code" "$(exit_code)" 0
  check "a link in the middle: no log where it leads" "$(ls "$target/inner")" ""
  rm -f "$logs_dir/via-link"
fi

if scenario "A link planted at the log's name: the file it leads to is never written, the run goes on" log links; then
  for kind in symbolic hard; do
    for at in default chosen; do
      install_app
      victim=$WORK/victim-$kind-$at && printf 'theirs\n' >"$victim"
      if [[ $at == default ]]; then log_unix=$user_temp_dir/lexova-update.log log_switch=/log
      else log_unix=$logs_dir/planted.log log_switch='/log=C:\Kavrel logs\planted.log'; fi
      rm -f "$log_unix"
      if [[ $kind == symbolic ]]; then ln -s "$victim" "$log_unix"; else ln "$victim" "$log_unix"; fi
      run_installer "$installer" "" modest "$log_switch"
      check "$kind link at the $at log: exit code" "$(exit_code)" 0
      check "$kind link at the $at log: package written" "$(package_installed)" yes
      check "$kind link at the $at log: the file it leads to" "$(cat "$victim")" theirs
      rm -f "$log_unix"
    done
  done
fi

if scenario "Where nobody sees the installer, as under a deployment tool: no box waits, no window is made" unseen codes held; then
  # The runner starts the installer in a window station of its own, without
  # WSF_VISIBLE, as session 0 is for a deployment tool running it as SYSTEM. A
  # box shown there is never answered: the runner ends the run at its limit of
  # 60 s ("exit=timeout"). It lists every top-level window made on the
  # installer's desktop; the progress window is a "PlainWindow", a box "#32770"
  # (run_unseen, tests/harness/e2e.sh).
  install_app
  new_run_log
  run_unseen "$installer" "$LOG_SWITCH"
  check "the station is one that nobody sees" "$(($(sed -n 's/^station-flags=/0x/p' "$UNSEEN") & 1))" 0
  check_code "without modest: a failed check, not a wait for the confirmation" 1639 "$(unseen_exit)"
  check "nothing written" "$(package_untouched)" yes
  check "no EstimatedSize" "$(estimated_size)" ""
  check "no progress window, no box" "$(unseen_windows)" ""
  check "the confirmation not sent anywhere" "$(grep -c WTSSendMessageW "$UNSEEN.trace")" 0
  install_app --no-exe
  run_unseen "$installer" modest
  check "no application: exit code" "$(unseen_exit)" 1605
  check "no application: sent to the user's session" "$(sent_to_session "Lexova update" "$no_subject_en")" 1
  install_app
  hold_package
  run_unseen "$fast_installer" modest
  check "a failed quiet write: exit code 32 within the runner's limit" "$(unseen_exit)" 32
  check "installed package unchanged" "$(package_untouched)" yes
  check "no temporary file" "$(temporary_left)" no
  check "no box" "$(unseen_windows)" ""
  check "the failure sent to the user's session, once" \
    "$(sent_to_session "Lexova update" "$(logged "Can't install file $APP_WIN\\zyq.pak")$in_use_en")" 1
  end_standins
  wait "$holder"
  install_app
  # Wine's prefix has "C:\windows\logs"; names are found in any letter case.
  logs_folder=$(find "$PREFIX/drive_c/windows" -maxdepth 1 -iname logs | head -n1)
  system_log=${logs_folder:-$PREFIX/drive_c/windows/Logs}/Software/lexova-update.log
  rm -rf "$(dirname "$system_log")"
  # The fast-waits build: started through the shell, the application's
  # window is one the installer cannot see from its window station, and the
  # shipped build would wait out the bound of that wait.
  run_unseen "$fast_installer" modest runapp
  check "modest runapp: exit code" "$(unseen_exit)" 0
  log_text=$(tr -d '\r' <"$system_log" 2>/dev/null)
  check "a log without /log, in the system's log folder, every line stamped" \
    "$(grep -cvE '^[0-9]{4}-[0-9]{2}-[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2}\.[0-9]{3} ' <<<"$log_text") $(tail -n1 <<<"$log_text" | cut -d' ' -f3-)" \
    "0 exit code 0"
  check "the log's stamps keep their milliseconds" "$(grep -qvE '^[^ ]+ [^ ]+\.000 ' <<<"$log_text" && echo yes || echo no)" yes
  check "package written" "$(package_installed)" yes
  wait_for_standin activated
  check "started by the desktop shell or not at all" \
    "$([[ $(started_by) == explorer.exe || $(standin_saw started) == no ]] && echo yes || echo no)" yes
  end_standins
  # Without the desktop shell's route (oleaut32.dll disabled for the installer)
  # the installer must not start the application itself there.
  "$run" reg add "$fast_dll_overrides" /v oleaut32 /d "" /f >/dev/null 2>&1
  install_app
  # The stand-in the shell started above has ended.
  for _ in $(seq 100); do [[ $(app_processes) == 0 ]] && break; sleep 0.1; done
  rm -f "$system_log"
  run_unseen "$fast_installer" modest runapp
  "$run" reg delete "$fast_dll_overrides" /f >/dev/null 2>&1
  check "no shell: exit code" "$(unseen_exit)" 0
  check "no shell: nothing started, so nothing waited for after it" \
    "$(awk '/ application: / { after = 1 } after && /test clock: wait/ { n++ } END { print n + 0 }' "$system_log")" 0
  check "no shell: package written" "$(package_installed)" yes
  # A program the installer starts itself exists once its start returns,
  # before the installer ends: no process of it now, and it never logged.
  check "no shell: the application not started by the installer" "$(app_processes) $(standin_saw started)" "0 no"
  end_standins
fi

e2e_end
