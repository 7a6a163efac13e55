"""The version record of a Windows program or DLL, read from the file as Windows reads it.

  version_record(path) -> (version, language) or None
      version   "major.minor.build.revision", the record's fixed file version
      language  the language of its first translation, a decimal language ID ("1033")
      None when the file is not a PE image or carries no version record.
"""
import struct

RT_VERSION = 16
FIXED_FILE_INFO_SIGNATURE = 0xFEEF04BD


class _Image:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("not an MZ image")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE header")
        sections, optional_size = struct.unpack_from("<H12xH", data, pe + 6)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        directories = optional + {0x10B: 96, 0x20B: 112}[magic]
        self.resources = struct.unpack_from("<I", data, directories + 2 * 8)[0]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<8xIIII", data, table + 40 * i) for i in range(sections)]

    def offset(self, rva):
        """The file offset of a relative virtual address."""
        for virtual_size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(virtual_size, raw_size):
                return raw + rva - address
        raise ValueError("address 0x%x lies in no section" % rva)


def _first_entry(image, directory, wanted=None):
    """The data offset of the entry of a resource directory with the ID wanted (any when None)."""
    named, numbered = struct.unpack_from("<12xHH", image.data, directory)
    for i in range(named + numbered):
        name, target = struct.unpack_from("<II", image.data, directory + 16 + 8 * i)
        if wanted is None or (not name & 0x80000000 and name == wanted):
            return target
    return None


def _version_resource(image):
    if image.resources == 0:
        return None
    root = image.offset(image.resources)
    target = _first_entry(image, root, RT_VERSION)
    for _ in range(2):  # the name level, then the language level
        if target is None or not target & 0x80000000:
            return None
        target = _first_entry(image, root + (target & 0x7FFFFFFF))
    if target is None or target & 0x80000000:
        return None
    rva, size = struct.unpack_from("<II", image.data, root + target)
    start = image.offset(rva)
    return image.data[start:start + size]


def _align(offset):
    return (offset + 3) & ~3


def _blocks(data, start, end):
    """The version record's blocks between start and end: (key, value bytes, children start, end)."""
    while start + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", data, start)
        if length == 0:
            return
        key_end = data.index(b"\0\0", start + 6)
        while (key_end - start) % 2:
            key_end = data.index(b"\0\0", key_end + 1)
        key = data[start + 6:key_end].decode("utf-16-le")
        value = _align(key_end + 2)
        value_size = value_length * (2 if kind == 1 else 1)
        yield key, data[value:value + value_size], _align(value + value_size), start + length
        start = _align(start + length)


def version_record(path):
    with open(path, "rb") as f:
        data = f.read()
    try:
        resource = _version_resource(_Image(data))
    except (ValueError, KeyError, struct.error):
        return None
    if not resource:
        return None
    root = next(_blocks(resource, 0, len(resource)), None)
    if root is None or root[0] != "VS_VERSION_INFO" or len(root[1]) < 52:
        return None
    signature, _, high, low = struct.unpack_from("<IIII", root[1])
    if signature != FIXED_FILE_INFO_SIGNATURE:
        return None
    version = "%d.%d.%d.%d" % (high >> 16, high & 0xFFFF, low >> 16, low & 0xFFFF)
    language = ""
    for key, _, children, end in _blocks(resource, root[2], root[3]):
        if key != "VarFileInfo":
            continue
        for var, value, _, _ in _blocks(resource, children, end):
            if var == "Translation" and len(value) >= 4:
                language = str(struct.unpack_from("<H", value)[0])
    return version, language
