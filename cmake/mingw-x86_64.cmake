# Cross build of the 64-bit Windows binaries: the same sources as the 32-bit build, for a 64-bit
# host process and for machines whose Wine runs 64-bit programs only.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOL_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
