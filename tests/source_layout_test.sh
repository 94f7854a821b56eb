#!/usr/bin/env bash
# The product's folders keep their order and stay free of test code: no
# folder includes one above it (base, platform, env and ui, lang, install,
# app), no product source or product build
# file carries a KAVREL_TEST_ switch (test builds have their own entries under
# tests/), and only the update flow's reports show boxes (the steps hand
# the flow what happened). Before it looks at the tree, it shows on a planted tree that
# it finds each kind of fault, so that a broken pattern cannot pass silently.
#   source_layout_test.sh SOURCE_DIR
set -u
root=$1
below_app=(base env install lang platform ui)
product=(app "${below_app[@]}" cmake CMakeLists.txt)

# The folders each product folder may include, itself among them: base at
# the bottom, then platform, env and ui, lang, install, app at the top.
declare -A may_include=(
  [base]='base'
  [platform]='base|platform'
  [env]='base|platform|env'
  [ui]='base|platform|ui'
  [lang]='base|platform|ui|lang'
  [install]='base|platform|env|ui|lang|install'
)

# The faults in a tree, one "file:line:text" each.
faults() {
  local tree=$1 part
  for part in "${below_app[@]}"; do
    [[ -e $tree/$part ]] || continue
    grep -rnHE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"](\./|\.\./)*(app|base|platform|env|ui|lang|install)/' "$tree/$part" |
      grep -vE "^[^:]+:[0-9]+:[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"](\./|\.\./)*(${may_include[$part]})/"
  done
  for part in "${product[@]}"; do
    [[ -e $tree/$part ]] || continue
    grep -rnH 'KAVREL_TEST_' "$tree/$part"
  done
  for part in app "${below_app[@]}"; do
    [[ -e $tree/$part ]] || continue
    grep -rnHE '\b(ShowMessageBox|ShowBilingualMessage|MessageBox(Ex)?[AW]?)[[:space:]]*\(' "$tree/$part" |
      grep -vE "^$tree/(app/step_reports\.cpp|lang/messages\.(h|cpp)):"
  done
}

failed=0
planted=$(mktemp -d)
trap 'rm -rf "$planted"' EXIT
mkdir -p "$planted"/{app,base,env,install,lang,platform,ui,cmake}
# Each line: file, text, whether it is a fault.
while IFS='|' read -r file text fault; do
  printf '%s\n' "$text" >"$planted/$file"
  found=$(faults "$planted" | grep -c "^$planted/$file:")
  if [[ $fault == yes && $found == 0 ]] || [[ $fault == no && $found != 0 ]]; then
    echo "FAIL: planted $file ($text): found $found, fault expected: $fault"
    failed=1
  fi
  rm -f "$planted/$file"
done <<'PLANTED'
base/setup_state.h|#include "app/setup_state.h"|yes
env/discovery.cpp|  #  include <app/update_rules.h>|yes
lang/messages.cpp|#include "../app/update_flow.h"|yes
platform/registry.h|#include "./app/x.h"|yes
ui/progress_window.cpp|#include "app/setup_state.h" // once more|yes
base/text.h|#include "platform/unique_handle.h"|yes
ui/progress_window.cpp|#include "lang/messages.h"|yes
env/discovery.cpp|#include "install/app_folder.h"|yes
platform/registry.cpp|  # include "ui/progress_window.h"|yes
lang/messages.cpp|#include "ui/progress_window.h"|no
install/extraction.cpp|#include "env/discovery.h"|no
install/extraction.cpp|#ifdef KAVREL_TEST_SLICE_PAUSE_MS|yes
app/program_entry.cpp|#if defined(KAVREL_TEST_NOT_ADMIN)|yes
cmake/Installer.cmake|target_compile_definitions(x PRIVATE KAVREL_TEST_X)|yes
CMakeLists.txt|add_compile_definitions(KAVREL_TEST_LANGUAGE_FILE)|yes
env/discovery.cpp|        ShowBilingualMessage("No access to system registry", "…");|yes
install/extraction.cpp|    const int answer = ShowMessageBox(call);|yes
ui/progress_window.cpp|  ::MessageBoxW(window, text, caption, MB_OK);|yes
app/update_flow.cpp|        TellUser("The update is already running.", "Обновление уже запущено.");|no
app/step_reports.cpp|    return ShowMessageBox(call);|no
app/update_flow.cpp|    const int answer = ShowMessageBox(ConfirmationQuestion(state));|yes
lang/messages.cpp|    return ::MessageBoxExW(nullptr, text.c_str(), caption.c_str(), call.flags, call.languageId);|no
install/resource_install.h|// Shows nothing; the update flow shows the message box.|no
app/update_flow.cpp|#include "app/update_rules.h"|no
base/text.cpp|#include "base/text.h"|no
install/folder_size.cpp|#include "install/app_folder.h"|no
env/discovery.cpp|// asks the application to quit|no
PLANTED

found=$(faults "$root")
if [[ -n $found ]]; then
  echo "FAIL: an include of a folder above, test code in the product, or a box outside the update flow:"
  echo "$found"
  failed=1
fi
((failed == 0)) && echo "source layout: clean"
exit "$failed"
