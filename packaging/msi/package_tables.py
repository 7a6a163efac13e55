#!/usr/bin/env python3
"""What wixl cannot write into the installer's tables, written into the built package, and the check
that the package's tables are what Windows Installer needs.

  package_tables.py finish MSI
      For every file of the package that carries a version record (the DLL, the programs): the File
      table's Version and Language become the record's, and its MsiFileHash row goes (Windows
      Installer keeps hashes for unversioned files only, and compares versions for the others: a
      file without one would lose to the installed copy in an upgrade). INSTALLFOLDER joins
      SecureCustomProperties, so that the folder chosen or remembered reaches the elevated part of
      an install. Every file name gets the short name in front that the FileName column wants
      ("TORVOS~1.DLL|TorvoShellMenu.dll"; wixl writes the long name alone). The values come from
      the files inside the package, never from the command line.
  package_tables.py check MSI
      Fails naming every rule of RULES that the package breaks.
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile

import pe_version

SECURE = "INSTALLFOLDER"


def table(msi, name):
    """The rows of a table as dictionaries by column name (an absent table has none)."""
    exported = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True)
    if exported.returncode != 0:
        return []
    lines = exported.stdout.replace("\r", "").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def properties(msi):
    return {row["Property"]: row["Value"] for row in table(msi, "Property")}


def _long_name(file_name):
    return file_name.split("|")[-1]


SHORT_PART = r"[A-Za-z0-9_\-~!#$%&'()@^`{}]"
SHORT_NAME = re.compile(r"%s{1,8}(\.%s{1,3})?" % (SHORT_PART, SHORT_PART))


def _short_names(files, components):
    """{file key: "SHORT~N.EXT|long"} for the files whose FileName is not a short name, unique in
    each folder."""
    folder_of = {row["Component"]: row["Directory_"] for row in components}
    used = {}
    for row in files:
        used.setdefault(folder_of[row["Component_"]], set()).add(row["FileName"].split("|")[0].upper())
    names = {}
    for row in files:
        name = row["FileName"]
        if "|" in name or SHORT_NAME.fullmatch(name):
            continue
        stem, _, extension = name.rpartition(".") if "." in name else (name, "", "")
        base = re.sub(r"[^A-Za-z0-9]", "", stem).upper()[:6] or "FILE"
        suffix = "." + re.sub(r"[^A-Za-z0-9]", "", extension).upper()[:3] if extension else ""
        taken = used[folder_of[row["Component_"]]]
        short = next(c for c in ("%s~%d%s" % (base, n, suffix) for n in range(1, 10)) if c not in taken)
        taken.add(short)
        names[row["File"]] = short + "|" + name
    return names


class Package:
    """The package's File, MsiFileHash and Property rows and its files, extracted."""

    def __init__(self, msi, folder):
        self.msi = msi
        subprocess.run(["msiextract", "-C", folder, msi], check=True, capture_output=True)
        extracted = {}
        for parent, _, names in os.walk(folder):
            for name in names:
                extracted[name.lower()] = os.path.join(parent, name)
        self.files = table(msi, "File")
        self.paths = {row["File"]: extracted.get(_long_name(row["FileName"]).lower()) for row in self.files}
        self.hashes = {row["File_"]: row for row in table(msi, "MsiFileHash")}
        self.properties = properties(msi)

    def record(self, row):
        path = self.paths[row["File"]]
        return pe_version.version_record(path) if path else None


def _file_hash(path):
    """The four parts of the MD5 hash as MsiGetFileHash gives them (signed 32-bit numbers)."""
    with open(path, "rb") as f:
        digest = hashlib.md5(f.read()).digest()
    return [str(part) for part in struct.unpack("<4i", digest)]


def _quoted(text):
    return "'" + text.replace("'", "''") + "'"


