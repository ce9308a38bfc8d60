# Cross build of the Windows add-in with mingw-w64 on Debian. The posix-threads variant of the
# compiler is the one with std::thread; -static links the C++ runtime and winpthread in, so
# zenlet.dll needs nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_zenlet_triple x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_zenlet_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_zenlet_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${_zenlet_triple}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${_zenlet_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The C99 printf family (%zu, %lld, %ls) instead of the system C runtime's older one.
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
