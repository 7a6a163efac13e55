"""A reader of the compound file an installer is (the Compound File Binary format): its sectors, the
allocation tables (with the DIFAT beyond the header's 109 entries), the directory, and where each
stream's bytes lie in the file, whether in regular sectors or in the mini stream."""
import struct

SIGNATURE = bytes.fromhex("D0CF11E0A1B11AE1")
END_OF_CHAIN = 0xFFFFFFFE
STREAM = 2


class CompoundFileError(Exception):
    pass


class CompoundFile:
    def __init__(self, data):
        if data[:8] != SIGNATURE:
            raise CompoundFileError("not a compound file")
        self.data = data
        self.sector = 1 << struct.unpack_from("<H", data, 30)[0]
        self.mini_sector = 1 << struct.unpack_from("<H", data, 32)[0]
        fat_count, self.directory_start = struct.unpack_from("<II", data, 44)
        self.mini_cutoff, self.mini_fat_start, _, difat_start, difat_count = struct.unpack_from("<IIIII", data, 56)
        self.difat_sectors, self.fat_sectors = [], list(struct.unpack_from("<109I", data, 76))
        sector = difat_start
        for _ in range(difat_count):
            self.difat_sectors.append(sector)
            listed = self._words(sector)
            self.fat_sectors += listed[:-1]
            sector = listed[-1]
        self.fat_sectors = self.fat_sectors[:fat_count]
        self.fat = [word for sector in self.fat_sectors for word in self._words(sector)]
        self.mini_fat = [word for sector in self.chain(self.mini_fat_start) for word in self._words(sector)]
        self.entries = list(self._directory())
        self.container = self.chain(self.entries[0][2]) if self.entries else []  # the root's: the mini stream

    def offset(self, sector):
        """The file offset of a sector."""
        return (sector + 1) * self.sector

    def _words(self, sector):
        return list(struct.unpack_from("<%dI" % (self.sector // 4), self.data, self.offset(sector)))

    def chain(self, start, table=None):
        """The sectors of a chain, in order (each at most once: a loop ends it)."""
        table = self.fat if table is None else table
        sectors = []
        while start < len(table) and start not in sectors:
            sectors.append(start)
            start = table[start]
        return sectors

    def _directory(self):
        """Each directory entry: (name, kind, first sector, size)."""
        for sector in self.chain(self.directory_start):
            for at in range(self.offset(sector), self.offset(sector) + self.sector, 128):
                length = struct.unpack_from("<H", self.data, at + 64)[0]
                name = self.data[at:at + max(length - 2, 0)].decode("utf-16-le", "replace")
                first, size = struct.unpack_from("<IQ", self.data, at + 116)
                yield name, self.data[at + 66], first, size & 0xFFFFFFFF

    def in_mini_stream(self, size):
        return size < self.mini_cutoff

    def mini_offsets(self, mini_sector):
        """The file offsets of one mini sector's bytes."""
        start = mini_sector * self.mini_sector
        index, within = divmod(start, self.sector)
        if index >= len(self.container):
            return []
        at = self.offset(self.container[index]) + within
        return list(range(at, at + self.mini_sector))

    def stream_offsets(self, name):
        """The file offset of every byte of the named stream, in order."""
        found = [entry for entry in self.entries if entry[0] == name and entry[1] == STREAM]
        if not found:
            raise CompoundFileError("no stream %r" % name)
        _, _, first, size = found[0]
        if self.in_mini_stream(size):
            offsets = [at for mini in self.chain(first, self.mini_fat) for at in self.mini_offsets(mini)]
        else:
            offsets = [self.offset(s) + i for s in self.chain(first) for i in range(self.sector)]
        return offsets[:size]
