# Tests of the Windows program, run under Wine on a virtual display. Each lane
# is one Wine and one prefix with its own display and wineserver (a CTest
# fixture, tests/harness/wine-env), so lanes run side by side:
#   wine8   Debian's Wine of the build machine, a 64-bit prefix: every test (win.*)
#   wine10  the Wine 10 of a Debian 13 root (scripts/setup makes it), chrooted:
#           the writes, waits and cancels of the update and the unit tests (wine10.*)
#   x86     the build machine's Wine with a 32-bit prefix, a 32-bit Windows
#           with one registry view and one Program Files (x86.*)
# A test's name begins with its lane (win. for wine8) and its label is the
# lane: ctest --preset win32 -L wine10. Its KAVREL_BUILD_DIR is the lane's
# folder (the build tree for wine8): the harness root wine/ and each test's
# scratch lie there.
set(WINE_ENV "${CMAKE_SOURCE_DIR}/tests/harness/wine-env")
set(KAVREL_WINE10_ROOT "/var/lib/kavrel/debian13-wine" CACHE PATH
  "The Debian 13 root whose Wine 10 runs the wine10 lane (scripts/setup makes it)")

# kavrel_wine_lane(LANE FIXTURE DIR [START_OPTIONS...]): the lane's harness
# in DIR, started and stopped by the tests FIXTURE.start and FIXTURE.stop.
function(kavrel_wine_lane lane fixture dir)
  set(root "${dir}/wine")
  if(lane STREQUAL "wine8")
    set(run "${CMAKE_CROSSCOMPILING_EMULATOR}")
  else()
    set(run "${CMAKE_BINARY_DIR}/harness/${lane}-run")
    set(KAVREL_WINE_ROOT "${root}")
    configure_file("${CMAKE_SOURCE_DIR}/tests/harness/wine-run.in" "${run}" @ONLY
      FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  endif()
  add_test(NAME ${fixture}.start COMMAND "${WINE_ENV}" start "${root}" ${ARGN})
  add_test(NAME ${fixture}.stop COMMAND "${WINE_ENV}" stop "${root}")
  # Started first under "ctest -j": every Windows test of the lane waits for it.
  set_tests_properties(${fixture}.start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 300 LABELS ${lane} COST 1000)
  set_tests_properties(${fixture}.stop PROPERTIES FIXTURES_CLEANUP ${fixture} LABELS ${lane})
  set_property(GLOBAL PROPERTY KAVREL_LANE_${lane} "${fixture};${dir};${run}")
endfunction()
# Tells whether the desktop shell serves its windows collection: each lane's
# start makes sure that it does (see wine-env).
add_executable(shell_probe tools/shell_probe.cpp)
target_link_libraries(shell_probe PRIVATE kavrel_shell)
target_link_options(shell_probe PRIVATE -mconsole)
kavrel_project_target(shell_probe WINDOWS_VERSION 0x0601)
set(SHELL_PROBE "${CMAKE_CURRENT_BINARY_DIR}/shell_probe.exe")

kavrel_wine_lane(wine8 wine "${CMAKE_BINARY_DIR}" --shell-probe "${SHELL_PROBE}")
kavrel_wine_lane(wine10 wine10 "${CMAKE_BINARY_DIR}/lanes/wine10" --shell-probe "${SHELL_PROBE}"
  --chroot "${KAVREL_WINE10_ROOT}"
  --bind "${CMAKE_SOURCE_DIR}" --bind "${CMAKE_BINARY_DIR}")
kavrel_wine_lane(x86 x86 "${CMAKE_BINARY_DIR}/lanes/x86" --shell-probe "${SHELL_PROBE}" --arch win32)

# kavrel_wine_test(<name> [LANE lane] COMMAND ...): a test that needs the
# lane's harness (wine8 unless LANE says otherwise). KAVREL_WINE_RUN runs a
# program under the lane's Wine; a COMMAND that names a target of this build
# runs under wine8's only: other lanes give the lane's ${KAVREL_WINE_RUN}.
function(kavrel_wine_test name)
  cmake_parse_arguments(A "" "TIMEOUT;LANE" "COMMAND;ENVIRONMENT" ${ARGN})
  if(NOT A_TIMEOUT)
    set(A_TIMEOUT 300)
  endif()
  if(NOT A_LANE)
    set(A_LANE wine8)
  endif()
  get_property(lane GLOBAL PROPERTY KAVREL_LANE_${A_LANE})
  list(GET lane 0 fixture)
  list(GET lane 1 dir)
  list(GET lane 2 run)
  add_test(NAME ${name} COMMAND ${A_COMMAND})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED ${fixture} TIMEOUT ${A_TIMEOUT} LABELS ${A_LANE}
    ENVIRONMENT "KAVREL_WINE_RUN=${run};KAVREL_BUILD_DIR=${dir};KAVREL_WINE_LANE=${A_LANE};${A_ENVIRONMENT}")
