# Cross-compiles for 32-bit Windows: the build that loads 32-bit driver services.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
