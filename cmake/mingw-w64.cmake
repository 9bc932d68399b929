# Cross-compiles for Windows with Debian's mingw-w64 (posix threads). Included
# by the toolchain file of each architecture, which sets CMAKE_SYSTEM_PROCESSOR
# (x86_64 or i686) first; the mingw triplet is named after it.
set(CMAKE_SYSTEM_NAME Windows)
set(T6_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${T6_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${T6_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${T6_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${T6_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Only a fully static link leaves the executables free of mingw runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -static)
