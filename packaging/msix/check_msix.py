#!/usr/bin/env python3
"""Checks a built TorvoShellMenu.msix as Windows reads a package while installing it, on its own
reading of the archive (nothing here is shared with pack_msix.py):

  - the ZIP archive from its central directory: every entry's local header, name, method, sizes and
    CRC, no entry overlapping another, nothing but the archive in the file;
  - the block map: every file of the package listed once (the block map, the content types and the
    signature excepted), its size and local header size, and every 64 KiB block inflated on its own
    to the size and SHA-256 the map gives;
  - the layout Windows' reader wants (it refuses a package laid out otherwise with 0x80080205): the
    block map lists the payload in ascending case-insensitive ordinal order and the manifest last,
    the archive holds the files in the block map's order, then the block map, the content types and
    the signature, and its central directory follows the same order;
  - the content types: one for every part, the manifest's, the block map's and the signature's the
    ones Windows expects, the stream itself deflated (osslsigncode corrupts a stored one);
  - the manifest: its identity as the schema allows it, external content, the two capabilities, the
    unlisted application, the logos it names present, and the context-menu verbs for files and
    folders naming the Explorer command class that the package serves from TorvoShellMenu.dll.

    check_msix.py PACKAGE

Prints one line naming the package when it passes; otherwise every fault found, and exits 1.
"""
import base64
import hashlib
import os
import re
import struct
import sys
import xml.etree.ElementTree as ElementTree
import zlib

# The class of TorvoShellMenu.dll that implements the Explorer command (TorvoExplorerCommand).
EXPLORER_COMMAND_CLSID = "FE350870-CCAE-43AD-926D-C10521847188"
DLL = "TorvoShellMenu.dll"

BLOCK = 65536
CONTENT_TYPES = "[Content_Types].xml"
BLOCK_MAP = "AppxBlockMap.xml"
MANIFEST = "AppxManifest.xml"
SIGNATURE = "AppxSignature.p7x"
# Parts that describe the package rather than belong to it: never in the block map.
FOOTPRINT = {BLOCK_MAP, CONTENT_TYPES, SIGNATURE, "AppxMetadata/CodeIntegrity.cat"}
REQUIRED_TYPES = {
    MANIFEST: "application/vnd.ms-appx.manifest+xml",
    BLOCK_MAP: "application/vnd.ms-appx.blockmap+xml",
    SIGNATURE: "application/vnd.ms-appx.signature",
}

NS = {
    "types": "http://schemas.openxmlformats.org/package/2006/content-types",
    "map": "http://schemas.microsoft.com/appx/2010/blockmap",
    "f": "http://schemas.microsoft.com/appx/manifest/foundation/windows10",
    "uap": "http://schemas.microsoft.com/appx/manifest/uap/windows10",
    "uap10": "http://schemas.microsoft.com/appx/manifest/uap/windows10/10",
    "rescap": "http://schemas.microsoft.com/appx/manifest/foundation/windows10/restrictedcapabilities",
    "desktop4": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/4",
    "desktop5": "http://schemas.microsoft.com/appx/manifest/desktop/windows10/5",
    "com": "http://schemas.microsoft.com/appx/manifest/com/windows10",
}
SHA256_URI = "http://www.w3.org/2001/04/xmlenc#sha256"

# The manifest schema's simple types (AppxManifestTypes.xsd): ST_PackageName, ST_VersionQuad and
# ST_Publisher_2010_v2, a distinguished name as CertNameToStr writes it ("CN=..., O=..., C=...").
PACKAGE_NAME = re.compile(r"[-.A-Za-z0-9]{3,50}")
_PART = r"(0|[1-9][0-9]{0,3}|[1-5][0-9]{4}|6[0-4][0-9]{3}|65[0-4][0-9]{2}|655[0-2][0-9]|6553[0-5])"
VERSION = re.compile(_PART + r"(\." + _PART + r"){3}")
_RDN = (r"(CN|L|O|OU|E|C|S|STREET|T|G|I|SN|DC|SERIALNUMBER|Description|PostalCode|POBox|Phone|X21Address|"
        r"dnQualifier|(OID\.(0|[1-9][0-9]*)(\.(0|[1-9][0-9]*))+))=(([^,+=\"<>#;])+|\".*\")")
