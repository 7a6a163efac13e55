#!/usr/bin/env python3
"""Sets the times an installer's summary information records, in place:

    summary_times.py PACKAGE SECONDS

Windows Installer's summary information (the "\\x05SummaryInformation" stream of the package's
compound file) records when the package was created and last saved (properties 12 and 13, each a
FILETIME). wixl and msibuild write the time they ran, so two builds of the same sources differ in
those 16 bytes alone. This writes both as SECONDS since 1970 (UTC), the release's one time, into
the bytes they already occupy; nothing else of the file changes.
"""
import struct
import sys

SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
SUMMARY = "\x05SummaryInformation"
END_OF_CHAIN = 0xFFFFFFFE
CREATED, LAST_SAVED = 12, 13
VT_FILETIME = 64
FILETIME_AT_1970 = 116444736000000000  # 100-ns intervals from 1601 to 1970


class SummaryError(Exception):
    pass


class CompoundFile:
    """The parts of a compound file needed to find one stream's bytes: its sectors, the allocation
    table (the first 109 of its sectors listed in the header; a package of this size needs no more)
    and the directory."""

    def __init__(self, data):
        if data[:8] != SIGNATURE:
            raise SummaryError("not a compound file")
        self.data = data
        self.sector = 1 << struct.unpack_from("<H", data, 30)[0]
        self.mini_sector = 1 << struct.unpack_from("<H", data, 32)[0]
        fat_sectors, directory_start = struct.unpack_from("<II", data, 44)
        self.mini_cutoff, mini_fat_start = struct.unpack_from("<II", data, 56)
        if fat_sectors > 109:
            raise SummaryError("allocation table beyond the header's list")
        self.fat = []
        for sector in struct.unpack_from("<109I", data, 76)[:fat_sectors]:
            at = self.offset(sector)
            self.fat += struct.unpack_from("<%dI" % (self.sector // 4), data, at)
        self.entries = self.directory(directory_start)
        self.mini_fat = []
        for sector in self.chain(mini_fat_start):
            self.mini_fat += struct.unpack_from("<%dI" % (self.sector // 4), data, self.offset(sector))

    def offset(self, sector):
        return (sector + 1) * self.sector

    def chain(self, start):
        sectors, sector = [], start
        while sector != END_OF_CHAIN and sector < len(self.fat) and len(sectors) <= len(self.fat):
            sectors.append(sector)
            sector = self.fat[sector]
        return sectors

    def directory(self, start):
        entries = []
        for sector in self.chain(start):
            for at in range(self.offset(sector), self.offset(sector) + self.sector, 128):
                length = struct.unpack_from("<H", self.data, at + 64)[0]
                name = self.data[at:at + max(length - 2, 0)].decode("utf-16-le")
                first, size = struct.unpack_from("<IQ", self.data, at + 116)
                entries.append((name, first, size & 0xFFFFFFFF))
        return entries

    def stream_offsets(self, name):
        """The file offset of every byte of the stream, in order."""
        found = [entry for entry in self.entries if entry[0] == name]
        if not found:
            raise SummaryError("no stream %r" % name)
        _, first, size = found[0]
        if size >= self.mini_cutoff:
            return [self.offset(s) + i for s in self.chain(first) for i in range(self.sector)][:size]
        root_first = self.entries[0][1]
        container = [self.offset(s) + i for s in self.chain(root_first) for i in range(self.sector)]
        offsets, sector = [], first
        while sector != END_OF_CHAIN and len(offsets) < size:
            start = sector * self.mini_sector
            offsets += container[start:start + self.mini_sector]
            sector = self.mini_fat[sector]
        return offsets[:size]


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


def set_times(path, seconds):
    with open(path, "rb") as source:
        data = bytearray(source.read())
    offsets = CompoundFile(bytes(data)).stream_offsets(SUMMARY)
    stream = bytes(data[at] for at in offsets)
    value = struct.pack("<Q", FILETIME_AT_1970 + seconds * 10000000)
    for place in filetime_places(stream).values():
        for index, byte in enumerate(value):
            data[offsets[place + index]] = byte
    with open(path, "wb") as target:
        target.write(data)


def main(argv):
    if len(argv) != 3 or not argv[2].isdigit():
        print(__doc__.strip(), file=sys.stderr)
        return 2
    try:
        set_times(argv[1], int(argv[2]))
    except (OSError, SummaryError, struct.error) as error:
        print("summary_times: %s: %s" % (argv[1], error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
