# Checks how the Windows tests are wired for each host: natively on a Windows
# host (no Wine runner, Windows paths), under Wine in the Linux cross build
# (drive Z:, through the runner), not at all without Windows programs.
#   cmake -P windows_test_wiring_check.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../../cmake/windows-tests.cmake)

function(expect what actual expected)
  if(NOT "${actual}" STREQUAL "${expected}")
    message(SEND_ERROR "${what}: '${actual}', expected '${expected}'")
  endif()
endfunction()

# target is Windows, host is Windows, cross-compiling -> where the tests run
foreach(case IN ITEMS "1;1;0;native" "1;1;1;native" "1;0;1;wine" "0;0;0;none" "1;0;0;none")
  list(GET case 0 target)
  list(GET case 1 host)
  list(GET case 2 cross)
  list(GET case 3 expected)
  t6_windows_test_host(chosen ${target} ${host} ${cross})
  expect("target ${target}, host ${host}, cross ${cross}" "${chosen}" "${expected}")
endforeach()

set(T6_WINE_RUN /src/cmake/wine-run.sh /build/wineprefix)
t6_windows_command(command native regsvr32 /s x.dll)
expect("native command" "${command}" "regsvr32;/s;x.dll")
t6_windows_command(command wine regsvr32 /s x.dll)
expect("Wine command" "${command}" "/src/cmake/wine-run.sh;/build/wineprefix;regsvr32;/s;x.dll")

t6_windows_path(path "D:/a/t6/build/msvc-x64/sim/qbus_sim.dll" native)
expect("native path" "${path}" "D:\\a\\t6\\build\\msvc-x64\\sim\\qbus_sim.dll")
t6_windows_path(path "/work/t6/build/windows/sim/qbus_sim.dll" wine)
expect("Wine path" "${path}" "Z:\\work\\t6\\build\\windows\\sim\\qbus_sim.dll")
t6_windows_c_path(path "D:/a/ui/t6update.exe" native)
expect("native C string" "${path}" "D:\\\\a\\\\ui\\\\t6update.exe")
