#!/usr/bin/env python3
"""The sparse package's tools without a build (packaging/msix):
  - check_msix.py passes the package pack_msix.py writes (its publisher quoted, as a company name
    with a comma gives it), and refuses every package broken from it in one of the ways of the table
    BROKEN (each row names the fault the check must report);
  - cert_publisher.py turns certificate subjects into publishers as Windows writes them.
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

PACKAGING = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "packaging", "msix")
sys.dont_write_bytecode = True  # nothing written into the source tree
sys.path.insert(0, PACKAGING)
from check_msix import PUBLISHER  # noqa: E402  the manifest schema's pattern of a publisher
import entry_times  # noqa: E402

MANIFEST, MAP, TYPES = "AppxManifest.xml", "AppxBlockMap.xml", "[Content_Types].xml"
PUBLISHER_QUOTED = 'CN=Contoso, O="Contoso, Ltd"'
CLSID = "FE350870-CCAE-43AD-926D-C10521847188"


def tool(name, *arguments):
    return subprocess.run([sys.executable, os.path.join(PACKAGING, name), *arguments], capture_output=True, text=True)


class Package:
    """A package taken apart into its entries, to be broken and written again."""

    def __init__(self, data_by_name):
        self.entries = dict(data_by_name)
        self.stored = set()
        self.archive_changes = []

    def write(self, path):
        # Level 9, like the packer: each of its files is one block, so the blocks' compressed sizes
        # in the block map still hold for the entries written here.
        with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as archive:
            for name, data in self.entries.items():
                archive.writestr(name, data, zipfile.ZIP_STORED if name in self.stored else zipfile.ZIP_DEFLATED)
        with open(path, "rb") as source:
            data = source.read()
        for change in self.archive_changes:
            data = change(data)
        with open(path, "wb") as out:
            out.write(data)


def edit(name, pattern, replacement, count=1, flags=0):
    """Replaces what matches pattern in the entry (once, or every time for count=0)."""
    def apply(package):
        text, found = re.subn(pattern, replacement, package.entries[name].decode("utf-8"), count, flags)
        assert found, f"{pattern!r} not in {name}"
        package.entries[name] = text.encode("utf-8")
    return apply


def plus_one(match):
    return f'{match[1]}"{int(match[2]) + 1}"'


def drop(name):
    return lambda package: package.entries.pop(name)


def add(name, data):
    return lambda package: package.entries.update({name: data})


def store(name):
    return lambda package: package.stored.add(name)


def on_archive(change):
    return lambda package: package.archive_changes.append(change)


def flip_byte(at):
    return lambda data: data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:]


def first(name):
    """The entry moved to the front of the archive."""
    def apply(package):
        package.entries = {name: package.entries[name], **package.entries}
    return apply


def swap_first_directory_entries(data):
    """The archive with the first two entries of its central directory swapped, as osslsigncode
    before 2.9 wrote the directory of a package it signed."""
    end = data.rfind(b"PK\x05\x06")
    size, offset = struct.unpack_from("<II", data, end + 12)
    entries, at = [], offset
    while at < offset + size:
        name, extra, comment = struct.unpack_from("<HHH", data, at + 28)
        entries.append(data[at:at + 46 + name + extra + comment])
        at += len(entries[-1])
    entries[0], entries[1] = entries[1], entries[0]
    return data[:offset] + b"".join(entries) + data[offset + size:]


BROKEN = [  # (how the package is broken, the change, what the check must report)
    ("a changed byte in a file", edit(MANIFEST, "context menu<", "context menU<"),
     "AppxManifest.xml: block 0 does not match its hash"),
    ("a wrong block hash", edit(MAP, r'Hash="....', 'Hash="AAAA'), "does not match its hash"),
    ("a wrong compressed block size", edit(MAP, r'(<Block [^>]*Size=)"(\d+)"', plus_one),
     "images/Square150x150Logo.png: the blocks' sizes add up to"),
    ("a wrong local header size", edit(MAP, r'(LfhSize=)"(\d+)"', plus_one), "Size or LfhSize differs"),
    ("a file missing from the block map", edit(MAP, r'<File Name="images\\StoreLogo.png".*?</File>', "", flags=re.S),
     "images/StoreLogo.png: not in the block map"),
    ("a listed file missing from the package", drop("images/Square44x44Logo.png"),
     "lists images/Square44x44Logo.png, which the package lacks"),
    ("an extra file", add("images/extra.png", b"extra"), "images/extra.png: not in the block map"),
    ("no content type for an extension", edit(TYPES, r'<Default Extension="png"[^>]*/>', ""),
     "images/StoreLogo.png: no content type"),
    ("no content type for the manifest", edit(TYPES, r'<Override PartName="/AppxManifest.xml"[^>]*/>', ""),
     "AppxManifest.xml: no content type"),
    ("the manifest typed as plain XML", edit(TYPES, "application/vnd.ms-appx.manifest[+]xml", "application/xml"),
     "AppxManifest.xml: content type application/xml, not application/vnd.ms-appx.manifest+xml"),
    ("stored content types", store(TYPES), "[Content_Types].xml is stored, not deflated"),
    ("a corrupt entry", on_archive(flip_byte(60)), "images/Square150x150Logo.png: the data does not match its size or CRC"),
    ("bytes after the archive", on_archive(lambda data: data + b"tail"), "after the archive"),
    ("a manifest that is no XML", edit(MANIFEST, "</Package>", "</Packag>"), "AppxManifest.xml: not well-formed"),
    ("verbs naming another class", edit(MANIFEST, CLSID, "00000000-0000-0000-0000-000000000001", count=0),
     "no context-menu verb for '*' naming the Explorer command class"),
    ("the class served from another DLL", edit(MANIFEST, 'Path="TorvoShellMenu.dll"', 'Path="Other.dll"'),
     f"the verb's class {CLSID} is not served from TorvoShellMenu.dll"),
    ("no verb for folders", edit(MANIFEST, 'Type="Directory"', 'Type=".txt"'), "no context-menu verb for 'Directory'"),
    ("a publisher in openssl's form", edit(MANIFEST, 'Publisher="[^"]*"', 'Publisher="CN=Contoso,O=Contoso"'),
     "publisher 'CN=Contoso,O=Contoso' is no distinguished name"),
    ("a version number over 65535", edit(MANIFEST, ' Version="1.3.0.1001"', ' Version="1.3.0.65536"'),
     "version '1.3.0.65536'"),
    ("no external content", edit(MANIFEST, "AllowExternalContent>true", "AllowExternalContent>false"),
     "external content is not allowed"),
    ("no unvirtualized resources", edit(MANIFEST, '<rescap:Capability Name="unvirtualizedResources"/>', ""),
     "no unvirtualizedResources capability"),
    ("no full trust", edit(MANIFEST, '<rescap:Capability Name="runFullTrust"/>', ""), "no runFullTrust capability"),
    ("Windows 10 accepted", edit(MANIFEST, 'MinVersion="10.0.22000.0"', 'MinVersion="10.0.19041.0"'),
     "from 10.0.19041.0 accepts Windows 10"),
    ("a listed application", edit(MANIFEST, 'AppListEntry="none"', 'AppListEntry="default"'), "never listed"),
    ("a logo the package lacks", edit(MANIFEST, r"images\\StoreLogo", r"images\\Missing"), "names the logo"),
    ("the manifest first in the archive", first(MANIFEST), "the archive holds its files in another order"),
    ("the payload listed out of order", edit(MAP, r'(<File Name="images\\Square150.*?)(<File Name="images\\StoreLogo.*?</File>\s*)', r"\2\1",
                                                flags=re.S),
     "the payload is not listed in ascending case-insensitive order with AppxManifest.xml last"),
    ("a central directory out of order", on_archive(swap_first_directory_entries),
     "the central directory lists the files in another order"),
]


class Check(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.TemporaryDirectory()
        cls.good = os.path.join(cls.folder.name, "good.msix")
        packed = tool("pack_msix.py", "--version", "1.3.0.1001", "--publisher", PUBLISHER_QUOTED, "--out", cls.good)
        assert packed.returncode == 0, packed.stderr
        with zipfile.ZipFile(cls.good) as archive:
            cls.entries = {name: archive.read(name) for name in archive.namelist()}

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def check(self, package):
        path = os.path.join(self.folder.name, "package.msix")
        package.write(path)
        return tool("check_msix.py", path)

    def test_the_packed_package_passes_and_its_xml_is_well_formed(self):
        passed = tool("check_msix.py", self.good)
        self.assertEqual(passed.returncode, 0, passed.stderr)
        self.assertIn(f"ZebTorvo.TorvoShellMenu 1.3.0.1001 x64, publisher {PUBLISHER_QUOTED}, 4 files", passed.stdout)
        self.assertEqual(self.check(Package(self.entries)).returncode, 0, "the package written again must pass")
        for name in (MANIFEST, MAP, TYPES):
            linted = subprocess.run(["xmllint", "--noout", "-"], input=self.entries[name], capture_output=True)
            self.assertEqual(linted.returncode, 0, f"{name}: {linted.stderr}")

    def test_each_broken_package_is_refused(self):
        for how, change, fault in BROKEN:
            with self.subTest(how):
                package = Package(self.entries)
                change(package)
                checked = self.check(package)
                self.assertEqual(checked.returncode, 1, checked.stdout)
                self.assertIn(fault, checked.stderr)


class Publisher(unittest.TestCase):
    SUBJECTS = [  # (the certificate's subject as openssl -subj takes it, the publisher Windows writes)
        ("/CN=TorvoShellMenu signer", "CN=TorvoShellMenu signer"),
        ("/C=US/ST=WA/L=Redmond/O=Contoso/OU=Tools/CN=Contoso", "CN=Contoso, OU=Tools, O=Contoso, L=Redmond, S=WA, C=US"),
        ('/O=Contoso\\, Ltd/CN=Say "hi"', 'CN="Say ""hi""", O="Contoso, Ltd"'),
        ("/CN=ZebTorvo/emailAddress=sign@zebtorvo.example/2.5.4.15=Private Organization/serialNumber=91310000",
         "SERIALNUMBER=91310000, OID.2.5.4.15=Private Organization, E=sign@zebtorvo.example, CN=ZebTorvo"),
        ("/C=CN/O=#1/CN=加密 ", 'CN="加密 ", O="#1", C=CN'),
        ("/O= Contoso/CN=Contoso", 'CN=Contoso, O=" Contoso"'),
    ]

    def publisher(self, subject):
        with tempfile.TemporaryDirectory() as folder:
            certificate = os.path.join(folder, "cert.pem")
            subprocess.run(["openssl", "req", "-utf8", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256",
                            "-nodes", "-days", "1", "-subj", subject, "-keyout", os.devnull, "-out", certificate],
                           capture_output=True, check=True)
            return tool("cert_publisher.py", certificate)

    def test_the_subject_as_windows_writes_it(self):
        for subject, expected in self.SUBJECTS:
            with self.subTest(subject):
                made = self.publisher(subject)
                self.assertEqual(made.stdout.strip(), expected, made.stderr)
                self.assertTrue(PUBLISHER.fullmatch(expected), "the manifest schema must accept it")

    def test_a_part_with_several_values_is_refused(self):
        made = self.publisher("/O=Contoso/CN=Contoso+OU=Tools")
        self.assertNotEqual(made.returncode, 0)
        self.assertIn("several values", made.stderr)


