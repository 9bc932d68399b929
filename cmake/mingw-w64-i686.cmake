# Cross-compiles for 32-bit Windows with clang and lld: the build that loads
# 32-bit driver services.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(T6_MINGW_COMPILER clang)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
