# Cross-compiles for Windows against Debian's mingw-w64 headers and libraries
# (GCC's posix-threads runtime). Included by the toolchain file of each
# architecture and compiler, which sets CMAKE_SYSTEM_PROCESSOR (x86_64 or
# i686) and T6_MINGW_COMPILER (clang or gcc) first.
#   clang: clang and lld, which write the PDB files a Windows debugger reads;
#          the release is built with it.
#   gcc:   mingw-w64's GCC and GNU ld, the second compiler that keeps the
#          sources portable.
set(CMAKE_SYSTEM_NAME Windows)
set(T6_MINGW_TRIPLET ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)
set(CMAKE_RC_COMPILER ${T6_MINGW_TRIPLET}-windres)

if(T6_MINGW_COMPILER STREQUAL "gcc")
  set(CMAKE_C_COMPILER ${T6_MINGW_TRIPLET}-gcc-posix)
  set(CMAKE_CXX_COMPILER ${T6_MINGW_TRIPLET}-g++-posix)
else()
  set(CMAKE_C_COMPILER clang)
  set(CMAKE_CXX_COMPILER clang++)
  set(CMAKE_C_COMPILER_TARGET ${T6_MINGW_TRIPLET})
  set(CMAKE_CXX_COMPILER_TARGET ${T6_MINGW_TRIPLET})
  # clang does not find the C++ library of Debian's mingw-w64 GCC by itself.
  file(GLOB T6_MINGW_GCC_DIR LIST_DIRECTORIES true /usr/lib/gcc/${T6_MINGW_TRIPLET}/*-posix)
  if(NOT T6_MINGW_GCC_DIR)
    message(FATAL_ERROR "no /usr/lib/gcc/${T6_MINGW_TRIPLET}/*-posix: run scripts/install-deps.sh")
  endif()
  list(GET T6_MINGW_GCC_DIR 0 T6_MINGW_GCC_DIR)
  # Its thread-local variables are emulated, as GCC does for this target.
  set(CMAKE_C_FLAGS_INIT "-femulated-tls")
  set(CMAKE_CXX_FLAGS_INIT "-femulated-tls -isystem ${T6_MINGW_GCC_DIR}/include/c++")
  string(APPEND CMAKE_CXX_FLAGS_INIT " -isystem ${T6_MINGW_GCC_DIR}/include/c++/${T6_MINGW_TRIPLET}")
  # -pthread links winpthreads, which the posix-threads C++ library needs.
  set(T6_MINGW_LINK_FLAGS "-fuse-ld=lld -pthread -L${T6_MINGW_GCC_DIR}")
endif()

set(CMAKE_FIND_ROOT_PATH /usr/${T6_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Only a fully static link leaves the executables free of mingw runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static ${T6_MINGW_LINK_FLAGS}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static ${T6_MINGW_LINK_FLAGS}")
