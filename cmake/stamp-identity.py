#!/usr/bin/env python3
"""Gives an executable and its PDB an identity that depends on the
executable's bytes alone.

lld's /Brepro makes the PE time stamp and the PDB's GUID a hash of the output,
the PDB included; and clang 14 records in the PDB each compilation's command
line and folder, so two builds of one commit in two folders would ship two
different executables. This replaces that identity, in both files, with one
taken from a SHA-256 of the executable with its identity fields blanked: the
time stamp of the file header and of each debug directory entry, and the
CodeView entry's GUID (the age stays 1). The PDB's info stream gets the same
GUID, which is all a debugger matches.

  stamp-identity.py <executable> <pdb>
  stamp-identity.py --keys <executable>
      prints the folder names a symbol store files both under:
      <time stamp><image size> for the executable, <GUID><age> for the PDB
"""
import hashlib
import struct
import sys


def identity_fields(data):
    """The offsets of the time stamps and of the CodeView GUID in a PE file."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise SystemExit("not a PE file")
    section_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional = pe + 24
    sections = optional + struct.unpack_from("<H", data, pe + 20)[0]
    directories = optional + (112 if struct.unpack_from("<H", data, optional)[0] == 0x20B else 96)
    debug_rva, debug_size = struct.unpack_from("<II", data, directories + 6 * 8)

    def file_offset(rva):
        for i in range(section_count):
            _, size, address, raw_size, raw = struct.unpack_from("<8sIIII", data, sections + 40 * i)
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise SystemExit("the debug directory is in no section")

    stamps = [pe + 8]
    guid = None
    start = file_offset(debug_rva)
    for entry in range(start, start + debug_size, 28):
        stamps.append(entry + 4)
        kind, _, _, raw = struct.unpack_from("<IIII", data, entry + 12)
        if kind == 2 and data[raw:raw + 4] == b"RSDS":
            guid = raw + 4
    if guid is None:
        raise SystemExit("no CodeView entry")
    return stamps, guid


def store_keys(data):
    stamps, guid_at = identity_fields(data)
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    image_size = struct.unpack_from("<I", data, pe + 24 + 56)[0]
    d1, d2, d3 = struct.unpack_from("<IHH", data, guid_at)
    age = struct.unpack_from("<I", data, guid_at + 16)[0]
    stamp = struct.unpack_from("<I", data, stamps[0])[0]
    return (f"{stamp:08X}{image_size:x}",
            f"{d1:08X}{d2:04X}{d3:04X}{data[guid_at + 8:guid_at + 16].hex().upper()}{age:X}")


def main():
    if sys.argv[1] == "--keys":
        print(*store_keys(open(sys.argv[2], "rb").read()))
        return
    exe_path, pdb_path = sys.argv[1:]
    exe = bytearray(open(exe_path, "rb").read())
    pdb = bytearray(open(pdb_path, "rb").read())
    stamps, guid_at = identity_fields(exe)
    old_guid = bytes(exe[guid_at:guid_at + 16])
    age = struct.unpack_from("<I", exe, guid_at + 16)[0]
    # In the PDB's info stream: version, signature, age, GUID.
    at = pdb.find(old_guid)
    if at < 8 or pdb.find(old_guid, at + 1) != -1 or struct.unpack_from("<I", pdb, at - 4)[0] != age:
        raise SystemExit(f"{pdb_path} does not hold {exe_path}'s identity once")

    for offset in stamps:
        exe[offset:offset + 4] = bytes(4)
    exe[guid_at:guid_at + 16] = bytes(16)
    digest = hashlib.sha256(exe).digest()
    new_guid, stamp = digest[:16], struct.unpack_from("<I", digest, 16)[0] or 1
    for offset in stamps:
        struct.pack_into("<I", exe, offset, stamp)
    exe[guid_at:guid_at + 16] = new_guid
    pdb[at:at + 16] = new_guid
    pdb[at - 8:at - 4] = new_guid[:4]  # the signature, which lld sets to the GUID's first field
    open(exe_path, "wb").write(exe)
    open(pdb_path, "wb").write(pdb)


if __name__ == "__main__":
    main()
