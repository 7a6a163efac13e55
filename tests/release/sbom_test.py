#!/usr/bin/env python3
"""The bill of materials' parts on their own: what a link map says was linked, the licence a Debian
copyright file gives a part of its source, the check's verdicts on a small release, and the
installer's summary times set in place."""
import copy
import hashlib
import json
import os
import subprocess
import sys
import tempfile
import time
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "packaging", "sbom"))
sys.path.insert(0, os.path.join(ROOT, "packaging", "msi"))
import check_sbom  # noqa: E402
import components  # noqa: E402
import link_maps  # noqa: E402
import summary_times  # noqa: E402
from small_installer import build_installer  # noqa: E402

GNU_MAP = """Archive member included to satisfy reference by file (symbol)

/usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++.a(eh_alloc.o)
                              server/CMakeFiles/x.dir/a.cpp.obj (__cxa_allocate_exception)
platform/win32/libtorvo_win32.a(menu_image.cpp.obj)
                              /usr/x86_64-w64-mingw32/lib/../lib/libmingwex.a(lib64_libmingwex_a-strtod.o) (x)
/build/tree/oleaut32_delayed/liboleaut32_delayed.a(d000001.o)

LOAD /usr/lib/gcc/x86_64-w64-mingw32/12-posix/../../../../x86_64-w64-mingw32/lib/dllcrt2.o
LOAD /usr/lib/gcc/x86_64-w64-mingw32/12-posix/libgcc.a
LOAD server/CMakeFiles/x.dir/a.cpp.obj
"""
LLD_MAP = """             VMA              LMA     Size Align Out     In      Symbol
00001000 000004a8     4         /sysroot/lib/dllcrt2.o:(.text)
00013760 0000010c     4         Unwind-seh.cpp.obj:(.text$x)
00013800 0000010c     4         cxa_exception.cpp.obj:(.text$y)
00013900 0000010c     4         selection.cpp.obj:(.text$z)
"""
DEP5 = """Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: mingw-w64

Files: *
Copyright: the project
License: ZPL-2.1

Files: mingw-w64-crt/gdtoa/*
  mingw-w64-crt/stdio/mingw_pformat.c
Copyright: Lucent
License: Lucent

Files: mingw-w64-libraries/winpthreads/*
Copyright: someone
License: MIT and BSD-3-clause

License: ZPL-2.1
 the text
"""


class LinkMaps(unittest.TestCase):
    def test_gnu_ld_names_archives_and_loaded_objects_but_not_the_projects_own(self):
        self.assertEqual(link_maps.linked_inputs(GNU_MAP, ["/build/tree"]), [
            "/usr/lib/gcc/x86_64-w64-mingw32/12-posix/libstdc++.a",
            "/usr/x86_64-w64-mingw32/lib/dllcrt2.o",
            "/usr/x86_64-w64-mingw32/lib/libmingwex.a",
        ])

    def test_lld_names_members_alone_and_they_are_found_in_the_index(self):
        members = {"Unwind-seh.cpp.obj": "/sysroot/lib/libunwind.a", "cxa_exception.cpp.obj": "/sysroot/lib/libc++abi.a"}
        self.assertEqual(link_maps.linked_inputs(LLD_MAP, ["/build/tree"], members), [
            "/sysroot/lib/dllcrt2.o", "/sysroot/lib/libc++abi.a", "/sysroot/lib/libunwind.a"])
        self.assertEqual(link_maps.linked_inputs(LLD_MAP, ["/build/tree"]), ["/sysroot/lib/dllcrt2.o"])


class Licences(unittest.TestCase):
    def test_a_part_of_the_source_takes_the_licences_of_its_stanzas_else_those_of_every_file(self):
        self.assertEqual(components.copyright_licence(DEP5, "mingw-w64-crt/"), "LicenseRef-Lucent")
        self.assertEqual(components.copyright_licence(DEP5, "mingw-w64-libraries/winpthreads/"), "MIT AND BSD-3-Clause")
        self.assertEqual(components.copyright_licence(DEP5, "libcxx/"), "ZPL-2.1")
        self.assertEqual(components.copyright_licence(DEP5, None), "ZPL-2.1")

    def test_a_free_form_file_gives_gccs_exception_or_nothing(self):
        self.assertEqual(components.copyright_licence("GPL ... GCC RUNTIME LIBRARY EXCEPTION ...", None),
                         components.GCC_RUNTIME)
        self.assertIsNone(components.copyright_licence("This package was debianized by someone.", None))

    def test_debian_names_become_spdx_expressions(self):
        self.assertEqual(components.licence_name("LGPL-2.1+"), "LGPL-2.1-or-later")
        self.assertEqual(components.licence_name("Expat or GPL-2+"), "MIT OR GPL-2.0-or-later")
        self.assertEqual(components.licence_name("BSD-2-clause-NetBSD"), "LicenseRef-BSD-2-clause-NetBSD")

    def test_each_input_is_the_part_of_its_source_its_name_says(self):
        self.assertEqual(components._part("/usr/lib/libpthread.a", components.PARTS)[0], "winpthreads")
        self.assertEqual(components._part("/x/crtbegin.o", components.PARTS)[0], "libgcc")
        self.assertEqual(components._part("/x/crtbegin.o", components.SYSROOT_PARTS)[0], "mingw-w64 runtime")
        self.assertEqual(components._part("/x/libc++abi.a", components.SYSROOT_PARTS)[0], "libc++abi")
        self.assertEqual(components._part("/x/libc++.a", components.SYSROOT_PARTS)[0], "libc++")


