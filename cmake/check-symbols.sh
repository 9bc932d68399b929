#!/usr/bin/env bash
# Fails unless each executable and its PDB belong together, as a debugger
# matches them: the executable's CodeView entry carries the PDB's GUID and
# age and names the PDB without a folder, and its time stamp (by which a
# crash dump names the executable) is not 0.
#   check-symbols.sh <executable>=<pdb>...
set -euo pipefail
status=0
fail() { echo "$1: $2"; status=1; }
for pair in "$@"; do
  exe=${pair%%=*} pdb=${pair#*=}
  entry=$(llvm-readobj --coff-debug-directory "$exe")
  stamp=$(llvm-readobj --file-headers "$exe" | sed -n 's/^ *TimeDateStamp: .*(0x\([0-9A-Fa-f]*\))$/\1/p' | head -n 1)
  [ -n "$stamp" ] && [ $((16#$stamp)) -ne 0 ] || fail "$exe" "its time stamp is 0: no crash dump can name it"
  # The entry lists the GUID's 16 bytes as stored: the first three fields little-endian.
  read -r -a b < <(sed -n 's/^ *PDBGUID: (\(.*\))$/\1/p' <<<"$entry")
  [ "${#b[@]}" -eq 16 ] || { fail "$exe" "no CodeView entry"; continue; }
  exe_guid="${b[3]}${b[2]}${b[1]}${b[0]}-${b[5]}${b[4]}-${b[7]}${b[6]}-${b[8]}${b[9]}-${b[*]:10}"
  exe_guid=${exe_guid// /}
  exe_age=$(sed -n 's/^ *PDBAge: //p' <<<"$entry")
  exe_names=$(sed -n 's/^ *PDBFileName: //p' <<<"$entry")
  summary=$(llvm-pdbutil dump -summary "$pdb") || { fail "$pdb" "not a PDB file"; continue; }
  pdb_guid=$(sed -n 's/^ *GUID: {\(.*\)}$/\1/p' <<<"$summary")
  pdb_age=$(sed -n 's/^ *Age: //p' <<<"$summary")
  if [ "$exe_names" != "$(basename "$pdb")" ]; then
    fail "$exe" "names its PDB '$exe_names', not $(basename "$pdb")"
  elif [ "${exe_guid^^}" != "${pdb_guid^^}" ] || [ "$exe_age" != "$pdb_age" ]; then
    fail "$exe" "expects the PDB {$exe_guid} age $exe_age; $pdb is {$pdb_guid} age $pdb_age"
  else
    echo "$exe: time stamp $stamp, PDB {$pdb_guid} age $pdb_age: they match"
  fi
done
exit $status