endfunction()

# Small helper programs that the tests drive.
add_executable(os_probe tools/os_probe.cpp)
target_link_libraries(os_probe PRIVATE kavrel_shell)
target_link_options(os_probe PRIVATE -mconsole)
kavrel_project_target(os_probe)

add_executable(fake_interpreter tools/fake_interpreter.cpp)
target_link_options(fake_interpreter PRIVATE -mconsole)
kavrel_project_target(fake_interpreter)

# Plays the application: its instance mapping, main window and quit request.
add_executable(kavrel_standin WIN32 tools/kavrel_standin.cpp)
kavrel_project_target(kavrel_standin)

# Answers the message boxes of a program it runs, and logs what they showed.
add_executable(dialog_tool tools/dialog_tool.cpp)
target_link_options(dialog_tool PRIVATE -mconsole)
kavrel_project_target(dialog_tool WINDOWS_VERSION 0x0601)
add_executable(dialog_tool_selftest_target WIN32 tools/dialog_tool_selftest_target.cpp)
kavrel_project_target(dialog_tool_selftest_target WINDOWS_VERSION 0x0601)
set(DIALOG_TOOL_TEST "${CMAKE_CURRENT_SOURCE_DIR}/dialog_tool_test.sh" $<TARGET_FILE:dialog_tool>
  $<TARGET_FILE:dialog_tool_selftest_target>)
kavrel_wine_test(win.dialog_tool COMMAND ${DIALOG_TOOL_TEST})

