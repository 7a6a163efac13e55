#!/usr/bin/env python3
"""Sets the times an installer's summary information records, in place:

    summary_times.py PACKAGE SECONDS

Windows Installer's summary information (the "\\x05SummaryInformation" stream of the package's
compound file) records when the package was created and last saved (properties 12 and 13, each a
FILETIME). wixl and msibuild write the time they ran, so two builds of the same sources differ in
those 16 bytes alone. This writes both as SECONDS since 1970 (UTC), the release's one time, into
the bytes they already occupy; nothing else of the file changes.
"""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [HERE, os.path.dirname(HERE)]
import stamp_in_place  # noqa: E402
from compound_file import CompoundFile, CompoundFileError  # noqa: E402

SUMMARY = "\x05SummaryInformation"
CREATED, LAST_SAVED = 12, 13
VT_FILETIME = 64
FILETIME_AT_1970 = 116444736000000000  # 100-ns intervals from 1601 to 1970


class SummaryError(Exception):
    pass


def filetime_places(stream):
    """Where in the summary stream the values of the two time properties lie."""
    section = struct.unpack_from("<I", stream, 44)[0]  # the first section's offset, after its FMTID
    count = struct.unpack_from("<I", stream, section + 4)[0]
    places = {}
    for index in range(count):
        prop, at = struct.unpack_from("<II", stream, section + 8 + 8 * index)
        if prop in (CREATED, LAST_SAVED):
            if struct.unpack_from("<I", stream, section + at)[0] != VT_FILETIME:
                raise SummaryError("property %d is not a time" % prop)
            places[prop] = section + at + 4
    return places


def set_times(data, seconds):
    """Writes both times into the package's bytes."""
    offsets = CompoundFile(bytes(data)).stream_offsets(SUMMARY)
    stream = bytes(data[at] for at in offsets)
    value = struct.pack("<Q", FILETIME_AT_1970 + seconds * 10000000)
    for place in filetime_places(stream).values():
        for index, byte in enumerate(value):
            data[offsets[place + index]] = byte


def main(argv):
    return stamp_in_place.main(argv, __doc__, set_times, (SummaryError, CompoundFileError))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
