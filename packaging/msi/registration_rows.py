#!/usr/bin/env python3
"""The installer's registry rows, derived from what the DLLs' registrations write.

  registration_rows.py rows BEFORE AFTER RESTARTED FOLDER STAGE
      BEFORE and AFTER are folders of exports (*.reg) of a clean prefix around the registration
      of both DLLs of FOLDER (a Windows path), each with its own regsvr32, RESTARTED the same
      after a restart of the registry, which must still hold all that registration wrote.
      Writes STAGE/registration.json, what registration wrote with each DLL's path folded into
      its installed file ([#TorvoShellMenu.dll], [#TorvoShellMenu32.dll]) and the folder into
      [INSTALLFOLDER], and one RegistryValue row per value of it: STAGE/registration.wxi for the
      64-bit DLL's component (the 64-bit registry view and the keys both views share) and
      STAGE/registration32.wxi for the 32-bit one's (the 32-bit view, written under the names a
      32-bit program uses, and the 32-bit entry of the type library). Anything that rows cannot
      write exactly fails the run.
  registration_rows.py check MSI STAGE/registration.json
      The package's rows are exactly the values of the set, each in its DLL's component, and its
      own record of the install folder; fails naming every row that is missing, extra,
      different, written twice or in another component.
"""
import os
import re
import subprocess
import sys
from xml.sax.saxutils import quoteattr

import reg_export

FOLDER_TOKEN = "[INSTALLFOLDER]"
# The DLLs and their components: the 64-bit one's (Win64) writes the 64-bit registry view and the
# keys both views share, the 32-bit one's the 32-bit view.
DLLS = (("TorvoShellMenu.dll", "ShellExtension"), ("TorvoShellMenu32.dll", "ShellExtension32"))
COMPONENT, COMPONENT32 = (component for _, component in DLLS)
# The package's rows of its own, each in its component: what it remembers (the install folder, the
# administrator's WINDOWS11_MENU) and the sign-in step's Active Setup component.
OWN_KEY = "hklm\\software\\zebtorvo\\torvoshellmenu"
ACTIVE_SETUP_KEY = "hklm\\software\\microsoft\\active setup\\installed components\\"


def own_component(ident):
    """The component of one of the package's own rows; None for a row of the registration."""
    key, name = ident
    if key == OWN_KEY and name in ("installfolder", "windows11menu"):
        return "InstalledFolderRecord"
    if key.startswith(ACTIVE_SETUP_KEY) and name in ("", "version", "stubpath", "isinstalled"):
        return "SignInStep"
    return None
ROW_TYPES = {"sz": "string", "dword": "integer"}
# The Registry table's Root column.
ROOTS = {"0": "HKCR", "1": "HKCU", "2": "HKLM", "3": "HKU"}
# The 32-bit view's keys as a 64-bit export names them (reg_export folds the other names into
# these), and the keys below the classes that each view keeps apart on 64-bit Windows 7 and later;
# the other keys below the classes both views share.
VIEW_32 = ("HKLM\\Software\\Classes\\Wow6432Node\\", "HKLM\\Software\\Wow6432Node\\")
CLASSES = "HKLM\\Software\\Classes\\"
KEPT_APART = {"clsid", "interface", "directshow", "media type", "mediafoundation", "wow6432node"}


def token(dll):
    return "[#%s]" % dll


TOKENS = re.compile("|".join(re.escape(t) for t in [token(dll) for dll, _ in DLLS] + [FOLDER_TOKEN]))


def fold_installed(entries, folder):
    """The entries with the installed DLLs' paths and the folder's folded into their tokens."""
    return reg_export.fold(entries, [(folder + "\\" + dll, token(dll)) for dll, _ in DLLS], folder, FOLDER_TOKEN)


def _in_32bit_view(key):
    return any(key.lower().startswith(p.lower()) for p in VIEW_32)


def _shared(key):
    if not key.lower().startswith(CLASSES.lower()):
        return False
    return key[len(CLASSES):].split("\\")[0].lower() not in KEPT_APART


