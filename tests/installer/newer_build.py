#!/usr/bin/env python3
"""newer_build.py FOLDER: makes every file of FOLDER that carries a version record one build newer
(the last of its four numbers, in the fixed file and product versions), as the next release's
files are; prints each file's new version."""
import os
import struct
import sys

sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "msi"))
import pe_version  # noqa: E402

SIGNATURE = struct.pack("<I", pe_version.FIXED_FILE_INFO_SIGNATURE)


def one_build_newer(path):
    with open(path, "rb") as f:
        data = bytearray(f.read())
    at = data.find(SIGNATURE)
    assert at >= 0 and data.find(SIGNATURE, at + 1) < 0, path + ": not one fixed file version"
    for low in (at + 12, at + 20):  # dwFileVersionLS, dwProductVersionLS
        value = struct.unpack_from("<I", data, low)[0]
        struct.pack_into("<I", data, low, (value & 0xFFFF0000) | ((value & 0xFFFF) + 1))
    with open(path, "wb") as f:
        f.write(data)


for name in sorted(os.listdir(sys.argv[1])):
    path = os.path.join(sys.argv[1], name)
    if os.path.isfile(path) and pe_version.version_record(path):
        one_build_newer(path)
        print(name, pe_version.version_record(path)[0])
