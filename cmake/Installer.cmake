# Builds installer executables, each carrying a package of its own.
include(ExternalProject)

# Build-time tools run on the build machine, so they are built natively.
set(KAVREL_HOST_TOOLS_DIR "${CMAKE_BINARY_DIR}/host-tools")
ExternalProject_Add(kavrel_host_tools
  SOURCE_DIR "${CMAKE_SOURCE_DIR}/tools"
  BINARY_DIR "${KAVREL_HOST_TOOLS_DIR}/build"
  INSTALL_DIR "${KAVREL_HOST_TOOLS_DIR}"
  CMAKE_ARGS -DCMAKE_INSTALL_PREFIX=<INSTALL_DIR> -DCMAKE_BUILD_TYPE=Release
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${KAVREL_HOST_TOOLS_DIR}/bin/make_package" "${KAVREL_HOST_TOOLS_DIR}/bin/stamp_digest"
                   "${KAVREL_HOST_TOOLS_DIR}/bin/return_codes"
)
set(KAVREL_MAKE_PACKAGE "${KAVREL_HOST_TOOLS_DIR}/bin/make_package")
set(KAVREL_STAMP_DIGEST "${KAVREL_HOST_TOOLS_DIR}/bin/stamp_digest")

set(KAVREL_SIGN_CERT "" CACHE FILEPATH "Certificate (PEM or SPC) to sign the installers with; empty: unsigned")
set(KAVREL_SIGN_KEY "" CACHE FILEPATH "Private key of the signing certificate")

# The version written into a synthetic package when none is given.
set(KAVREL_SYNTHETIC_PACKAGE_VERSION 6660)