def finish(msi):
    with tempfile.TemporaryDirectory() as folder:
        package = Package(msi, folder)
        queries = []
        for row in package.files:
            record = package.record(row)
            if record is None:
                continue
            version, language = record
            key = _quoted(row["File"])
            queries.append("UPDATE `File` SET `Version` = %s, `Language` = %s WHERE `File` = %s" %
                           (_quoted(version), _quoted(language), key))
            if row["File"] in package.hashes:
                queries.append("DELETE FROM `MsiFileHash` WHERE `File_` = %s" % key)
        for key, name in _short_names(package.files, table(msi, "Component")).items():
            queries.append("UPDATE `File` SET `FileName` = %s WHERE `File` = %s" % (_quoted(name), _quoted(key)))
        secure = [p for p in package.properties.get("SecureCustomProperties", "").split(";") if p]
        if SECURE not in secure:
            queries.append("UPDATE `Property` SET `Value` = %s WHERE `Property` = 'SecureCustomProperties'" %
                           _quoted(";".join(secure + [SECURE])))
    if queries:
        subprocess.run(["msibuild", msi] + [a for q in queries for a in ("-q", q)], check=True)
    return 0


# The rules of the check. Each takes the package and yields what breaks it.
def files_versioned_as_their_records(package):
    for row in package.files:
        name, record = row["File"], package.record(row)
        if package.paths[name] is None:
            yield "%s: not in the package's cabinet" % name
        elif record is None and row["Version"]:
            yield "%s: the row gives version %s, the file has no version record" % (name, row["Version"])
        elif record is not None and (row["Version"], row["Language"]) != record:
            yield "%s: the row gives version '%s' language '%s', the file's record %s language %s" % (
                name, row["Version"], row["Language"], record[0], record[1])


def short_and_long_file_names(package):
    for row in package.files:
        short = row["FileName"].split("|")[0]
        if not SHORT_NAME.fullmatch(short):
            yield "%s: the FileName %s does not begin with a short name" % (row["File"], row["FileName"])


def hashes_only_for_unversioned_files(package):
    for row in package.files:
        name, record = row["File"], package.record(row)
        hashed = package.hashes.get(name)
        if record is not None and hashed:
            yield "%s: a versioned file with a MsiFileHash row" % name
        elif record is None and package.paths[name] and not hashed:
            yield "%s: an unversioned file without a MsiFileHash row" % name
        elif record is None and hashed and package.paths[name]:
            parts = [hashed["HashPart%d" % i] for i in range(1, 5)]
            if parts != _file_hash(package.paths[name]):
                yield "%s: its MsiFileHash row is not the file's hash" % name


def secure_properties(package):
    secure = package.properties.get("SecureCustomProperties", "").split(";")
    wanted = [SECURE] + [row["ActionProperty"] for row in table(package.msi, "Upgrade")]
    for name in wanted:
        if name not in secure:
            yield "%s is not in SecureCustomProperties" % name


def programs_list_entry(package):
    icon = package.properties.get("ARPPRODUCTICON")
    if not icon or icon not in {row["Name"] for row in table(package.msi, "Icon")}:
        yield "ARPPRODUCTICON names no icon of the Icon table: %r" % icon
    if package.properties.get("ARPNOMODIFY") != "1":
        yield "ARPNOMODIFY is not 1"
    actions = [a for a in table(package.msi, "CustomAction")
               if a["Source"] == "ARPINSTALLLOCATION" and a["Target"] == "[INSTALLFOLDER]"]
    if len(actions) != 1 or actions[0]["Type"] != "51":
        yield "no one type-51 action sets ARPINSTALLLOCATION to [INSTALLFOLDER]"
        return
    sequence = {row["Action"]: int(row["Sequence"]) for row in table(package.msi, "InstallExecuteSequence")}
    at = sequence.get(actions[0]["Action"])
    if at is None or not sequence["CostFinalize"] < at < sequence["RegisterProduct"]:
        yield "ARPINSTALLLOCATION is not set between CostFinalize and RegisterProduct"


def no_restart_by_itself(package):
    if package.properties.get("REBOOT") != "ReallySuppress":
        yield "REBOOT is not ReallySuppress: a silent install could restart the machine"


RULES = [files_versioned_as_their_records, short_and_long_file_names, hashes_only_for_unversioned_files, secure_properties,
         programs_list_entry, no_restart_by_itself]


def check(msi):
    with tempfile.TemporaryDirectory() as folder:
        package = Package(msi, folder)
        faults = [fault for rule in RULES for fault in rule(package)]
    for fault in faults:
        print("package_tables: " + fault, file=sys.stderr)
    return 1 if faults else 0


def main(argv):
    if len(argv) == 2 and argv[0] == "finish":
        return finish(argv[1])
    if len(argv) == 2 and argv[0] == "check":
        return check(argv[1])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
