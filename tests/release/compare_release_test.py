#!/usr/bin/env python3
"""The release comparison names the first difference of each file and what lies there: in a PE image
built here (its header's time, a section), an installer built here (its summary stream, its cabinet
stream by its decoded name), a package (an entry's data, the central directory); a file on one side,
a longer copy; and, with --unsigned, a signed file against its unsigned self."""
import io
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "packaging", "release"))
import compare_release  # noqa: E402
import file_regions  # noqa: E402
from small_installer import build_installer  # noqa: E402

def flipped(path, offset):
    with open(path, "r+b") as f:
        f.seek(offset)
        byte = f.read(1)[0]
        f.seek(offset)
        f.write(bytes([byte ^ 0xFF]))


class CompareRelease(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp()
        cls.expected = os.path.join(cls.folder, "expected")
        os.makedirs(os.path.join(cls.expected, "arm64"))
        source = os.path.join(cls.folder, "a.c")
        with open(source, "w") as f:
            f.write("__declspec(dllexport) int f(int x) { return x * 3 + 1; }\n")
        subprocess.run(["x86_64-w64-mingw32-gcc", "-shared", "-O2", source, "-o", os.path.join(cls.expected, "a.dll")],
                       check=True)
        with open(os.path.join(cls.folder, "big.bin"), "wb") as f:
            f.write(os.urandom(20000))
        build_installer(cls.folder, "big.bin", os.path.join(cls.expected, "t.msi"))
        package = io.BytesIO()
        with zipfile.ZipFile(package, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("AppxManifest.xml", "<Package/>" * 50)
            z.writestr("images/logo.png", b"\x89PNG" + bytes(range(256)) * 4)
        with open(os.path.join(cls.expected, "arm64", "p.msix"), "wb") as f:
            f.write(package.getvalue())
        with open(os.path.join(cls.expected, "SHA256SUMS"), "w") as f:
            f.write("sums\n")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder)

    def setUp(self):
        self.rebuilt = os.path.join(self.folder, "rebuilt")
        shutil.rmtree(self.rebuilt, ignore_errors=True)
        shutil.copytree(self.expected, self.rebuilt)

    def verdict(self, *options):
        out = io.StringIO()
        status = compare_release.compare(self.expected, self.rebuilt, "--unsigned" in options, out)
        return status, out.getvalue()

    def at(self, name):
        return os.path.join(self.rebuilt, name)

    def test_the_same_folders_are_the_same(self):
        self.assertEqual(self.verdict(), (0, "4 files compared, 0 differ\n"))

    def test_a_pe_image_names_the_header_field_and_the_section(self):
        with open(self.at("a.dll"), "rb") as f:
            data = f.read()
        pe = struct.unpack_from("<I", data, 60)[0]
        text = data.index(b".text\0\0\0")
        raw_at = struct.unpack_from("<I", data, text + 20)[0]
        for offset, where in ((pe + 8, "PE header: TimeDateStamp"), (pe + 24 + 64, "PE header: CheckSum"),
                              (raw_at + 16, "section .text"), (text, "section table"), (10, "DOS header and stub")):
            with self.subTest(where=where):
                self.setUp()
                flipped(self.at("a.dll"), offset)
                self.assertEqual(self.verdict(), (1, "a.dll: differs at offset 0x%x (%s)\n4 files compared, 1 differ\n"
                                                  % (offset, where)))

    def test_an_installer_names_its_streams_as_windows_installer_names_them(self):
        with open(self.at("t.msi"), "rb") as f:
            data = f.read()
        # Found by their own marks: the summary's property set identifier and the cabinet's signature.
        summary = data.index(bytes.fromhex("E0859FF2F94F6810AB9108002B27B3D9")) + 2
        cabinet = data.index(b"MSCF") + 40
        for offset, where in ((summary, "summary information stream"), (cabinet, 'stream "a.cab"'), (3, "CFB header")):
            with self.subTest(where=where):
                self.setUp()
                flipped(self.at("t.msi"), offset)
                status, text = self.verdict()
                self.assertEqual(status, 1)
                self.assertIn("t.msi: differs at offset 0x%x (%s" % (offset, where), text)

    def test_a_package_names_the_entry_and_the_directory(self):
        with open(self.at("arm64/p.msix"), "rb") as f:
            data = f.read()
        directory = data.index(b"PK\x01\x02")
        logo = data.index(b"images/logo.png") + len("images/logo.png") + 5
        for offset, where in ((logo, "entry images/logo.png (data)"), (directory + 2, "central directory"),
                              (2, "entry AppxManifest.xml (local header)")):
            with self.subTest(where=where):
                self.setUp()
                flipped(self.at("arm64/p.msix"), offset)
                self.assertIn("arm64/p.msix: differs at offset 0x%x (%s)" % (offset, where), self.verdict()[1])

    def test_files_on_one_side_and_longer_copies(self):
        os.remove(self.at("SHA256SUMS"))
        with open(self.at("extra.txt"), "w") as f:
            f.write("x")
        with open(self.at("a.dll"), "ab") as f:
            f.write(b"tail")
        status, text = self.verdict()
        self.assertEqual(status, 1)
        self.assertIn("SHA256SUMS: only in %s\n" % self.expected, text)
        self.assertIn("extra.txt: only in %s\n" % self.rebuilt, text)
        self.assertIn("a.dll: differs at offset 0x%x (the rebuilt copy is longer)" % os.path.getsize(
            os.path.join(self.expected, "a.dll")), text)
        self.assertTrue(text.endswith("5 files compared, 3 differ\n"))

    def test_signatures_are_set_aside_only_when_asked(self):
        key, cert = os.path.join(self.folder, "k.pem"), os.path.join(self.folder, "c.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj", "/CN=t",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        # Both signed, at two signing times (as two countersignatures would carry).
        for folder, moment in ((self.expected, "1700000000"), (self.rebuilt, "1700000099")):
            os.replace(os.path.join(folder, "a.dll"), os.path.join(self.folder, "unsigned.dll"))
            subprocess.run(["osslsigncode", "sign", "-certs", cert, "-key", key, "-time", moment, "-in",
                            os.path.join(self.folder, "unsigned.dll"), "-out", os.path.join(folder, "a.dll")],
                           check=True, capture_output=True)
        status, text = self.verdict()
        self.assertEqual(status, 1)
        self.assertIn("(PE header: CheckSum)", text)  # the checksum covers the signature too
        self.assertEqual(self.verdict("--unsigned"),
                         (0, "a.dll: same once their signatures are removed\n4 files compared, 0 differ\n"))
        path = os.environ["PATH"]
        os.environ["PATH"] = self.folder  # no osslsigncode there: the signed files are said to differ
        try:
            self.assertEqual(self.verdict("--unsigned")[0], 1)
        finally:
            os.environ["PATH"] = path
        flipped(self.at("a.dll"), 0x400 + 8)
        self.assertIn(", signatures removed", self.verdict("--unsigned")[1])
        with open(self.at("a.dll"), "rb") as f:
            data = f.read()
        pe = struct.unpack_from("<I", data, 60)[0]
        security = struct.unpack_from("<I", data, pe + 24 + 112 + 32)[0]  # PE32+: the fifth directory
        self.assertEqual(file_regions.region(data, security + 20), "certificate table (Authenticode signature)")


if __name__ == "__main__":
    unittest.main()
