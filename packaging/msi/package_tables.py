#!/usr/bin/env python3
"""What wixl cannot write into the installer's tables, written into the built package, and the check
that the package's tables are what Windows Installer needs.

  package_tables.py finish MSI [MACHINE [PACKAGE_CODE]]
      For every file of the package that carries a version record (the DLL, the programs): the File
      table's Version and Language become the record's, and its MsiFileHash row goes (Windows
      Installer keeps hashes for unversioned files only, and compares versions for the others: a
      file without one would lose to the installed copy in an upgrade). INSTALLFOLDER joins
      SecureCustomProperties, so that the folder chosen or remembered reaches the elevated part of
      an install. Every file name gets the short name in front that the FileName column wants
      ("TORVOS~1.DLL|TorvoShellMenu.dll"; wixl writes the long name alone). The values come from
      the files inside the package, never from the command line.
      The major upgrade takes an installed product of the same version too: the x64 and ARM64
      packages of one version are two products of one upgrade code, and either replaces the other.
      MACHINE arm64 (after MSI): the summary's platform becomes Arm64, which wixl cannot write.
      PACKAGE_CODE ({GUID}): the summary's package code, in place of the one wixl drew.
  package_tables.py check MSI [MACHINE]
      Fails naming every rule of RULES that the package (of MACHINE, default x64) breaks.
"""
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile

import pe_version

# The public properties whose value must reach the elevated part of an install: the folder, and the
# switch of Windows 11's first menu (in a package with the sparse package).
SECURE = ["INSTALLFOLDER", "WINDOWS11_MENU"]
# The summary's platform and language of each machine's package, and the component of the 32-bit DLL,
# the one component that is not 64-bit.
TEMPLATES = {"x64": "x64;1033", "arm64": "Arm64;1033"}
COMPONENT32 = "ShellExtension32"
UPGRADE_PROPERTY = "WIX_UPGRADE_DETECTED"
VERSION_MAX_INCLUSIVE = 0x200  # msidbUpgradeAttributesVersionMaxInclusive
COMPONENT_64BIT = 0x100  # msidbComponentAttributes64bit


def table(msi, name):
    """The rows of a table as dictionaries by column name (an absent table has none)."""
    exported = subprocess.run(["msiinfo", "export", msi, name], capture_output=True, text=True)
    if exported.returncode != 0:
        return []
    lines = exported.stdout.replace("\r", "").split("\n")
    columns = lines[0].split("\t")
    return [dict(zip(columns, line.split("\t"))) for line in lines[3:] if line]


def summary(msi):
    """The summary information as msiinfo names it ("Template", "Version" for the page count, ...)."""
    lines = subprocess.run(["msiinfo", "suminfo", msi], check=True, capture_output=True, text=True).stdout
    return dict(line.split(": ", 1) for line in lines.splitlines() if ": " in line)


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

    def __init__(self, msi, folder, machine="x64"):
        self.msi = msi
        self.machine = machine
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


def _secure(package):
    """The properties that must be secure in the package: SECURE's, whether or not a row gives them a
    default (WINDOWS11_MENU has none, so that a value given on the command line is told from none)."""
    return list(SECURE)


def _quoted(text):
    return "'" + text.replace("'", "''") + "'"


def finish(msi, machine="x64", package_code=None):
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
        missing = [name for name in _secure(package) if name not in secure]
        if missing:
            queries.append("UPDATE `Property` SET `Value` = %s WHERE `Property` = 'SecureCustomProperties'" %
                           _quoted(";".join(secure + missing)))
    # Attributes is a key column of the Upgrade table: the row is written anew.
    for row in table(msi, "Upgrade"):
        if row["ActionProperty"] == UPGRADE_PROPERTY and not int(row["Attributes"]) & VERSION_MAX_INCLUSIVE:
            columns = ["UpgradeCode", "VersionMin", "VersionMax", "Language", "Remove", "ActionProperty"]
            queries.append("DELETE FROM `Upgrade` WHERE `ActionProperty` = '%s'" % UPGRADE_PROPERTY)
            queries.append("INSERT INTO `Upgrade` (%s, `Attributes`) VALUES (%s, %d)" % (
                ", ".join("`%s`" % c for c in columns), ", ".join(_quoted(row[c]) for c in columns),
                int(row["Attributes"]) | VERSION_MAX_INCLUSIVE))
    subprocess.run(["msibuild", msi] + [a for q in queries for a in ("-q", q)], check=True)
    # The summary: the machine's platform (wixl knows no ARM64) and the package code given, else the
    # one wixl drew.
    info = summary(msi)
    subprocess.run(["msibuild", msi, "-s", info["Subject"], info["Author"], TEMPLATES[machine],
                    package_code or info["Revision number (UUID)"]], check=True)
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


