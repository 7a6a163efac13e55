#!/usr/bin/env python3
"""Writes TorvoShellMenu.msix, the sparse package, from this folder's manifest template and images:

    pack_msix.py --version 1.3.0.1001 --publisher "CN=ZebTorvo, O=ZebTorvo, C=CN" --out TorvoShellMenu.msix

The package is a ZIP archive of the images, the manifest, the block map (AppxBlockMap.xml) and the
content types ([Content_Types].xml), every entry deflated, laid out as Windows' own packer lays a
package out and as its reader wants it (otherwise Add-AppxPackage refuses the package with 0x80080205,
"block map invalid", although every hash is right): the block map lists the payload in ascending
case-insensitive ordinal order of the names it gives, and the manifest last; the archive holds the
files in that order, then the block map and the content types (a signature goes after them). Windows checks each file of a package
against the block map while it installs it: the SHA-256 of every 64 KiB block of the file's data
and, for a deflated file, the size of each block's compressed bytes. Each block is therefore
compressed up to a full flush of its own, so that it can be inflated alone. The same inputs give
the same bytes (every entry's time the release's, SOURCE_DATE_EPOCH; fixed order).
"""
import argparse
import base64
import hashlib
import os
import re
import struct
import sys
import time
import zlib
from xml.sax.saxutils import escape, quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
IMAGES = ("images/StoreLogo.png", "images/Square44x44Logo.png", "images/Square150x150Logo.png")
BLOCK = 65536
CONTENT_TYPES = {"png": "image/png"}  # by extension, for every part the overrides below do not name
MANIFEST_TYPE = "application/vnd.ms-appx.manifest+xml"
BLOCK_MAP_TYPE = "application/vnd.ms-appx.blockmap+xml"
BLOCK_MAP_NS = "http://schemas.microsoft.com/appx/2010/blockmap"
SHA256_URI = "http://www.w3.org/2001/04/xmlenc#sha256"


def dos_time_and_date(seconds):
    """A ZIP entry's time and date (MS-DOS format, two-second steps) of a time in seconds since 1970,
    UTC; 1980-01-01 00:00, the earliest a ZIP can say, for anything before it."""
    moment = max(time.gmtime(seconds or 0), time.gmtime(315532800))
    return ((moment.tm_hour << 11) | (moment.tm_min << 5) | (moment.tm_sec // 2),
            ((moment.tm_year - 1980) << 9) | (moment.tm_mon << 5) | moment.tm_mday)


# Every entry's time: the release's one time (SOURCE_DATE_EPOCH), else the earliest.
DOS_TIME, DOS_DATE = dos_time_and_date(int(os.environ.get("SOURCE_DATE_EPOCH", "0") or 0))
DEFLATE = 8


class PackError(Exception):
    pass


ARCHITECTURES = ("x64", "arm64")


def manifest(version, publisher, arch="x64"):
    """The template with the version, the publisher and the architecture of the DLL filled in, as UTF-8."""
    numbers = version.split(".")
    if len(numbers) != 4 or not all(n.isdigit() and int(n) <= 65535 for n in numbers):
        raise PackError(f"version {version!r}: a package version is four numbers, each up to 65535")
    if int(numbers[0]) == 0:
        raise PackError(f"version {version!r}: Windows refuses a package version whose first number is 0")
    with open(os.path.join(HERE, "AppxManifest.xml"), encoding="utf-8") as source:
        text = source.read()
    if arch not in ARCHITECTURES:
        raise PackError(f"architecture {arch!r}: the package names a DLL of x64 or arm64")
    for placeholder in ("@VERSION@", "@PUBLISHER@", "@ARCH@"):
        if text.count(placeholder) != 1:
            raise PackError(f"AppxManifest.xml must hold {placeholder} once")
    text = text.replace("@VERSION@", ".".join(str(int(n)) for n in numbers)).replace("@ARCH@", arch)
    return text.replace("@PUBLISHER@", escape(publisher, {'"': "&quot;"})).encode("utf-8")


def deflate_blocks(data):
    """The compressed bytes of each 64 KiB block of data, each ending on a flush of its own."""
    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
    blocks = [data[at:at + BLOCK] for at in range(0, len(data), BLOCK)]
    flushes = [zlib.Z_FULL_FLUSH] * (len(blocks) - 1) + [zlib.Z_FINISH]
    return [packer.compress(block) + packer.flush(flush) for block, flush in zip(blocks, flushes)]


class Entry:
    """One file of the archive, deflated: name (with "/"), data, its compressed blocks."""

    def __init__(self, name, data):
        if not data:
            raise PackError(f"{name} is empty")
        self.name, self.data = name, data
        self.blocks = deflate_blocks(data)
        self.compressed = b"".join(self.blocks)
        self.crc = zlib.crc32(data)
        self.offset = 0

    def local_header(self):
        name = self.name.encode("ascii")
        return struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, DEFLATE, DOS_TIME, DOS_DATE, self.crc,
                           len(self.compressed), len(self.data), len(name), 0) + name

    def central_header(self):
        name = self.name.encode("ascii")
        return struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, DEFLATE, DOS_TIME, DOS_DATE, self.crc,
                           len(self.compressed), len(self.data), len(name), 0, 0, 0, 0, 0, self.offset) + name


