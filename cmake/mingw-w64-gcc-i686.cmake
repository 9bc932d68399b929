# Cross-compiles for 32-bit Windows with mingw-w64's GCC: the second compiler.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(T6_MINGW_COMPILER gcc)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
