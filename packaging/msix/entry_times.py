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
from check_msix import Unreadable, central_directory  # noqa: E402
from pack_msix import dos_time_and_date  # noqa: E402


def set_times(data, seconds):
    """Writes the time into every entry's local header and central directory record."""
    stamp = struct.pack("<HH", *dos_time_and_date(seconds))
    members, _ = central_directory(bytes(data))
    for member in members:
        if data[member.offset:member.offset + 4] != b"PK\x03\x04":
            raise Unreadable("%s: no local header at %d" % (member.name, member.offset))
        data[member.directory_at + 12:member.directory_at + 16] = stamp
        data[member.offset + 10:member.offset + 14] = stamp


def main(argv):
    return stamp_in_place.main(argv, __doc__, set_times, (Unreadable,))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
