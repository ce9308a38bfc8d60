# Windows programs of a cross build run under Wine: tests, test discovery and the installer
# checks all go through one wrapper with the build's own Wine prefix.
# The 64-bit loader by name where the distribution keeps it off PATH (Debian): `wine` picks the
# 32-bit loader whenever wine32 is installed, which cannot load a 64-bit program.
find_program(ZENLET_WINE NAMES wine64 wine wine-stable PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH
             REQUIRED)
set(ZENLET_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix of this build's tests")
configure_file("${PROJECT_SOURCE_DIR}/tools/wine/run-under-wine.sh.in"
               "${CMAKE_BINARY_DIR}/run-under-wine" @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(ZENLET_RUN_UNDER_WINE "${CMAKE_BINARY_DIR}/run-under-wine")
set(CMAKE_CROSSCOMPILING_EMULATOR "${ZENLET_RUN_UNDER_WINE}")

# 32-bit Windows programs (the 32-bit DLL's tests, the installer) run in the same 64-bit prefix,
# as on a 64-bit Windows, through Wine's 32-bit half. Where it cannot run (no wine32, or a kernel
# without 32-bit emulation), ZENLET_WINE_32BIT_MISSING says why, and what needs it is built but
# reported as skipped.
find_program(ZENLET_WINE32_LOADER NAMES wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
execute_process(
  COMMAND bash "${PROJECT_SOURCE_DIR}/tools/wine/runs-32-bit-programs.sh" --wine
          "${ZENLET_WINE32_LOADER}"
  RESULT_VARIABLE _zenlet_runs_32bit
  OUTPUT_VARIABLE ZENLET_WINE_32BIT_MISSING OUTPUT_STRIP_TRAILING_WHITESPACE)
if(_zenlet_runs_32bit EQUAL 0)
  set(ZENLET_WINE_32BIT_MISSING "")
else()
  message(STATUS "32-bit Windows programs cannot run here: ${ZENLET_WINE_32BIT_MISSING}")
endif()

# Linux programs that the Windows tests talk to over loopback (the REST service emulator and
# the HTTP contract peer) come from the Linux build beside this one.
set(ZENLET_LINUX_BUILD_DIR "${PROJECT_SOURCE_DIR}/build/dev" CACHE PATH
    "Linux build whose zenlet-restemu and zenlet-http-peer the Windows tests start")
