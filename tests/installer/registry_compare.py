#!/usr/bin/env python3
"""Compares two exports of HKLM\\Software taken around one step of the installer; prints each entry
that is wrong and exits 1 if there is one.

  registry_compare.py installed BEFORE AFTER SET FOLDER   what appeared is exactly SET (the harvest
      of both DLLs' regsvr32 in a clean prefix), the paths of the installed DLLs in FOLDER folded,
      the installer's records aside
  registry_compare.py removed BEFORE AFTER             nothing appeared and nothing of value went
  registry_compare.py unchanged BEFORE AFTER           nothing differs
"""
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "..", "packaging", "msi"))
import reg_export  # noqa: E402
from registration_rows import fold_installed  # noqa: E402

# Windows Installer's own trees, which hold its records of the product, and its entry in the list
# of programs; what the package remembers (the folder, WINDOWS11_MENU); the sign-in step's Active
# Setup component (installer_test.sh checks its values).
INSTALLER_TREES = ("HKLM\\Software\\Classes\\Installer", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Installer")
ACTIVE_SETUP = "HKLM\\Software\\Microsoft\\Active Setup\\Installed Components\\{D51C6E2A-8F47-4B93-A0E5-3C7B19F4D8A2}"
RECORDS = INSTALLER_TREES + ("HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\", "HKLM\\Software\\ZebTorvo",
                             ACTIVE_SETUP)


# The values the test itself sets between steps: the Windows build the installer reads.
TEST_SETTINGS = {("hklm\\software\\microsoft\\windows nt\\currentversion", "currentbuildnumber")}


def _without_test_settings(entries):
    return {i: e for i, e in entries.items() if (e[0].lower(), (e[1] or "").lower()) not in TEST_SETTINGS}


def _under(key, prefix):
    key, prefix = key.lower(), prefix.lower()
    return key.startswith(prefix) if prefix.endswith("\\") else key == prefix or key.startswith(prefix + "\\")


def _empty_before(entry, before):
    """Wine's msiexec deletes each key it leaves empty, even one that was there, empty, before the
    install (HKLM\\Software\\Classes\\Wow6432Node\\Interface of a fresh prefix); on Windows these keys
    are never empty. Such a key, with nothing of value below it, is the one loss allowed."""
    key, name = entry[0], entry[1]
    return name is None and not any(e[1] is not None and _under(e[0], key) for e in before.values())


def problems(mode, before, after, argv):
    added, removed = reg_export.difference(before, after)
    if mode == "installed":
        wanted = reg_export.load(argv[0])
        added = {i: e for i, e in added.items() if not any(_under(e[0], r) for r in RECORDS)}
        got = fold_installed(added, argv[1])
        missing, extra = reg_export.difference(got, wanted)
        return ([("registration writes, the installer did not", e) for e in missing.values()] +
                [("the installer wrote, registration does not", e) for e in extra.values()] +
                [("the install removed or changed", e) for e in removed.values()])
    if mode == "removed":
        # Windows Installer keeps the empty keys of its own trees once it has made them.
        added = {i: e for i, e in added.items() if e[1] is not None or not any(_under(e[0], t) for t in INSTALLER_TREES)}
        removed = {i: e for i, e in removed.items() if not _empty_before(e, before)}
    return [("left behind", e) for e in added.values()] + [("lost", e) for e in removed.values()]


def main(argv):
    if len(argv) < 3 or argv[0] not in ("installed", "removed", "unchanged"):
        print(__doc__, file=sys.stderr)
        return 2
    before, after = (_without_test_settings(reg_export.read(path)) for path in argv[1:3])
    found = problems(argv[0], before, after, argv[3:])
    for what, entry in found:
        print("%s: %s" % (what, reg_export.describe(entry)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
