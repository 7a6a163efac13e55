"""What lies at an offset of a released file, by the file's format (read from its bytes): a PE image
(its headers' fields, a section, the certificate table, the debug directory), a compound file (an
installer: its header, allocation and directory sectors, or the stream whose bytes lie there, its
name decoded as Windows Installer encodes table names) or a ZIP archive (a package: an entry's local
header or data, the central directory)."""
import os
import struct
import sys

PACKAGING = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(PACKAGING, "msi"), os.path.join(PACKAGING, "msix")]
import check_msix  # noqa: E402
import compound_file  # noqa: E402

PE_DIRECTORIES = ["Export", "Import", "Resource", "Exception", "Security (certificate table)", "Base relocation",
                  "Debug", "Architecture", "Global pointer", "TLS", "Load configuration", "Bound import",
                  "Import address table", "Delay import", "COM descriptor", "Reserved"]
COFF_FIELDS = [(0, 2, "Machine"), (2, 2, "NumberOfSections"), (4, 4, "TimeDateStamp"),
               (8, 4, "PointerToSymbolTable"), (12, 4, "NumberOfSymbols"), (16, 2, "SizeOfOptionalHeader"),
               (18, 2, "Characteristics")]
# The optional header's fields after its standard part, which differs between PE32 and PE32+.
WINDOWS_FIELDS_32 = [(28, 4, "ImageBase"), (32, 4, "SectionAlignment"), (36, 4, "FileAlignment"),
                     (40, 12, "versions"), (52, 4, "Win32VersionValue"), (56, 4, "SizeOfImage"),
                     (60, 4, "SizeOfHeaders"), (64, 4, "CheckSum"), (68, 2, "Subsystem"),
                     (70, 2, "DllCharacteristics"), (72, 16, "stack and heap sizes"), (88, 4, "LoaderFlags"),
                     (92, 4, "NumberOfRvaAndSizes")]
WINDOWS_FIELDS_64 = [(24, 8, "ImageBase"), (32, 4, "SectionAlignment"), (36, 4, "FileAlignment"),
                     (40, 12, "versions"), (52, 4, "Win32VersionValue"), (56, 4, "SizeOfImage"),
                     (60, 4, "SizeOfHeaders"), (64, 4, "CheckSum"), (68, 2, "Subsystem"),
                     (70, 2, "DllCharacteristics"), (72, 32, "stack and heap sizes"), (104, 4, "LoaderFlags"),
                     (108, 4, "NumberOfRvaAndSizes")]
STANDARD_FIELDS = [(0, 2, "Magic"), (2, 2, "linker version"), (4, 12, "code and data sizes"),
                   (16, 4, "AddressOfEntryPoint"), (20, 4, "BaseOfCode"), (24, 4, "BaseOfData")]

MSI_ALPHABET = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._"


def _field(fields, at):
    for start, size, name in fields:
        if start <= at < start + size:
            return name
    return None


# ---- PE ----

def is_pe(data):
    if data[:2] != b"MZ" or len(data) < 64:
        return False
    pe = struct.unpack_from("<I", data, 60)[0]
    return data[pe:pe + 4] == b"PE\0\0"