def component_of(entry):
    """The component whose rows write the entry: the 32-bit DLL's for the 32-bit view and for a
    shared key that names the 32-bit DLL, else the 64-bit DLL's."""
    key, _, kind, data = entry
    names_32 = kind == "sz" and token(DLLS[1][0]).lower() in data.lower()
    return COMPONENT32 if _in_32bit_view(key) or (names_32 and _shared(key)) else COMPONENT


def program_key(key):
    """The name a 32-bit program (and a 32-bit component's row) uses for a key of the 32-bit view."""
    for prefix in VIEW_32:
        if key.lower().startswith(prefix.lower()):
            return prefix[:-len("Wow6432Node\\")] + key[len(prefix):]
    return key


def view_key(key, component):
    """The key a row of the component writes, as a 64-bit export names it."""
    if component != COMPONENT32 or _shared(key):
        return key
    if key.lower().startswith(CLASSES.lower()):
        return VIEW_32[0] + key[len(CLASSES):]
    return VIEW_32[1] + key[len("HKLM\\Software\\"):]


# Wine's desktop process writes volatile keys of its display here each time it starts, which it does
# again when it ended, idle, between two programs of a slow registration (the emulated ARM64 one);
# no registration writes here.
DESKTOP_KEYS = "HKLM\\System\\CurrentControlSet\\Control\\Video\\"


class Inexpressible(Exception):
    """What registration wrote that a row of the package cannot write exactly."""


def _read_folder(folder):
    entries = {}
    for name in sorted(os.listdir(folder)):
        entries.update(reg_export.read(os.path.join(folder, name)))
    return entries


def harvest(before_folder, after_folder, restarted_folder, folder):
    after = _read_folder(after_folder)
    added, removed = reg_export.difference(_read_folder(before_folder), after)
    added = {k: e for k, e in added.items() if not e[0].lower().startswith(DESKTOP_KEYS.lower())}
    if removed:
        raise Inexpressible("registration removed or changed what was there: " +
                            "; ".join(reg_export.describe(e) for e in removed.values()))
    _, lost = reg_export.difference(added, _read_folder(restarted_folder))
    if lost:
        raise Inexpressible("registration wrote what a restart of the registry loses (volatile keys?): " +
                            "; ".join(reg_export.describe(e) for e in lost.values()))
    entries = fold_installed(added, folder)
    for entry in entries.values():
        _, _, kind, data = entry
        in_32 = component_of(entry) == COMPONENT32
        for dll, component in DLLS:
            if kind == "sz" and token(dll).lower() in data.lower() and (component == COMPONENT32) != in_32:
                raise Inexpressible("%s named in the other build's registry view: %s" % (dll, reg_export.describe(entry)))
    return entries


def _escaped(text):
    """Text for a formatted column: brackets escaped, the folding tokens kept as references."""
    parts = TOKENS.split(text)
    tokens = TOKENS.findall(text) + [""]
    plain = (p.replace("[", "\0").replace("]", "[\\]]").replace("\0", "[\\[]") for p in parts)
    return "".join(p + t for p, t in zip(plain, tokens))


def _row(entry, folder):
    key, name, kind, data = entry
    what = reg_export.describe(entry)
    if not key.startswith("HKLM\\"):
        raise Inexpressible("outside HKLM, where a machine-wide package writes: " + what)
    if kind not in ROW_TYPES:
        # wixl writes an expandable value as a plain string and takes no multi-string Value.
        raise Inexpressible("a value of type %s: %s" % (kind, what))
    if kind == "sz" and data == "":
        raise Inexpressible("an empty string, which a row writes as no value: " + what)
    if kind == "sz" and folder.lower() in data.lower():
        raise Inexpressible("the DLL's folder in a form not folded: " + what)
    attributes = [("Root", "HKLM"), ("Key", _escaped(program_key(key)[5:]))]
    if name:
        attributes.append(("Name", _escaped(name)))
    attributes += [("Type", ROW_TYPES[kind]), ("Value", _escaped(str(data)))]
    return "  <RegistryValue %s/>" % " ".join("%s=%s" % (a, quoteattr(v)) for a, v in attributes)