PUBLISHER = re.compile(_RDN + r"(, " + _RDN + r")*")


class Unreadable(Exception):
    """A fault after which the package cannot be read any further."""


class Member:
    """One entry of the archive as its central directory and local header describe it."""

    def __init__(self, name, method, flags, crc, compressed_size, size, offset, directory_at=0):
        self.name, self.method, self.flags, self.crc = name, method, flags, crc
        self.compressed_size, self.size, self.offset = compressed_size, size, offset
        self.directory_at = directory_at  # where its central directory record starts
        self.header_size = 0
        self.compressed = b""
        self.data = b""


def end_of_directory(package):
    """(entry count, directory size, directory offset) from the end-of-central-directory record."""
    at = package.rfind(b"PK\x05\x06", max(0, len(package) - 22 - 65535))
    if at < 0 or at + 22 > len(package):
        raise Unreadable("no end of central directory: not a ZIP archive")
    disk, start_disk, here, count, size, offset, comment = struct.unpack_from("<HHHHIIH", package, at + 4)
    if disk or start_disk or here != count:
        raise Unreadable("the archive spans several disks")
    if count == 0xFFFF or offset == 0xFFFFFFFF:
        raise Unreadable("a ZIP64 archive: not written by this project")
    if at + 22 + comment != len(package) or offset + size != at:
        raise Unreadable("bytes before the end record or after the archive")
    return count, size, offset


def central_directory(package):
    """The members in the order of the central directory, and where that directory starts."""
    count, directory_size, offset = end_of_directory(package)
    members, at = [], offset
    for _ in range(count):
        if package[at:at + 4] != b"PK\x01\x02":
            raise Unreadable(f"central directory entry at {at} has no signature")
        (flags, method, crc, compressed_size, size, name_length, extra_length, comment_length,
         local_offset) = struct.unpack_from("<8xHH4xIIIHHH8xI", package, at)
        name = package[at + 46:at + 46 + name_length].decode("utf-8" if flags & 0x800 else "cp437")
        members.append(Member(name, method, flags, crc, compressed_size, size, local_offset, at))
        at += 46 + name_length + extra_length + comment_length
    if at != offset + directory_size:
        raise Unreadable("the central directory's size does not match its entries")
    return members, offset


def read_member(package, member, faults):
    """Reads the member's local header and data; adds what does not match to faults."""
    at = member.offset
    if package[at:at + 4] != b"PK\x03\x04":
        raise Unreadable(f"{member.name}: no local header at {at}")
    flags, method, crc, compressed_size, size, name_length, extra_length = struct.unpack_from("<6xHH4xIIIHH", package, at)
    member.header_size = 30 + name_length + extra_length
    local_name = package[at + 30:at + 30 + name_length].decode("utf-8" if flags & 0x800 else "cp437")
    if local_name != member.name or method != member.method:
        faults.append(f"{member.name}: the local header says {local_name!r}, method {method}")
    if not flags & 0x08 and (crc, compressed_size, size) != (member.crc, member.compressed_size, member.size):
        faults.append(f"{member.name}: the local header's CRC or sizes differ from the central directory's")
    if member.flags & 0x01:
        faults.append(f"{member.name}: encrypted")
    start = at + member.header_size
    member.compressed = package[start:start + member.compressed_size]
    if member.method == 0:
        member.data = member.compressed
    elif member.method == 8:
        member.data = inflate(member.compressed, member.name, faults)
    else:
        faults.append(f"{member.name}: compression method {member.method}, neither stored nor deflated")
        return
    if len(member.data) != member.size or zlib.crc32(member.data) != member.crc:
        faults.append(f"{member.name}: the data does not match its size or CRC")


def inflate(compressed, name, faults):
    """Raw deflate data, which must end exactly where the entry ends."""
    inflater = zlib.decompressobj(-15)
    try:
        data = inflater.decompress(compressed) + inflater.flush()
    except zlib.error as error:
        faults.append(f"{name}: the deflated data is corrupt ({error})")
        return b""
    if not inflater.eof or inflater.unused_data:
        faults.append(f"{name}: the deflated data does not end where the entry ends")
    return data


