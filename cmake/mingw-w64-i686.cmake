# 32-bit Windows console programs, the tools' first target. Build only:
# 32-bit programs cannot run on the build machines.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
