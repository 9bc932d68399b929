#!/usr/bin/env bash
# The simulator never takes the place of an installed driver service. A
# stand-in "installed driver" is registered for one of the simulator's
# classes, for the machine and then for the user; each time the simulator
# refuses to register, says why and fails, writes nothing, and unregistering
# it leaves the stand-in as it was. The simulator's own registration is put
# back at the end, for the tests that follow.
#   stand_in_driver_test.sh <qbus_sim.dll, as Windows names it> <wine-run...>
set -uo pipefail
dll=$1
shift
wine_run=("$@")
fw_class='{4E9872D5-2786-4409-9558-4ADFF3E21E0A}'
qbus_class='{B39FA9A6-B5C7-4D35-BB9F-14ED03E42FC4}'
stand_in='C:\Program Files\Maker\Driver\fw_driver.dll'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

reg() { "${wine_run[@]}" reg "$@" 2>/dev/null | tr -d '\r'; }
# server <hive> <class>: the InprocServer32 a hive gives the class, or nothing.
server() { reg query "$1\\Software\\Classes\\CLSID\\$2\\InprocServer32" /ve | sed -n 's/^ *(Default) *REG_SZ *//p'; }
regsvr32() { "${wine_run[@]}" regsvr32 /s "$@"; }
put_back() {
  for hive in HKLM HKCU; do reg delete "$hive\\Software\\Classes\\CLSID\\$fw_class" /f >/dev/null; done
  regsvr32 "$dll" || fail "the simulator did not register again once the stand-in was gone"
  [ "$(server HKCU "$fw_class")" = "$dll" ] || fail "the simulator is not registered for the user afterwards"
  # Wine's COM reads the machine's classes only: there too, in the build's prefix.
  [ "$(server HKLM "$qbus_class")" = "$dll" ] || fail "the simulator is not registered for Wine's COM afterwards"
}
trap put_back EXIT

regsvr32 /u "$dll" || fail "unregistering the simulator failed"
for hive in HKLM HKCU; do
  [ -z "$(server "$hive" "$qbus_class")" ] || fail "$hive: unregistering left the simulator's own entry"
done
for hive in HKLM HKCU; do
  reg add "$hive\\Software\\Classes\\CLSID\\$fw_class\\InprocServer32" /ve /d "$stand_in" /f >/dev/null
  output=$(regsvr32 "$dll" 2>&1)
  status=$?
  [ "$status" -ne 0 ] || fail "$hive: registering over the stand-in reported success"
  grep -qF "is already registered to $stand_in" <<<"$output" ||
    fail "$hive: the refusal did not name the stand-in: '$output'"
  [ "$(server "$hive" "$fw_class")" = "$stand_in" ] || fail "$hive: the stand-in's registration changed"
  [ -z "$(server HKCU "$qbus_class")" ] || fail "$hive: the refused registration still wrote the qBUS class"
  regsvr32 /u "$dll" || fail "$hive: unregistering failed"
  [ "$(server "$hive" "$fw_class")" = "$stand_in" ] || fail "$hive: unregistering the simulator removed the stand-in"
  reg delete "$hive\\Software\\Classes\\CLSID\\$fw_class" /f >/dev/null
  echo "$hive: the stand-in was kept, and the simulator said: ${output//$'\r'/}"
done
[ "$failures" -eq 0 ]