def read_archive(package, faults):
    """The members in the central directory's order, each read and checked; names, overlaps and gaps
    checked."""
    members, directory = central_directory(package)
    by_name = {}
    for member in members:
        key = member.name.lower()  # part names compare without case, as the file system does
        parts = member.name.split("/")
        if key in by_name:
            faults.append(f"{member.name}: in the archive twice")
        if "\\" in member.name or any(part in ("", ".", "..") for part in parts):
            faults.append(f"{member.name}: not a part name")
        by_name[key] = member
        read_member(package, member, faults)
    ordered = sorted(members, key=lambda m: m.offset)
    for member, following in zip(ordered, ordered[1:] + [None]):
        end = member.offset + member.header_size + member.compressed_size
        limit = following.offset if following else directory
        if end > limit:
            faults.append(f"{member.name}: overlaps what follows it")
    if ordered and ordered[0].offset != 0:
        faults.append("the archive does not start with its first entry")
    return members


def parse_xml(member, faults):
    try:
        return ElementTree.fromstring(member.data)
    except ElementTree.ParseError as error:
        faults.append(f"{member.name}: not well-formed XML ({error})")
        return None


def check_content_types(members, faults):
    """Every part has a content type; the package's own parts have the ones Windows expects."""
    stream = members.get(CONTENT_TYPES)
    if stream is None:
        faults.append(f"no {CONTENT_TYPES}")
        return
    if stream.method != 8:
        faults.append(f"{CONTENT_TYPES} is stored, not deflated: a signed package would be corrupt")
    root = parse_xml(stream, faults)
    if root is None:
        return
    if root.tag != f"{{{NS['types']}}}Types":
        faults.append(f"{CONTENT_TYPES}: the root is {root.tag}, not Types")
        return
    defaults, overrides = {}, {}
    for element in root:
        kind = element.tag.split("}")[-1]
        table, key = (defaults, element.get("Extension", "")) if kind == "Default" else (overrides, element.get("PartName", ""))
        if kind not in ("Default", "Override") or not key or not element.get("ContentType"):
            faults.append(f"{CONTENT_TYPES}: an incomplete or unknown element {kind}")
        elif key.lower() in table:
            faults.append(f"{CONTENT_TYPES}: {key} given twice")
        table[key.lower()] = element.get("ContentType")
    for name in members:
        if name == CONTENT_TYPES:
            continue
        extension = name.rsplit(".", 1)[-1].lower() if "." in name.split("/")[-1] else ""
        found = overrides.get("/" + name.lower(), defaults.get(extension))
        if found is None:
            faults.append(f"{name}: no content type")
        elif name in REQUIRED_TYPES and found != REQUIRED_TYPES[name]:
            faults.append(f"{name}: content type {found}, not {REQUIRED_TYPES[name]}")


def check_block_map(members, faults):
    """Every file of the package is in the block map once and matches it block by block; the names
    it lists, in its order."""
    stream = members.get(BLOCK_MAP)
    if stream is None:
        faults.append(f"no {BLOCK_MAP}")
        return []
    root = parse_xml(stream, faults)
    if root is None:
        return []
    if root.tag != f"{{{NS['map']}}}BlockMap" or root.get("HashMethod") != SHA256_URI:
        faults.append(f"{BLOCK_MAP}: not a block map of SHA-256 hashes")
        return []
    listed = []
    for file in root.findall("map:File", NS):
        name = file.get("Name", "").replace("\\", "/")
        if name in listed:
            faults.append(f"{BLOCK_MAP}: {name} listed twice")
        listed.append(name)
        if name in FOOTPRINT:
            faults.append(f"{BLOCK_MAP}: lists {name}, which describes the package")
        elif name not in members:
            faults.append(f"{BLOCK_MAP}: lists {name}, which the package lacks")
        else:
            check_file_blocks(members[name], file, faults)
    for name in members:
        if name not in listed and name not in FOOTPRINT:
            faults.append(f"{name}: not in the block map")
    return listed


