#!/usr/bin/env python3
"""Gives every entry of a package (a ZIP archive) the release's one time, in place:

    entry_times.py PACKAGE SECONDS

osslsigncode adds the signature (AppxSignature.p7x) with the time it signs as the entry's time, in
its local header and in the central directory. The signature covers neither record's time (it hashes
the other entries and their directory), so setting it keeps the signature valid and two signings of
one package identical. Nothing but the time fields changes.
"""
import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pack_msix import dos_time_and_date  # noqa: E402

LOCAL, CENTRAL, END = 0x04034B50, 0x02014B50, 0x06054B50


class ArchiveError(Exception):
    pass


def central_directory(data):
    """(offset, number of entries) of the central directory, from the end record."""
    at = data.rfind(struct.pack("<I", END), max(0, len(data) - 65557))
    if at < 0:
        raise ArchiveError("no end of central directory")
    entries, _, offset = struct.unpack_from("<HII", data, at + 10)
    return offset, entries


def set_times(path, seconds):
    with open(path, "rb") as source:
        data = bytearray(source.read())
    stamp = struct.pack("<HH", *dos_time_and_date(seconds))
    at, entries = central_directory(bytes(data))
    for _ in range(entries):
        if struct.unpack_from("<I", data, at)[0] != CENTRAL:
            raise ArchiveError("a broken central directory entry at %d" % at)
        name_length, extra_length, comment_length = struct.unpack_from("<HHH", data, at + 28)
        local = struct.unpack_from("<I", data, at + 42)[0]
        if struct.unpack_from("<I", data, local)[0] != LOCAL:
            raise ArchiveError("no local header at %d" % local)
        data[at + 12:at + 16] = stamp
        data[local + 10:local + 14] = stamp
        at += 46 + name_length + extra_length + comment_length
    with open(path, "wb") as target:
        target.write(data)


def main(argv):
    if len(argv) != 3 or not argv[2].isdigit():
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        set_times(argv[1], int(argv[2]))
    except (OSError, ArchiveError, struct.error) as error:
        print("entry_times: %s: %s" % (argv[1], error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