def package(name, version="1.0", licence="MIT"):
    return {"SPDXID": "SPDXRef-Package-" + name.replace(" ", "-").replace("+", ""), "name": name,
            "versionInfo": version, "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
            "licenseConcluded": licence, "licenseDeclared": licence, "copyrightText": "NOASSERTION"}


class Check(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.release = self.folder.name
        os.makedirs(os.path.join(self.release, "arm64"))
        for name in ("a.dll", "a.dll.debug", "SHA256SUMS"):
            with open(os.path.join(self.release, name), "wb") as f:
                f.write(name.encode())
        files = [{"SPDXID": "SPDXRef-File-" + n.replace(".", "-"), "fileName": "./" + n,
                  "checksums": [{"algorithm": "SHA1", "checksumValue": hashlib.sha1(n.encode()).hexdigest()},
                                {"algorithm": "SHA256", "checksumValue": hashlib.sha256(n.encode()).hexdigest()}],
                  "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"} for n in ("a.dll", "a.dll.debug")]
        runtimes = [package(n) for n in sorted(check_sbom.RUNTIMES["x86"])]
        tools = [package(n, licence="LicenseRef-x") for n in sorted(check_sbom.TOOLS)]
        self.document = {
            "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT", "name": "t",
            "documentNamespace": "https://example.org/t",
            "creationInfo": {"created": "2026-12-10T22:11:21Z", "creators": ["Tool: t"]},
            "packages": runtimes + tools, "files": files,
            "relationships": [{"spdxElementId": "SPDXRef-File-a-dll", "relationshipType": "STATIC_LINK",
                               "relatedSpdxElement": p["SPDXID"]} for p in runtimes] +
                             [{"spdxElementId": p["SPDXID"], "relationshipType": "BUILD_TOOL_OF",
                               "relatedSpdxElement": "SPDXRef-DOCUMENT"} for p in tools],
            "hasExtractedLicensingInfos": [{"licenseId": "LicenseRef-x", "extractedText": "x"}],
        }

    def tearDown(self):
        self.folder.cleanup()

    def faults(self, document):
        path = os.path.join(self.folder.name, "..", os.path.basename(self.folder.name) + ".spdx.json")
        with open(path, "w") as f:
            json.dump(document, f)
        try:
            return check_sbom.check(self.release, path)
        finally:
            os.remove(path)

    def test_a_sound_bill_passes_and_each_fault_is_named(self):
        self.assertEqual(self.faults(self.document), [])
        cases = [
            (lambda d: d.update(spdxVersion="SPDX-2.2"), "schema: 'SPDX-2.3' was expected"),
            (lambda d: d["files"][0]["checksums"][1].update(checksumValue="00"), "a.dll is listed with SHA-256 00"),
            (lambda d: d["files"].pop(1), "a.dll.debug is not listed"),
            (lambda d: d["files"].append(dict(d["files"][0], SPDXID="SPDXRef-File-b", fileName="./b.dll")),
             "b.dll is listed but not in the release"),
            (lambda d: d["relationships"].pop(0), "a.dll does not name its runtime libgcc"),
            (lambda d: d["packages"][0].update(versionInfo="NOASSERTION"), "a.dll links libgcc without its versionInfo"),
            (lambda d: d["hasExtractedLicensingInfos"].clear(), "LicenseRef-x is not defined"),
            (lambda d: d["relationships"].pop(), "the tool wixl is not named"),
            (lambda d: d["relationships"].append({"spdxElementId": "SPDXRef-nothing", "relationshipType": "CONTAINS",
                                                  "relatedSpdxElement": "SPDXRef-DOCUMENT"}),
             "a CONTAINS relationship names no element SPDXRef-nothing"),
        ]
        for change, fault in cases:
            with self.subTest(fault=fault):
                document = copy.deepcopy(self.document)
                change(document)
                found = self.faults(document)
                self.assertTrue(any(fault in f for f in found), found)


def contents(path):
    with open(path, "rb") as f:
        return f.read()


class SummaryTimes(unittest.TestCase):
    def test_two_packages_of_the_same_files_differ_in_their_times_alone_and_then_not_at_all(self):
        with tempfile.TemporaryDirectory() as folder:
            with open(os.path.join(folder, "a.txt"), "w") as f:
                f.write("hi")
            os.utime(os.path.join(folder, "a.txt"), (1700000000, 1700000000))
            packages = []
            for index in range(2):
                if index:
                    time.sleep(1.1)  # wixl and msibuild record another second
                msi = os.path.join(folder, "t%d.msi" % index)
                build_installer(folder, "a.txt", msi)
                subprocess.run(["msibuild", msi, "-s", "T", "Z", "x64;1033", "{AAAAAAAA-2222-3333-4444-555555555555}"],
                               check=True)
                packages.append(msi)
            read = [contents(p) for p in packages]
            self.assertNotEqual(read[0], read[1])
            for msi in packages:
                self.assertEqual(summary_times.main(["summary_times.py", msi, "1700000000"]), 0)
            read = [contents(p) for p in packages]
            self.assertEqual(read[0], read[1])
            info = subprocess.run(["msiinfo", "suminfo", packages[0]], capture_output=True, text=True, check=True,
                                  env=dict(os.environ, TZ="UTC")).stdout
            self.assertIn("Created: Tue Nov 14 22:13:20 2023", info)
            self.assertIn("Last saved: Tue Nov 14 22:13:20 2023", info)
            self.assertEqual(summary_times.main(["summary_times.py", os.path.join(folder, "a.txt"), "1"]), 1)


if __name__ == "__main__":
    unittest.main()
