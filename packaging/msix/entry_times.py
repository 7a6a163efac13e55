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

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]
import stamp_in_place  # noqa: E402
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


def set_times(data, seconds):
    """Writes the time into every entry's local header and central directory record."""
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


def main(argv):
    return stamp_in_place.main(argv, __doc__, set_times, (ArchiveError,))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