# Runs a program in a window station of its own that nobody sees, as a
# deployment tool's run as SYSTEM in session 0.
add_executable(hidden_station_runner tools/hidden_station_runner.cpp)
target_include_directories(hidden_station_runner PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(hidden_station_runner PRIVATE shell32)
target_link_options(hidden_station_runner PRIVATE -mconsole)
kavrel_project_target(hidden_station_runner WINDOWS_VERSION 0x0601)

# DLL planting: a DLL with a name of its own that leaves a marker when it is
# loaded, and a probe that asks for it by name with and without the
# installer's own hardening.
add_library(kavrel_planted SHARED tools/planted_dll.cpp)
set_target_properties(kavrel_planted PROPERTIES PREFIX "" OUTPUT_NAME kavrel_planted)
kavrel_project_target(kavrel_planted)
add_executable(dll_search_probe tools/dll_search_probe.cpp)
target_link_libraries(dll_search_probe PRIVATE kavrel_shell)
target_link_options(dll_search_probe PRIVATE -mconsole)
kavrel_project_target(dll_search_probe)
kavrel_wine_test(win.dll_planting COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/dll_planting_test.sh"
  $<TARGET_FILE:dll_search_probe> $<TARGET_FILE:kavrel_planted>)

# A small installer of its own for the tests.
kavrel_add_installer(lexova-update-small PACKAGE_SIZE 300000 SPLIT 120000)

# A vendor's package file of another version, smaller than the first part:
# the build takes its version from the header and leaves the second part empty.
set(VENDOR_PACKAGE "${CMAKE_CURRENT_BINARY_DIR}/vendor-package/zyq.pak")
file(MAKE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}/vendor-package")
add_custom_command(OUTPUT "${VENDOR_PACKAGE}"
  COMMAND "${KAVREL_MAKE_PACKAGE}" --size 70000 --seed 6670 --base-name zyq --version 6670 --split 70000
          --out1 "${VENDOR_PACKAGE}" --out2 "${VENDOR_PACKAGE}.rest"
  DEPENDS kavrel_host_tools VERBATIM)
kavrel_add_installer(lexova-update-6670 PACKAGE_FILE "${VENDOR_PACKAGE}")

# Files of each versioned kind, carried as resources by the unit tests: a
# package header with version 5 (as "rdw" it reads 0x0502, as "mzv" 5).
set(TEST_DATA "${CMAKE_CURRENT_BINARY_DIR}/test-data")
file(MAKE_DIRECTORY "${TEST_DATA}")
file(WRITE "${TEST_DATA}/langver5.lng" "[langver]\r\n5\r\n")
add_custom_command(OUTPUT "${TEST_DATA}/voc5.bin"
  COMMAND "${KAVREL_MAKE_PACKAGE}" --size 64 --seed 5 --base-name voc --version 5 --split 64
          --out1 "${TEST_DATA}/voc5.bin" --out2 "${TEST_DATA}/empty.bin"
  DEPENDS kavrel_host_tools VERBATIM)
configure_file(resource_install_test.rc.in "${CMAKE_CURRENT_BINARY_DIR}/resource_install_test.rc" @ONLY)
set_source_files_properties("${CMAKE_CURRENT_BINARY_DIR}/resource_install_test.rc" PROPERTIES
  OBJECT_DEPENDS "${TEST_DATA}/voc5.bin;${TEST_DATA}/langver5.lng")

# Unit tests of the thin layer, under Wine.
add_executable(kavrel_win_tests
  support/win_test_support.cpp
  discovery_test.cpp
  os_description_test.cpp
  installer_image_test.cpp
  language_files_test.cpp
  progress_window_test.cpp
  resource_install_test.cpp
  "${CMAKE_CURRENT_BINARY_DIR}/resource_install_test.rc"
  running_app_test.cpp
)
target_link_libraries(kavrel_win_tests PRIVATE kavrel_shell GTest::gtest_main version)
target_link_options(kavrel_win_tests PRIVATE -mconsole)
target_include_directories(kavrel_win_tests PRIVATE "${CMAKE_CURRENT_SOURCE_DIR}")
kavrel_project_target(kavrel_win_tests)
add_dependencies(kavrel_win_tests fake_interpreter kavrel_standin lexova-update lexova-update-small lexova-update-voc
  lexova-update-6670)
set(UNIT_TOOLS "KAVREL_FAKE_COMSPEC=$<TARGET_FILE:fake_interpreter>;KAVREL_INSTALLER=$<TARGET_FILE:lexova-update>;KAVREL_SMALL_INSTALLER=$<TARGET_FILE:lexova-update-small>;KAVREL_VOC_INSTALLER=$<TARGET_FILE:lexova-update-voc>;KAVREL_VENDOR_INSTALLER=$<TARGET_FILE:lexova-update-6670>;KAVREL_STANDIN=$<TARGET_FILE:kavrel_standin>")
kavrel_wine_test(win.unit COMMAND kavrel_win_tests ENVIRONMENT "${UNIT_TOOLS}")
# A picture of the progress window, for a person to look at (not a check).
kavrel_wine_test(win.progress_window_screenshot
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/progress_window_screenshot.sh" $<TARGET_FILE:kavrel_win_tests>
          "${CMAKE_BINARY_DIR}/artifacts/progress_window.png")
set_tests_properties(win.progress_window_screenshot PROPERTIES RESOURCE_LOCK kavrel_application)

# The real description under several Windows versions that Wine can play.
kavrel_wine_test(win.os_versions COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/os_versions_test.sh" $<TARGET_FILE:os_probe>)
# These change values of the prefix that the other tests of the lane read:
# every test of the lane holds the lock of its application (below); other
# lanes are other prefixes and run beside them.
set_tests_properties(win.os_versions win.unit win.dll_planting PROPERTIES RESOURCE_LOCK kavrel_application)

# The update end to end. The scenarios share the application's registration,
# its instance mapping and its window class, so they run one at a time.
set(E2E_TOOLS "KAVREL_FAKE_COMSPEC=$<TARGET_FILE:fake_interpreter>;KAVREL_DIALOG_TOOL=$<TARGET_FILE:dialog_tool>;KAVREL_STANDIN=$<TARGET_FILE:kavrel_standin>;KAVREL_HIDDEN_STATION_RUNNER=$<TARGET_FILE:hidden_station_runner>")
set(SMALL_PARTS "${CMAKE_BINARY_DIR}/installers/lexova-update-small")
# A build that plays a user without administrator rights, which Wine never reports.
kavrel_add_installer(lexova-update-not-admin PACKAGE_SIZE 300000 SPLIT 120000
  ENTRY "${CMAKE_CURRENT_SOURCE_DIR}/entries/not_admin_entry.cpp")
# A build whose progress bar moves slowly enough for the dialog tool to watch
# it, pausing between the slices of an interactive run's write.
kavrel_add_installer(lexova-update-slow-steps PACKAGE_SIZE 6291456 SPLIT 2097152
  ENTRY "${CMAKE_CURRENT_SOURCE_DIR}/entries/slow_steps_entry.cpp")
# A build whose waits for a held file run ten times faster.
kavrel_add_installer(lexova-update-fast-waits PACKAGE_SIZE 300000 SPLIT 120000
  ENTRY "${CMAKE_CURRENT_SOURCE_DIR}/entries/fast_waits_entry.cpp")
set(UPDATE_FLOW_TEST "${CMAKE_CURRENT_SOURCE_DIR}/update_flow_test.sh" $<TARGET_FILE:lexova-update-small>
  "${SMALL_PARTS}/ZYQ1.bin" "${SMALL_PARTS}/ZYQ2.bin" $<TARGET_FILE:lexova-update-not-admin>
  $<TARGET_FILE:lexova-update-slow-steps> $<TARGET_FILE:lexova-update-6670> "${VENDOR_PACKAGE}"
  $<TARGET_FILE:lexova-update-fast-waits>)
kavrel_wine_test(win.update_flow COMMAND ${UPDATE_FLOW_TEST} ENVIRONMENT "${E2E_TOOLS}" TIMEOUT 1500)
kavrel_wine_test(win.integrity
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/integrity_test.sh" $<TARGET_FILE:lexova-update-small>
  ENVIRONMENT "${E2E_TOOLS}")
# Pictures of the two questions as a Russian user on an English Windows sees them.
kavrel_wine_test(win.message_box_screenshots
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/message_box_screenshots.sh" $<TARGET_FILE:lexova-update-small>
          "${CMAKE_BINARY_DIR}/artifacts"
  ENVIRONMENT "${E2E_TOOLS}")
# Boxes of programs running at once would cover each other on the one display.
set_tests_properties(win.update_flow win.integrity win.dialog_tool win.message_box_screenshots
  PROPERTIES RESOURCE_LOCK kavrel_application)

# A package installed as one resource, with the version comparison; and a
# build that takes its question texts from a language file.
kavrel_add_installer(lexova-update-voc SINGLE BASE_NAME voc VERSION 5 PACKAGE_SIZE 200000)
kavrel_add_installer(lexova-update-voc-language SINGLE BASE_NAME voc VERSION 5 PACKAGE_SIZE 200000
  ENTRY "${CMAKE_CURRENT_SOURCE_DIR}/entries/language_file_entry.cpp")
# The same package in a build whose waits for a held file run ten times faster.
kavrel_add_installer(lexova-update-voc-fast-waits SINGLE BASE_NAME voc VERSION 5 PACKAGE_SIZE 200000
  ENTRY "${CMAKE_CURRENT_SOURCE_DIR}/entries/fast_waits_entry.cpp")
kavrel_wine_test(win.resource_install_flow
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/resource_install_flow_test.sh" $<TARGET_FILE:lexova-update-voc>
          $<TARGET_FILE:lexova-update-voc-language> "${CMAKE_BINARY_DIR}/installers/lexova-update-voc/VOC1.bin"
          $<TARGET_FILE:lexova-update-voc-fast-waits>
  ENVIRONMENT "${E2E_TOOLS}")
set_tests_properties(win.resource_install_flow PROPERTIES RESOURCE_LOCK kavrel_application)

# Faults: kills while writing a package of 60 MiB, a full disk, damaged copies.
kavrel_add_installer(lexova-update-60m PACKAGE_SIZE 62914560 SPLIT 26214400)
set(LARGE_PARTS "${CMAKE_BINARY_DIR}/installers/lexova-update-60m")
kavrel_wine_test(win.robustness
  COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/robustness_test.sh" $<TARGET_FILE:lexova-update-60m>
          "${LARGE_PARTS}/ZYQ1.bin" "${LARGE_PARTS}/ZYQ2.bin" $<TARGET_FILE:lexova-update-small>
  ENVIRONMENT "${E2E_TOOLS}" TIMEOUT 900)
set_tests_properties(win.robustness PROPERTIES RESOURCE_LOCK kavrel_application)

# Wine 10 (Debian 13): every scenario that writes, replaces or deletes the
# package or its temporary file, waits for a holder or cancels; the dialog
# tool that those scenarios read the boxes with; the unit tests. One lane's
# tests run one at a time (one prefix, one display).
get_property(wine10 GLOBAL PROPERTY KAVREL_LANE_wine10)
list(GET wine10 2 WINE10_RUN)
kavrel_wine_test(wine10.unit LANE wine10 COMMAND "${WINE10_RUN}" $<TARGET_FILE:kavrel_win_tests>
  ENVIRONMENT "${UNIT_TOOLS}")
kavrel_wine_test(wine10.dialog_tool LANE wine10 COMMAND ${DIALOG_TOOL_TEST})
kavrel_wine_test(wine10.update_flow_files LANE wine10 COMMAND ${UPDATE_FLOW_TEST}
  ENVIRONMENT "${E2E_TOOLS};KAVREL_E2E_FILTER=^(held|cancel|links|trace)$" TIMEOUT 900)
set_tests_properties(wine10.unit wine10.dialog_tool wine10.update_flow_files PROPERTIES RESOURCE_LOCK wine10_application)

# A 32-bit Windows: the description of each version, and discovery and the
# install on 32-bit XP, 7 and 10.
kavrel_wine_test(x86.os_versions LANE x86 COMMAND "${CMAKE_CURRENT_SOURCE_DIR}/os_versions_test.sh" $<TARGET_FILE:os_probe>)
kavrel_wine_test(x86.update_flow_versions LANE x86 COMMAND ${UPDATE_FLOW_TEST}
  ENVIRONMENT "${E2E_TOOLS};KAVREL_E2E_FILTER=^versions$" TIMEOUT 600)
set_tests_properties(x86.os_versions x86.update_flow_versions PROPERTIES RESOURCE_LOCK x86_application)

# A vendor's release: scripts/release in a build tree of its own (kept
# between runs, so only the first run compiles everything) with a Wine
# harness of its own; and the build's refusals of what is not a package.
add_test(NAME build.release COMMAND nice -n 10 "${CMAKE_CURRENT_SOURCE_DIR}/release_test.sh" "${CMAKE_SOURCE_DIR}"
  "${KAVREL_MAKE_PACKAGE}" "${CMAKE_BINARY_DIR}/release-test")
# The build tests take a core or two each for minutes: one at a time, from
# the start, beside the Windows tests, which are mostly waits and take one
# test slot between them. They yield the processor to those (nice): some of
# their checks watch a window for a moment.
set_tests_properties(build.release PROPERTIES TIMEOUT 1500 RESOURCE_LOCK compilers COST 500)

# Two clean builds give byte-identical installers.
add_test(NAME build.reproducible COMMAND nice -n 10 "${CMAKE_CURRENT_SOURCE_DIR}/reproducible_build_test.sh"
  "${CMAKE_SOURCE_DIR}")
set_tests_properties(build.reproducible PROPERTIES TIMEOUT 900 RESOURCE_LOCK compilers COST 400)