class EntryTimes(unittest.TestCase):
    def test_every_entry_gets_the_time_in_its_local_header_and_the_directory_and_nothing_else_changes(self):
        with tempfile.TemporaryDirectory() as folder:
            package = os.path.join(folder, "p.msix")
            with zipfile.ZipFile(package, "w") as archive:
                for name in ("AppxManifest.xml", "AppxSignature.p7x"):
                    archive.writestr(zipfile.ZipInfo(name, (2026, 12, 10, 22, 44, 42)), name * 10)
            with open(package, "rb") as f:
                before = f.read()
            self.assertEqual(entry_times.main(["entry_times.py", package, "1700000000"]), 0)
            with open(package, "rb") as f:
                after = f.read()
            with zipfile.ZipFile(package) as archive:
                entries = archive.infolist()
                self.assertEqual({e.date_time for e in entries}, {(2023, 11, 14, 22, 13, 20)})  # the directory's
                stamp = struct.pack("<HH", *entry_times.dos_time_and_date(1700000000))
                for entry in entries:
                    self.assertEqual(after[entry.header_offset + 10:entry.header_offset + 14], stamp)
                    self.assertEqual(archive.read(entry.filename), entry.filename.encode() * 10)
            self.assertEqual(len(before), len(after))
            self.assertLessEqual(sum(a != b for a, b in zip(before, after)), 2 * 2 * 4)  # two time fields each
            self.assertEqual(entry_times.main(["entry_times.py", os.path.join(folder, "missing"), "1"]), 1)


if __name__ == "__main__":
    unittest.main()