def short_names_unique_in_a_folder(package):
    folder_of = {row["Component"]: row["Directory_"] for row in table(package.msi, "Component")}
    seen = {}
    for row in package.files:
        key = (folder_of.get(row["Component_"]), row["FileName"].split("|")[0].upper())
        if key in seen:
            yield "%s and %s share the short name %s in one folder" % (seen[key], row["File"], key[1])
        seen[key] = row["File"]


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
    wanted = _secure(package) + [row["ActionProperty"] for row in table(package.msi, "Upgrade")]
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


def platform_of_its_machine(package):
    info = summary(package.msi)
    if info.get("Template") != TEMPLATES[package.machine]:
        yield "the summary's platform is %r, not %s" % (info.get("Template"), TEMPLATES[package.machine])
    if int(info.get("Version", "0").split()[0]) < 500:
        yield "the summary's page count %s is below 500 (Windows Installer 5.0, 64-bit packages)" % info.get("Version")


def components_64bit(package):
    for row in table(package.msi, "Component"):
        is_64bit = int(row["Attributes"]) & COMPONENT_64BIT != 0
        if is_64bit == (row["Component"] == COMPONENT32):
            yield "%s: %s" % (row["Component"], "a 64-bit component" if is_64bit else "not marked 64-bit")


def same_version_replaced(package):
    rows = [r for r in table(package.msi, "Upgrade") if r["ActionProperty"] == UPGRADE_PROPERTY]
    version = package.properties.get("ProductVersion")
    if len(rows) != 1 or rows[0]["VersionMax"] != version or not int(rows[0]["Attributes"]) & VERSION_MAX_INCLUSIVE:
        yield "the major upgrade does not take an installed %s of the same version" % (
            "ARM64 package" if package.machine == "x64" else "x64 package")


# Windows 11's first menu: torvo-package.exe provisions the sparse package after the files are in
# place and removes it before they go, by deferred actions that run as the system, not as the user,
# on Windows 11 alone (its build read from the registry); provisioning unless WINDOWS11_MENU is 0,
# removal whatever it is; neither fails the install. Active Setup runs it at each user's sign-in. The
# package remembers WINDOWS11_MENU and reads it back. No action provisions with DISM's cmdlet, which
# takes no external location, nor passes -ExecutionPolicy Bypass, which security software flags.
EXE_FROM_FILE, IGNORE_RETURN, DEFERRED, NO_IMPERSONATE = 18, 0x40, 0x400, 0x800
PACKAGE_STEP = "torvo_package.exe"
WINDOWS11 = "WINDOWSBUILD>=22000"
SPARSE_ACTIONS = {  # action: (the steps it runs between, what its condition holds, its argument)
    "ProvisionSparsePackage": (("InstallFiles", "InstallFinalize"), ('NOT REMOVE~="ALL"', 'WINDOWS11_MENU<>"0"', WINDOWS11),
                               "/provision"),
    "RemoveSparsePackage": (("InstallInitialize", "RemoveFiles"), ('REMOVE~="ALL"', "NOT UPGRADINGPRODUCTCODE", WINDOWS11),
                            "/remove"),
}
ACTIVE_SETUP = "Software\\Microsoft\\Active Setup\\Installed Components\\"
REFUSED_IN_ACTIONS = ("Add-AppxProvisionedPackage", "-ExecutionPolicy Bypass")


