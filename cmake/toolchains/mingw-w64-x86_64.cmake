# Cross build of the 64-bit Windows add-in (for 64-bit Outlook) with mingw-w64 on Debian.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZENLET_MINGW_TRIPLE x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake")
