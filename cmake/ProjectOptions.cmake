# Compiler settings shared by every target of the project's own code.

# Russian texts are UTF-8 in the sources and Windows-1251 in the program.
set(KAVREL_CHARSET_FLAGS -finput-charset=UTF-8 -fexec-charset=CP1251)
if(KAVREL_FUZZ AND CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
  # clang encodes narrow literals only as UTF-8. The harnesses assert no
  # Russian text, so the fuzz build keeps the literals as the sources have them.
  set(KAVREL_CHARSET_FLAGS -finput-charset=UTF-8)
endif()

set(KAVREL_PACKAGE_FILE "" CACHE FILEPATH "A real package file to embed; empty: a synthetic one")
set(KAVREL_PACKAGE_SIZE 249191962 CACHE STRING "Size of the synthetic package in bytes")
set(KAVREL_PACKAGE_SPLIT 106444448 CACHE STRING "Size of the first payload resource in bytes")
set(KAVREL_PACKAGE_SEED 6660 CACHE STRING "Seed of the synthetic package's pseudo-random bytes")
set(KAVREL_PACKAGE_BASE_NAME "zyq" CACHE STRING "Base name of the package resources and file")
set(KAVREL_PACKAGE_VERSION "" CACHE STRING
  "Package version; empty: the version the package file's header records (a synthetic package: 6660)")
set(KAVREL_PACKAGE_TITLE "\\\"Sonvela\\\" версии " CACHE STRING "Package title shown in the questions (C string body)")

# kavrel_project_target(<target> [WINDOWS_VERSION 0x0601]): the installer
# itself keeps to what Windows XP offers; test tools may ask for more.
function(kavrel_project_target target)
  cmake_parse_arguments(A "" "WINDOWS_VERSION" "" ${ARGN})
  if(NOT A_WINDOWS_VERSION)
    set(A_WINDOWS_VERSION 0x0501)
  endif()
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Werror
    ${KAVREL_CHARSET_FLAGS})
  if(WIN32)
    # The ANSI ("A") Windows API throughout; no Unicode build.
    target_compile_definitions(${target} PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=${A_WINDOWS_VERSION})
  endif()
  if(KAVREL_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  if(KAVREL_FUZZ)
    # Coverage feedback for libFuzzer in every target; the harnesses link its driver.
    # A sanitizer report aborts, so libFuzzer keeps the input as a finding.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                                             -fno-omit-frame-pointer)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

if(WIN32)
  # No DLL of ours beside the program; no link timestamp, so builds are reproducible.
  add_link_options(-s -static -static-libgcc -static-libstdc++
    -Wl,--no-insert-timestamp -Wl,--dynamicbase -Wl,--nxcompat -Wl,--large-address-aware)
  add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)
endif()