def rows_include(entries, folder, component):
    """The .wxi of the component, one row per value it writes; every key of the set must hold a
    value or lie above one."""
    values = [e for e in entries.values() if e[1] is not None]
    value_keys = [e[0].lower() + "\\" for e in values]
    for key, name, _, _ in entries.values():
        if name is None and not any(k.startswith(key.lower() + "\\") for k in value_keys):
            raise Inexpressible("a key without values, which rows cannot create: [%s]" % key)
    order = sorted((e for e in values if component_of(e) == component), key=reg_export.identity)
    body = "\n".join(_row(e, folder) for e in order)
    return ('<?xml version="1.0" encoding="utf-8"?>\n'
            "<!-- Generated by packaging/msi/registration_rows.py from what the DLLs' registration wrote. -->\n"
            '<Include xmlns="http://schemas.microsoft.com/wix/2006/wi">\n' + body + "\n</Include>\n")


def _unescaped(text):
    return text.replace("[\\[]", "[").replace("[\\]]", "]")


def table_entries(msi):
    """Every row of the package's Registry table, as (entry, component)."""
    table = subprocess.run(["msiinfo", "export", msi, "Registry"], check=True, capture_output=True,
                           text=True).stdout.splitlines()[3:]
    rows = []
    for line in table:
        _, root, key, name, value, component = line.split("\t")
        if value.startswith("##"):
            kind, data = "sz", value[1:]
        elif value.startswith("#") and re.fullmatch(r"#-?\d+", value):
            kind, data = "dword", int(value[1:])
        elif value.startswith("#"):
            kind, data = "unreadable", value
        else:
            kind, data = "sz", value
        entry = (ROOTS.get(root, "root " + root) + "\\" + _unescaped(key), _unescaped(name), kind,
                 _unescaped(data) if kind == "sz" else data)
        rows.append((entry, component))
    return rows


def check(msi, set_path):
    """The package writes the registration's values, each in its DLL's component, its own record
    of the install folder, and nothing else, each value once."""
    wanted = {i: e for i, e in reg_export.load(set_path).items() if e[1] is not None}
    written, faults = {}, []
    for row, component in table_entries(msi):
        entry = (view_key(row[0], component),) + row[1:]
        ident = reg_export.identity(entry)
        belongs = own_component(ident) or component_of(wanted.get(ident, entry))
        if ident in written:
            faults.append("the package writes twice: " + reg_export.describe(entry))
        elif component != belongs:
            faults.append("the package writes, outside %s: %s" % (belongs, reg_export.describe(entry)))
        written[ident] = entry
    written = {i: e for i, e in written.items() if own_component(i) is None}
    extra, missing = reg_export.difference(wanted, written)
    faults += ["registration wrote, the package lacks: " + reg_export.describe(e) for e in missing.values()]
    faults += ["the package writes, registration did not: " + reg_export.describe(e) for e in extra.values()]
    for fault in faults:
        print(fault, file=sys.stderr)
    return 1 if faults else 0


def main(argv):
    if len(argv) == 6 and argv[0] == "rows":
        before, after, restarted, folder, stage = argv[1:]
        try:
            entries = harvest(before, after, restarted, folder)
            includes = {name: rows_include(entries, folder, component)
                        for name, component in (("registration.wxi", COMPONENT), ("registration32.wxi", COMPONENT32))}
        except Inexpressible as problem:
            print("registration_rows: " + str(problem), file=sys.stderr)
            return 1
        reg_export.save(entries, os.path.join(stage, "registration.json"))
        for name, include in includes.items():
            with open(os.path.join(stage, name), "w", encoding="utf-8") as f:
                f.write(include)
        return 0
    if len(argv) == 3 and argv[0] == "check":
        return check(argv[1], argv[2])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
