# What both cross builds of the Windows add-in share; the toolchain file of each bitness sets
# CMAKE_SYSTEM_PROCESSOR and the compiler's triple, then includes this file.
# The posix-threads variant of the compiler is the one with std::thread; -static links the C++
# runtime and winpthread in, so zenlet.dll needs nothing but system DLLs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZENLET_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZENLET_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZENLET_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZENLET_MINGW_TRIPLE})
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
