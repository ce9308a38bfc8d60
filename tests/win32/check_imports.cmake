# zenlet.dll must load on a plain Windows into an Outlook of its bitness: every DLL it imports is
# one the system ships, it exports the four entries of an in-process COM server, and both the
# module and its type library are of the platform (win32 or win64) the build is for.
#   cmake -DOBJDUMP=... -DMODULE=zenlet.dll -DTYPELIB=zenlet.tlb -DBITS=32|64 -P check_imports.cmake
cmake_policy(VERSION 3.25)
set(_system_dlls advapi32 comctl32 crypt32 gdi32 gdiplus kernel32 msvcrt ntdll ole32 oleaut32
                 shell32 shlwapi user32 version wininet ws2_32)

execute_process(COMMAND "${OBJDUMP}" -p "${MODULE}" OUTPUT_VARIABLE _dump RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "objdump could not read ${MODULE}")
endif()

string(REGEX MATCHALL "DLL Name: [^\r\n]+" _imports "${_dump}")
if(NOT _imports)
  message(FATAL_ERROR "no import table found in ${MODULE}")
endif()
foreach(_line IN LISTS _imports)
  string(REGEX REPLACE "DLL Name: (.+)\\.[dD][lL][lL]$" "\\1" _name "${_line}")
  string(TOLOWER "${_name}" _name)
  if(NOT _name IN_LIST _system_dlls)
    message(FATAL_ERROR "${MODULE} imports ${_line}, which is not a system DLL")
  endif()
  message(STATUS "imports ${_name}.dll")
endforeach()

foreach(_export DllCanUnloadNow DllGetClassObject DllRegisterServer DllUnregisterServer)
  if(NOT _dump MATCHES "\\] ${_export}[\r\n]")
    message(FATAL_ERROR "${MODULE} does not export ${_export}")
  endif()
endforeach()
if(BITS EQUAL 64)
  set(_format pei-x86-64)
  set(_syskind 3)  # SYS_WIN64
else()
  set(_format pei-i386)
  set(_syskind 1)  # SYS_WIN32
endif()
if(NOT _dump MATCHES "file format ${_format}[\r\n]")
  string(REGEX MATCH "file format [^\r\n]+" _found "${_dump}")
  message(FATAL_ERROR "${MODULE} is not a ${BITS}-bit module: ${_found}")
endif()

# The type library's header: "MSFT", then at offset 0x14 the flags whose low nibble is its
# SYSKIND, which registration writes and unregistration must name again.
file(READ "${TYPELIB}" _header HEX LIMIT 24)
string(SUBSTRING "${_header}" 0 8 _magic)
string(SUBSTRING "${_header}" 40 2 _flags)
math(EXPR _found_syskind "0x${_flags} & 15")
if(NOT _magic STREQUAL "4d534654" OR NOT _found_syskind EQUAL _syskind)
  message(FATAL_ERROR "${TYPELIB} is not a ${BITS}-bit type library (header ${_header})")
endif()

file(SIZE "${MODULE}" _size)
message(STATUS "${MODULE}: ${_size} bytes")