def windows11_menu_actions(package):
    if "TorvoShellMenu.msix" not in {row["File"] for row in package.files}:
        return
    actions = {row["Action"]: row for row in table(package.msi, "CustomAction")}
    sequence = {row["Action"]: row for row in table(package.msi, "InstallExecuteSequence")}
    at = {name: int(row["Sequence"]) for name, row in sequence.items()}
    searches = {(row["Signature_"], row["Key"], row["Name"]) for row in table(package.msi, "RegLocator")}
    if ("WindowsBuild", r"SOFTWARE\Microsoft\Windows NT\CurrentVersion", "CurrentBuildNumber") not in searches:
        yield "WINDOWSBUILD is not read from CurrentBuildNumber"
    for name, ((first, last), terms, argument) in SPARSE_ACTIONS.items():
        action, step = actions.get(name), sequence.get(name)
        kind = int(action["Type"]) if action else 0
        if not action or kind & 0x3F != EXE_FROM_FILE or action["Source"] != PACKAGE_STEP or \
                kind & (IGNORE_RETURN | DEFERRED | NO_IMPERSONATE) != IGNORE_RETURN | DEFERRED | NO_IMPERSONATE:
            yield "%s is no deferred, not impersonated run of %s whose failure fails nothing" % (name, PACKAGE_STEP)
        elif not step or not at[first] < at[name] < at[last] or any(t not in step["Condition"] for t in terms):
            yield "%s does not run between %s and %s on the condition %s" % (name, first, last, " AND ".join(terms))
        elif action["Target"] != argument:
            yield "%s does not run %s %s" % (name, PACKAGE_STEP, argument)
        elif name == "RemoveSparsePackage" and "WINDOWS11_MENU" in step["Condition"]:
            yield "RemoveSparsePackage hangs on WINDOWS11_MENU: a removal given 0 would leave the package behind"
    stub = [row for row in table(package.msi, "Registry")
            if row["Key"].startswith(ACTIVE_SETUP) and row["Name"] == "StubPath"]
    if len(stub) != 1 or stub[0]["Value"] != '"[#%s]" /user' % PACKAGE_STEP:
        yield "no Active Setup component runs %s /user at each user's sign-in" % PACKAGE_STEP
    for fault in remembered_windows11_menu(package, at):
        yield fault


def remembered_windows11_menu(package, at):
    """WINDOWS11_MENU written under the product's key and read back when not given."""
    if "WINDOWS11_MENU" in package.properties:
        yield "WINDOWS11_MENU has a default row: a value given on the command line cannot be told from none"
    rows = {(row["Key"], row["Name"]): row["Value"] for row in table(package.msi, "Registry")}
    if rows.get(("Software\\ZebTorvo\\TorvoShellMenu", "Windows11Menu")) != "[WINDOWS11_MENU]":
        yield "WINDOWS11_MENU is not remembered under Software\\ZebTorvo\\TorvoShellMenu"
    recalls = [row for row in table(package.msi, "CustomAction")
               if row["Source"] == "WINDOWS11_MENU" and row["Target"] == "[REMEMBEREDWINDOWS11MENU]"]
    if len(recalls) != 1 or not at["AppSearch"] < at.get(recalls[0]["Action"], 0) < at["CostInitialize"]:
        yield "WINDOWS11_MENU is not read back from the remembered value after AppSearch"


def actions_run_no_refused_command(package):
    for action in table(package.msi, "CustomAction"):
        for refused in REFUSED_IN_ACTIONS:
            if refused.lower() in action["Target"].lower():
                yield "%s runs %s" % (action["Action"], refused)


def x64_package_refuses_arm64(package):
    conditions = [r for r in table(package.msi, "LaunchCondition") if "Msix64" in r["Condition"]]
    if package.machine != "x64":
        if conditions:
            yield "the ARM64 package asks for an x64 processor"
        return
    if len(conditions) != 1 or conditions[0]["Condition"] != "Installed OR Msix64" or \
            not re.search(r"TorvoShellMenu-[0-9.]+-arm64\.msi", conditions[0]["Description"]):
        yield "the x64 package does not refuse a Windows on ARM PC naming the ARM64 package"


RULES = [files_versioned_as_their_records, short_and_long_file_names, short_names_unique_in_a_folder,
         hashes_only_for_unversioned_files, secure_properties, programs_list_entry, no_restart_by_itself,
         platform_of_its_machine, components_64bit, same_version_replaced, windows11_menu_actions,
         actions_run_no_refused_command, x64_package_refuses_arm64]


def check(msi, machine="x64"):
    with tempfile.TemporaryDirectory() as folder:
        package = Package(msi, folder, machine)
        faults = [fault for rule in RULES for fault in rule(package)]
    for fault in faults:
        print("package_tables: " + fault, file=sys.stderr)
    return 1 if faults else 0


def main(argv):
    if len(argv) in (2, 3) and argv[0] in ("finish", "check") and argv[2:] in ([], ["x64"], ["arm64"]):
        return (finish if argv[0] == "finish" else check)(*argv[1:])
    if len(argv) == 4 and argv[0] == "finish" and argv[2] in ("x64", "arm64"):
        return finish(*argv[1:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
