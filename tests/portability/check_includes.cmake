# Fails when a portable file includes anything but a C++ standard header or a project file.
# Run with -DSOURCE_DIR=<repository> -DPORTABLE_DIRS=<folders>.
set(_standard
  algorithm any array atomic bitset cassert cctype cerrno cfloat charconv chrono cinttypes
  climits clocale cmath codecvt complex condition_variable csetjmp csignal cstdarg cstddef
  cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution
  filesystem forward_list fstream functional future initializer_list iomanip ios iosfwd
  iostream istream iterator limits list locale map memory memory_resource mutex new numeric
  optional ostream queue random ratio regex scoped_allocator set shared_mutex sstream stack
  stdexcept streambuf string string_view system_error thread tuple type_traits typeindex
  typeinfo unordered_map unordered_set utility valarray variant vector)
# The one sanctioned exception: Windows builds take COM's status codes from the system.
set(_allowed_platform_includes "common/hresult.h:winerror.h")
# Files the build generates from the deployment's settings.
set(_generated deployment_constants.h string_table.def facebook_button_bmp.inc)

set(_files "")
foreach(_dir IN LISTS PORTABLE_DIRS)
  file(GLOB_RECURSE _found RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/${_dir}/*.h"
       "${SOURCE_DIR}/${_dir}/*.cc")
  list(APPEND _files ${_found})
endforeach()
file(GLOB _seams RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/platform/*.h" "${SOURCE_DIR}/platform/*.cc")
list(APPEND _files ${_seams})

set(_failures "")
foreach(_file IN LISTS _files)
  file(STRINGS "${SOURCE_DIR}/${_file}" _lines REGEX "^[ \t]*#[ \t]*include")
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "<([^>]+)>")
      set(_name "${CMAKE_MATCH_1}")
      list(FIND _standard "${_name}" _at)
      list(FIND _allowed_platform_includes "${_file}:${_name}" _allowed)
      if(_at EQUAL -1 AND _allowed EQUAL -1)
        list(APPEND _failures "${_file}: <${_name}>")
      endif()
    elseif(_line MATCHES "\"([^\"]+)\"")
      set(_name "${CMAKE_MATCH_1}")
      # Project headers are named from the repository root.
      list(FIND _generated "${_name}" _is_generated)
      if(NOT EXISTS "${SOURCE_DIR}/${_name}" AND _is_generated EQUAL -1)
        list(APPEND _failures "${_file}: \"${_name}\" is not a project file")
      endif()
    endif()
  endforeach()
endforeach()

list(LENGTH _files _count)
if(_failures)
  list(JOIN _failures "\n  " _report)
  message(FATAL_ERROR "Portable code includes headers from outside the standard library:\n  ${_report}")
endif()
message(STATUS "${_count} portable files include only the standard library and the project")
