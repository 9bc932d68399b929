# Cross-compiles for 64-bit Windows with clang and lld: the release's compiler.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(T6_MINGW_COMPILER clang)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
