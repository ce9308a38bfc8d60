# zenlet.dll must load on a plain Windows: every DLL it imports is one the system ships, and it
# exports the four entries of an in-process COM server.
#   cmake -DOBJDUMP=... -DMODULE=zenlet.dll -P check_imports.cmake
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
file(SIZE "${MODULE}" _size)
message(STATUS "${MODULE}: ${_size} bytes")
