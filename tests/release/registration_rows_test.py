#!/usr/bin/env python3
"""The harvest of a registration into rows (packaging/msi/registration_rows.py) on exports made up
for each case: what a package's rows cannot write exactly is refused, with why."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "msi"))
import registration_rows  # noqa: E402

CLASS = "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{5B0D2E71-9C34-4A8F-B1E6-7F20C3D94A15}"
FOLDER = "C:\\Program Files\\ZebTorvo"
SERVER = '[%s\\InprocServer32]\n@="%s\\\\TorvoShellMenu.dll"\n' % (CLASS, FOLDER.replace("\\", "\\\\"))
APPROVED = "[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved]\n"

# (case, before, after, after a restart of the registry, what the refusal says; None: rows made)
CASES = [
    ("only added", APPROVED, APPROVED + SERVER, APPROVED + SERVER, None),
    ("a value changed", APPROVED + '"{Other}"="Other"\n', APPROVED + '"{Other}"="Changed"\n' + SERVER,
     APPROVED + '"{Other}"="Changed"\n' + SERVER, "removed or changed what was there"),
    ("a value removed", APPROVED + '"{Other}"="Other"\n', APPROVED + SERVER, APPROVED + SERVER,
     "removed or changed what was there"),
    ("a volatile key", APPROVED, APPROVED + SERVER, APPROVED, "what a restart of the registry loses"),
]


def export_folder(root, name, body):
    folder = os.path.join(root, name)
    os.mkdir(folder)
    with open(os.path.join(folder, "hklm.reg"), "w", encoding="utf-16") as f:
        f.write("Windows Registry Editor Version 5.00\n\n" + body + "\n")
    return folder


class Harvest(unittest.TestCase):
    def test_cases(self):
        for case, before, after, restarted, refusal in CASES:
            with self.subTest(case), tempfile.TemporaryDirectory() as root:
                folders = [export_folder(root, n, b) for n, b in
                           (("before", before), ("after", after), ("restarted", restarted))]
                if refusal is None:
                    entries = registration_rows.harvest(*folders, FOLDER)
                    self.assertTrue(any("InprocServer32" in e[0] for e in entries.values()), entries)
                    continue
                with self.assertRaises(registration_rows.Inexpressible) as raised:
                    registration_rows.harvest(*folders, FOLDER)
                self.assertIn(refusal, str(raised.exception))


if __name__ == "__main__":
    unittest.main()