# kavrel_add_installer(<target> [PACKAGE_FILE f] [PACKAGE_SIZE n] [SPLIT n]
#                      [SEED n] [BASE_NAME b] [VERSION v] [TITLE t] [SINGLE]
#                      [ENTRY f])
# An empty PACKAGE_FILE makes a synthetic package of PACKAGE_SIZE bytes. A
# package file is checked before it is embedded (make_package stops the build
# with one message naming the file and what it found), and its header gives
# the version unless VERSION is given, which the header must then record.
# VERSION of a synthetic package: 6660 unless given.
# SINGLE carries the package as one resource named after its base name.
# ENTRY is the source of the build's program entry (WinMain), the shipped
# installer's app/program_entry.cpp unless given; a test build gives its own,
# which may include the generated package_identity_values.h as well.
function(kavrel_add_installer name)
  cmake_parse_arguments(A "SINGLE" "PACKAGE_FILE;PACKAGE_SIZE;SPLIT;SEED;BASE_NAME;VERSION;TITLE;ENTRY" "" ${ARGN})
  if(NOT A_ENTRY)
    set(A_ENTRY "${CMAKE_SOURCE_DIR}/app/program_entry.cpp")
  endif()
  foreach(var PACKAGE_SIZE SPLIT SEED BASE_NAME TITLE)
    if(NOT DEFINED A_${var} OR "${A_${var}}" STREQUAL "")
      set(A_${var} "${KAVREL_PACKAGE_${var}}")
    endif()
  endforeach()
  if(NOT A_PACKAGE_FILE AND "${A_VERSION}" STREQUAL "")
    set(A_VERSION ${KAVREL_SYNTHETIC_PACKAGE_VERSION})
  endif()
  if(A_SINGLE)
    # Everything in the first part; the second stays empty and unused.
    set(A_SPLIT 18446744073709551615)
  endif()

  set(dir "${CMAKE_BINARY_DIR}/installers/${name}")
  string(TOUPPER "${A_BASE_NAME}" RESOURCE_BASE)
  set(part1 "${dir}/${RESOURCE_BASE}1.bin")
  set(part2 "${dir}/${RESOURCE_BASE}2.bin")
  # The program and its version resource take the version from this header,
  # which make_package writes once it has read the package.
  set(version_header "${dir}/package_version.h")
  if("${A_VERSION}" STREQUAL "")
    set(version_args "")
  else()
    set(version_args --version ${A_VERSION})
  endif()
  if(A_PACKAGE_FILE)
    set(source_args --from "${A_PACKAGE_FILE}")
    get_source_file_property(generated "${A_PACKAGE_FILE}" GENERATED)
    if(EXISTS "${A_PACKAGE_FILE}" OR generated)
      set(source_deps "${A_PACKAGE_FILE}")
    else()
      # A missing file as a dependency would stop the build with the build
      # tool's "no rule" instead of make_package's message. Without one, the
      # build looks for the file (a glob, since a configure dependency on a
      # missing file is dropped) and configures again once it is there.
      set(source_deps "")
      file(GLOB appeared CONFIGURE_DEPENDS "${A_PACKAGE_FILE}")
    endif()
  else()
    set(source_args --size ${A_PACKAGE_SIZE} --seed ${A_SEED})
    set(source_deps "")
  endif()
  add_custom_command(OUTPUT "${part1}" "${part2}" "${version_header}"
    COMMAND "${KAVREL_MAKE_PACKAGE}" ${source_args} --base-name ${A_BASE_NAME} ${version_args} --split ${A_SPLIT}
            --out1 "${part1}" --out2 "${part2}" --version-header "${version_header}"
            --installer "$<TARGET_FILE:${name}>"
    DEPENDS kavrel_host_tools ${source_deps}
    COMMENT "Checking and preparing the package of ${name}"
    VERBATIM)

  if(A_SINGLE)
    set(PAYLOAD_RESOURCES "${RESOURCE_BASE} PAK \"${part1}\"")
  else()
    set(PAYLOAD_RESOURCES "${RESOURCE_BASE}1 PAK \"${part1}\"\n${RESOURCE_BASE}2 PAK \"${part2}\"")
  endif()
  set(PACKAGE_BASE_NAME "${A_BASE_NAME}")
  set(PACKAGE_TITLE "${A_TITLE}")
  set(MANIFEST_FILE "${CMAKE_SOURCE_DIR}/resources/lexova-update.manifest")
  configure_file("${CMAKE_SOURCE_DIR}/resources/installer.rc.in" "${dir}/installer.rc" @ONLY)
  configure_file("${CMAKE_SOURCE_DIR}/app/package_identity_values.h.in" "${dir}/package_identity_values.h" @ONLY)
  set_source_files_properties("${dir}/installer.rc" PROPERTIES
    OBJECT_DEPENDS "${part1};${part2};${version_header};${MANIFEST_FILE}")

  add_executable(${name} WIN32 "${A_ENTRY}" "${dir}/installer.rc" "${version_header}")
  target_include_directories(${name} PRIVATE "${dir}")
  target_link_libraries(${name} PRIVATE kavrel_shell)
  # Sections at page-aligned file offsets: Wine then maps the package
  # resources from the file instead of reading all of them into private
  # memory when the program loads (as it must for 512-byte alignment).
  target_link_options(${name} PRIVATE -Wl,--file-alignment,4096)
  kavrel_project_target(${name})
  add_dependencies(${name} kavrel_host_tools)
  # The digest is stored after linking, then the file may be signed: the
  # digest leaves out what signing changes.
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND "${KAVREL_STAMP_DIGEST}" "$<TARGET_FILE:${name}>"
    VERBATIM)
  if(KAVREL_SIGN_CERT)
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND osslsigncode sign -certs "${KAVREL_SIGN_CERT}" -key "${KAVREL_SIGN_KEY}"
              -n "Lexova update" -in "$<TARGET_FILE:${name}>" -out "$<TARGET_FILE:${name}>.signed"
      COMMAND "${CMAKE_COMMAND}" -E rename "$<TARGET_FILE:${name}>.signed" "$<TARGET_FILE:${name}>"
      VERBATIM)
  endif()
endfunction()