def ordinal_ignoring_case(name):
    """Windows' ordinal comparison without regard to case: code units compared upper-cased."""
    return name.replace("/", "\\").upper()


def check_layout(archive_order, directory_order, listed, faults):
    """The order Windows' package reader wants, given the names as the archive holds them, as the
    central directory lists them and as the block map lists them."""
    payload = [name for name in listed if name != MANIFEST]
    if payload != sorted(payload, key=ordinal_ignoring_case) or (listed and listed[-1] != MANIFEST):
        faults.append(f"{BLOCK_MAP}: the payload is not listed in ascending case-insensitive order with {MANIFEST} last")
    footprint = [name for name in (BLOCK_MAP, CONTENT_TYPES, "AppxMetadata/CodeIntegrity.cat", SIGNATURE)
                 if name in archive_order]
    if archive_order != listed + footprint:
        faults.append(f"the archive holds its files in another order than the block map's, followed by "
                      f"{', '.join(footprint)}: {', '.join(archive_order)}")
    if directory_order != archive_order:
        faults.append("the central directory lists the files in another order than the archive holds them")


def check_file_blocks(member, file, faults):
    """One File of the block map against the member: its sizes, each block's hash, and for a deflated
    file each block's compressed size."""
    if file.get("Size") != str(member.size) or file.get("LfhSize") != str(member.header_size):
        faults.append(f"{member.name}: the block map's Size or LfhSize differs from the archive")
        return
    blocks = file.findall("map:Block", NS)
    if len(blocks) != (member.size + BLOCK - 1) // BLOCK:
        faults.append(f"{member.name}: {len(blocks)} blocks in the block map for {member.size} bytes")
        return
    for index, block in enumerate(blocks):
        data = member.data[index * BLOCK:(index + 1) * BLOCK]
        if base64.b64encode(hashlib.sha256(data).digest()).decode("ascii") != block.get("Hash"):
            faults.append(f"{member.name}: block {index} does not match its hash")
    if member.method == 8:
        check_compressed_blocks(member, blocks, faults)
    elif any(block.get("Size") is not None for block in blocks):
        faults.append(f"{member.name}: a block of a stored file has a Size")


def check_compressed_blocks(member, blocks, faults):
    """Each block's compressed bytes, where the sizes in the block map put them, inflate on their
    own to that block's size; together they are the entry's compressed data."""
    at = 0
    for index, block in enumerate(blocks):
        size = block.get("Size", "")
        if not size.isdigit() or int(size) <= 0:
            faults.append(f"{member.name}: block {index} of a deflated file has no Size")
            return
        expected = min(BLOCK, member.size - index * BLOCK)
        if inflate_block(member.compressed[at:at + int(size)], expected) is None:
            faults.append(f"{member.name}: block {index} does not inflate alone to its size")
            return
        at += int(size)
    if at != member.compressed_size:
        faults.append(f"{member.name}: the blocks' sizes add up to {at}, the entry holds {member.compressed_size}")


def inflate_block(compressed, size):
    """A block's compressed bytes inflated on their own; None unless they give exactly size bytes."""
    inflater = zlib.decompressobj(-15)
    try:
        data = inflater.decompress(compressed, size + 1)
    except zlib.error:
        return None
    return data if len(data) == size and not inflater.unconsumed_tail else None


