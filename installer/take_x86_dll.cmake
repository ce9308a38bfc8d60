# Copies the 32-bit build's zenlet.dll for the installer, after checking that it is there and
# is a 32-bit (i386) PE file; the copy keeps its time when the DLL has not changed.
#   cmake -DSOURCE=<32-bit build>/.../zenlet.dll -DDESTINATION=<file> -P take_x86_dll.cmake
cmake_policy(VERSION 3.25)
if(NOT EXISTS "${SOURCE}")
  message(FATAL_ERROR "The installer carries the 32-bit zenlet.dll too, and ${SOURCE} is missing: "
                      "build it first (cmake --workflow --preset windows-x86), or point "
                      "ZENLET_X86_BUILD_DIR at the 32-bit build.")
endif()

# The PE header's offset is at 0x3c; the machine follows the "PE\0\0" signature there.
file(READ "${SOURCE}" _dos HEX OFFSET 60 LIMIT 4)
string(REGEX REPLACE "^(..)(..)(..)(..)$" "\\4\\3\\2\\1" _offset "${_dos}")
math(EXPR _offset "0x${_offset}")
file(READ "${SOURCE}" _pe HEX OFFSET ${_offset} LIMIT 6)
if(NOT _pe STREQUAL "504500004c01")
  message(FATAL_ERROR "${SOURCE} is not a 32-bit (i386) DLL (PE header ${_pe})")
endif()

get_filename_component(_folder "${DESTINATION}" DIRECTORY)
file(MAKE_DIRECTORY "${_folder}")
file(COPY_FILE "${SOURCE}" "${DESTINATION}" ONLY_IF_DIFFERENT)