def block_map(entries):
    """AppxBlockMap.xml for the entries: names with backslashes, as Windows paths."""
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             f'<BlockMap xmlns="{BLOCK_MAP_NS}" HashMethod="{SHA256_URI}">']
    for entry in entries:
        name = quoteattr(entry.name.replace("/", "\\"))
        lines.append(f'  <File Name={name} Size="{len(entry.data)}" LfhSize="{len(entry.local_header())}">')
        for at, compressed in zip(range(0, len(entry.data), BLOCK), entry.blocks):
            digest = base64.b64encode(hashlib.sha256(entry.data[at:at + BLOCK]).digest()).decode("ascii")
            lines.append(f'    <Block Hash="{digest}" Size="{len(compressed)}"/>')
        lines.append("  </File>")
    lines.append("</BlockMap>")
    return ("\n".join(lines) + "\n").encode("utf-8")


def content_types(entries):
    """[Content_Types].xml: a default per extension of the files, overrides for manifest and block map."""
    extensions = sorted({entry.name.rsplit(".", 1)[-1].lower() for entry in entries} - {"xml"})
    unknown = [extension for extension in extensions if extension not in CONTENT_TYPES]
    if unknown:
        raise PackError(f"no content type for .{unknown[0]} files")
    lines = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">']
    lines += [f'  <Default Extension="{extension}" ContentType="{CONTENT_TYPES[extension]}"/>' for extension in extensions]
    lines.append(f'  <Override PartName="/AppxManifest.xml" ContentType="{MANIFEST_TYPE}"/>')
    lines.append(f'  <Override PartName="/AppxBlockMap.xml" ContentType="{BLOCK_MAP_TYPE}"/>')
    lines.append("</Types>")
    return ("\n".join(lines) + "\n").encode("utf-8")


def archive(entries):
    """The ZIP archive of the entries, in their order."""
    out = bytearray()
    for entry in entries:
        entry.offset = len(out)
        out += entry.local_header() + entry.compressed
    directory = b"".join(entry.central_header() for entry in entries)
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries), len(entries), len(directory), len(out), 0)
    return bytes(out + directory + end)


def payload_order(entry):
    """The key of ordinal comparison without regard to case (upper-case code units, as Windows
    compares) of the name the block map gives the entry."""
    return entry.name.replace("/", "\\").upper()


def package(version, publisher, arch="x64"):
    """The bytes of the package: its payload in order, the manifest, then the block map over them,
    then the content types."""
    payload = []
    for name in IMAGES:
        with open(os.path.join(HERE, name), "rb") as image:
            payload.append(Entry(name, image.read()))
    files = sorted(payload, key=payload_order) + [Entry("AppxManifest.xml", manifest(version, publisher, arch))]
    footprint = [Entry("AppxBlockMap.xml", block_map(files)), Entry("[Content_Types].xml", content_types(files))]
    return archive(files + footprint)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--version", required=True, help="four numbers, e.g. 1.3.0.1001")
    parser.add_argument("--publisher", required=True, help="the signer's subject as Windows writes it")
    parser.add_argument("--arch", default="x64", choices=ARCHITECTURES, help="the machine of the DLL it names")
    parser.add_argument("--out", required=True)
    arguments = parser.parse_args()
    if not re.fullmatch(r"[^\x00-\x1f]+", arguments.publisher):
        raise PackError("the publisher is empty or holds control characters")
    data = package(arguments.version, arguments.publisher, arguments.arch)
    with open(arguments.out, "wb") as out:
        out.write(data)


if __name__ == "__main__":
    try:
        main()
    except (PackError, OSError) as error:
        sys.exit(f"pack_msix: {error}")