def check_manifest(members, faults):
    """The manifest's identity and the entries that place the command; returns the identity."""
    stream = members.get(MANIFEST)
    root = parse_xml(stream, faults) if stream else None
    if stream is None:
        faults.append(f"no {MANIFEST}")
    if root is None:
        return None
    identity = root.find("f:Identity", NS)
    if root.tag != f"{{{NS['f']}}}Package" or identity is None:
        faults.append(f"{MANIFEST}: no Package with an Identity")
        return None
    name, version, publisher = (identity.get(key, "") for key in ("Name", "Version", "Publisher"))
    if not PACKAGE_NAME.fullmatch(name):
        faults.append(f"{MANIFEST}: package name {name!r}")
    if not VERSION.fullmatch(version) or version.startswith("0."):
        faults.append(f"{MANIFEST}: version {version!r}: four numbers up to 65535, the first not 0")
    if not PUBLISHER.fullmatch(publisher):
        faults.append(f"{MANIFEST}: publisher {publisher!r} is no distinguished name as Windows writes one")
    if root.findtext("f:Properties/uap10:AllowExternalContent", "", NS).strip() != "true":
        faults.append(f"{MANIFEST}: external content is not allowed")
    capabilities = {c.get("Name") for c in root.findall("f:Capabilities/rescap:Capability", NS)}
    for capability in ("runFullTrust", "unvirtualizedResources"):
        if capability not in capabilities:
            faults.append(f"{MANIFEST}: no {capability} capability")
    # Windows 10 shows a registered package's command on its one menu, beside the DLL's own item.
    for family in root.findall("f:Dependencies/f:TargetDeviceFamily", NS):
        minimum = tuple(int(part) for part in re.findall(r"\d+", family.get("MinVersion", "0"))[:3])
        if minimum < (10, 0, 22000):
            faults.append(f"{MANIFEST}: {family.get('Name')} from {family.get('MinVersion')} accepts Windows 10, "
                          "which would show the item twice")
    check_application(root, members, faults)
    return f"{name} {version} {identity.get('ProcessorArchitecture', 'neutral')}, publisher {publisher}"


def check_application(root, members, faults):
    applications = root.findall("f:Applications/f:Application", NS)
    visuals = [a.find("uap:VisualElements", NS) for a in applications]
    if len(applications) != 1 or visuals[0] is None or visuals[0].get("AppListEntry") != "none":
        faults.append(f"{MANIFEST}: not one application that is never listed")
        return
    logos = [root.findtext("f:Properties/f:Logo", "", NS)]
    logos += [visuals[0].get(key, "") for key in ("Square150x150Logo", "Square44x44Logo")]
    for logo in logos:
        if logo.replace("\\", "/") not in members:
            faults.append(f"{MANIFEST}: names the logo {logo!r}, which the package lacks")
    extensions = applications[0].find("f:Extensions", NS)
    menus = extensions.findall("desktop4:Extension[@Category='windows.fileExplorerContextMenus']/"
                               "desktop4:FileExplorerContextMenus/desktop5:ItemType", NS) if extensions is not None else []
    classes = extensions.findall("com:Extension[@Category='windows.comServer']/com:ComServer/"
                                 "com:SurrogateServer/com:Class", NS) if extensions is not None else []
    served = {c.get("Id", "").upper() for c in classes if c.get("Path") == DLL and c.get("ThreadingModel") == "STA"}
    for item_type in ("*", "Directory"):
        verbs = [v.get("Clsid", "").upper() for m in menus if m.get("Type") == item_type for v in m.findall("desktop5:Verb", NS)]
        if EXPLORER_COMMAND_CLSID not in verbs:
            faults.append(f"{MANIFEST}: no context-menu verb for {item_type!r} naming the Explorer command class")
        for clsid in verbs:
            if clsid not in served:
                faults.append(f"{MANIFEST}: the verb's class {clsid} is not served from {DLL}, apartment-threaded")


def check(package):
    """The faults of the package, and its description."""
    faults = []
    try:
        in_directory = read_archive(package, faults)
    except Unreadable as error:
        return [str(error)], None
    members = {member.name: member for member in in_directory}
    check_content_types(members, faults)
    listed = check_block_map(members, faults)
    in_archive = [member.name for member in sorted(in_directory, key=lambda member: member.offset)]
    check_layout(in_archive, [member.name for member in in_directory], listed, faults)
    identity = check_manifest(members, faults)
    signed = "signed" if SIGNATURE in members else "unsigned"
    return faults, f"{identity}, {len(listed)} files in the block map, {signed}"


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: check_msix.py PACKAGE")
    path = sys.argv[1]
    with open(path, "rb") as source:
        faults, description = check(source.read())
    name = os.path.basename(path)
    for fault in faults:
        print(f"check_msix: {name}: {fault}", file=sys.stderr)
    if faults:
        sys.exit(1)
    print(f"{name}: {description}: ok")


if __name__ == "__main__":
    main()