def pe_region(data, offset):
    pe = struct.unpack_from("<I", data, 60)[0]
    coff, optional = pe + 4, pe + 24
    sections_count = struct.unpack_from("<H", data, coff + 2)[0]
    optional_size = struct.unpack_from("<H", data, coff + 16)[0]
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    table = optional + optional_size
    sections = [struct.unpack_from("<8sIIII", data, table + 40 * i) for i in range(sections_count)]
    if offset < pe:
        return "DOS header and stub"
    if offset < coff:
        return "PE signature"
    if offset < optional:
        return "PE header: " + _field(COFF_FIELDS, offset - coff)
    if offset < directories:
        fields = STANDARD_FIELDS[:6 if magic == 0x10B else 5] + (WINDOWS_FIELDS_64 if magic == 0x20B else WINDOWS_FIELDS_32)
        return "PE header: %s" % (_field(fields, offset - optional) or "optional header")
    if offset < table:
        return "PE header: data directory: %s" % PE_DIRECTORIES[min((offset - directories) // 8, 15)]
    if offset < table + 40 * sections_count:
        return "section table"
    security_at, security_size = struct.unpack_from("<II", data, directories + 8 * 4)
    if security_size and security_at <= offset < security_at + security_size:
        return "certificate table (Authenticode signature)"
    debug_rva, debug_size = struct.unpack_from("<II", data, directories + 8 * 6)
    for name, _virtual_size, rva, raw_size, raw_at in sections:
        if raw_at <= offset < raw_at + raw_size:
            at_rva = rva + offset - raw_at
            if debug_size and debug_rva <= at_rva < debug_rva + debug_size:
                return "debug directory"
            return "section %s" % name.rstrip(b"\0").decode("latin-1")
    return "overlay after the last section"


# ---- compound files (installers) ----

def is_cfb(data):
    return data[:8] == compound_file.SIGNATURE


def msi_stream_name(name):
    """A stream's name as Windows Installer wrote it, decoded: table names are packed two characters
    of MSI_ALPHABET into one code point from U+3800, with U+4840 for the tables' "!"."""
    decoded = []
    for char in name:
        code = ord(char)
        if 0x3800 <= code < 0x4800:
            code -= 0x3800
            decoded.append(MSI_ALPHABET[code & 0x3F] + MSI_ALPHABET[(code >> 6) & 0x3F])
        elif 0x4800 <= code < 0x4840:
            decoded.append(MSI_ALPHABET[code - 0x4800])
        elif code == 0x4840:
            decoded.append("!")
        elif code == 5:
            decoded.append("\\x05")
        else:
            decoded.append(char)
    return "".join(decoded)


def _describe_stream(name):
    decoded = msi_stream_name(name)
    if decoded == "\\x05SummaryInformation":
        return "summary information stream"
    return 'stream "%s"' % decoded


class CompoundLayout:
    """Which part every sector (and mini sector) of a compound file holds."""

    def __init__(self, data):
        self.file = compound_file.CompoundFile(data)
        self.owner = {sector: "DIFAT sector" for sector in self.file.difat_sectors}
        self.owner.update({sector: "FAT sector" for sector in self.file.fat_sectors})
        self.owner.update({sector: "directory sector" for sector in self.file.chain(self.file.directory_start)})
        self.owner.update({sector: "mini FAT sector" for sector in self.file.chain(self.file.mini_fat_start)})
        self.owner.update({sector: "mini stream" for sector in self.file.container})
        self.mini_owner = {}
        for name, kind, first, size in self.file.entries[1:]:
            if kind != compound_file.STREAM:
                continue
            if self.file.in_mini_stream(size):
                self.mini_owner.update({mini: _describe_stream(name) for mini in self.file.chain(first, self.file.mini_fat)})
            else:
                self.owner.update({sector: _describe_stream(name) for sector in self.file.chain(first)})

    def region(self, offset):
        if offset < 512:
            return "CFB header"
        sector = offset // self.file.sector - 1
        owner = self.owner.get(sector, "unallocated sector")
        if owner != "mini stream":
            return owner
        within = self.file.container.index(sector) * self.file.sector + offset % self.file.sector
        return "%s (in the mini stream)" % self.mini_owner.get(within // self.file.mini_sector, "unused mini sector")


# ---- ZIP archives (packages) ----

def is_zip(data):
    return data[:4] == b"PK\x03\x04"


def zip_region(data, offset):
    members, directory_at = check_msix.central_directory(data)
    directory_size = check_msix.end_of_directory(data)[1]
    if offset >= directory_at + directory_size:
        return "end of central directory"
    if offset >= directory_at:
        return "central directory"
    for member in members:
        name_length, extra_length = struct.unpack_from("<HH", data, member.offset + 26)
        body = member.offset + 30 + name_length + extra_length
        if member.offset <= offset < body:
            return "entry %s (local header)" % member.name
        if body <= offset < body + member.compressed_size:
            return "entry %s (data)" % member.name
    return "between entries"


def region(data, offset):
    """What lies at `offset` of a file whose bytes are `data`; None for a format not known here."""
    try:
        if is_pe(data):
            return pe_region(data, offset)
        if is_cfb(data):
            return CompoundLayout(data).region(offset)
        if is_zip(data):
            return zip_region(data, offset)
    except (struct.error, IndexError, ValueError, compound_file.CompoundFileError, check_msix.Unreadable):
        return "a part this reader cannot place"
    return None
