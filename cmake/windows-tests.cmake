# Where the Windows tests run, and how they name the build's files. Kept apart
# from the targets, as plain functions of their inputs, so that a test checks
# the choice for either host (tests/ci/windows_test_wiring_check.cmake).
#
#   wine    cross-compiled on Linux: run under Wine in the build's own prefix,
#           which shows the Unix root as drive Z:;
#   native  built on Windows: run directly, on the host's own desktop, with
#           the simulator registered for the current user;
#   none    no Windows program is built.

# t6_windows_test_host(<out> <target is Windows> <host is Windows> <cross-compiling>)
function(t6_windows_test_host out target_windows host_windows crosscompiling)
  if(NOT target_windows)
    set(host none)
  elseif(host_windows)
    set(host native)
  elseif(crosscompiling)
    set(host wine)
  else()
    set(host none)
  endif()
  set(${out} ${host} PARENT_SCOPE)
endfunction()

# t6_windows_path(<out> <path> <test host>): a build file's path as the
# Windows programs see it, for a command line.
function(t6_windows_path out path host)
  if(host STREQUAL "wine")
    set(path "Z:${path}")
  endif()
  string(REPLACE "/" "\\" native "${path}")
  set(${out} "${native}" PARENT_SCOPE)
endfunction()

# t6_windows_c_path(<out> <path> <test host>): the same, escaped for a C
# string literal in a compile definition.
function(t6_windows_c_path out path host)
  t6_windows_path(native "${path}" ${host})
  string(REPLACE "\\" "\\\\" escaped "${native}")
  set(${out} "${escaped}" PARENT_SCOPE)
endfunction()

# t6_windows_command(<out> <test host> <program> [args...]): how a test starts
# a Windows program: through the Wine runner, or as it is.
function(t6_windows_command out host)
  if(host STREQUAL "wine")
    set(${out} ${T6_WINE_RUN} ${ARGN} PARENT_SCOPE)
  else()
    set(${out} ${ARGN} PARENT_SCOPE)
  endif()
endfunction()

# t6_add_cross_build_test(<name> <reason> <command...>): a test that only
# makes sense in the Linux cross build (it uses Wine, bash or the mingw-w64
# tools). On a Windows host it is listed as skipped, and says why.
function(t6_add_cross_build_test name reason)
  if(T6_WINDOWS_TESTS STREQUAL "wine")
    add_test(NAME ${name} COMMAND ${ARGN})
  elseif(T6_WINDOWS_TESTS STREQUAL "native")
    add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "skipped on Windows: ${reason}")
    set_tests_properties(${name} PROPERTIES SKIP_REGULAR_EXPRESSION "skipped on Windows")
  endif()
endfunction()
