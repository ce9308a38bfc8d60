# Cross build of the 32-bit Windows add-in (for 32-bit Outlook) with mingw-w64 on Debian.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(ZENLET_MINGW_TRIPLE i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
