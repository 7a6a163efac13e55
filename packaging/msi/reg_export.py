"""Registry exports (regedit /E, REGEDIT5 text in UTF-16) as sets of entries.

An entry is (key, name, type, data): a key of its own is (key, None, None, None), the default value
has the name "". Keys are spelled HKLM\\..., with the other names of a key under Wine and Windows
(the 32-bit view's Classes, the keys shared by both views) turned into the one name rows are
written to. Keys and value names compare without regard to case, as the registry does.
"""
import json
import re

ROOTS = {"HKEY_LOCAL_MACHINE": "HKLM", "HKEY_CURRENT_USER": "HKCU", "HKEY_CLASSES_ROOT": "HKCR",
         "HKEY_USERS": "HKU"}

# Other names of one key, as (name, the name rows use). HKLM\Software\Wow6432Node\Classes is the
# 32-bit view's name of Classes\Wow6432Node; AppID and TypeLib are shared by both views, so their
# copies under Wow6432Node are the 64-bit keys themselves.
ALIASES = (
    ("HKLM\\Software\\Wow6432Node\\Classes", "HKLM\\Software\\Classes\\Wow6432Node"),
    ("HKLM\\Software\\Classes\\Wow6432Node\\AppID", "HKLM\\Software\\Classes\\AppID"),
    ("HKLM\\Software\\Classes\\Wow6432Node\\TypeLib", "HKLM\\Software\\Classes\\TypeLib"),
)

# Value types by the export's prefix of the data; hex(N) types are kept as bytes.
HEX_TYPES = {"hex": "binary", "hex(2)": "expand_sz", "hex(7)": "multi_sz", "hex(b)": "qword"}


def canonical_key(key):
    root, _, rest = key.partition("\\")
    key = ROOTS.get(root.upper(), root) + ("\\" + rest if rest else "")
    for name, target in ALIASES:
        if key.lower() == name.lower() or key.lower().startswith(name.lower() + "\\"):
            key = target + key[len(name):]
    return key


def identity(entry):
    """What makes two entries the same entry: the key and the value name, without case."""
    key, name = entry[0], entry[1]
    return (key.lower(), None if name is None else name.lower())


def _unquote(text, start):
    """Reads the quoted string at text[start] ('"'); returns it and the index after its end."""
    out, i = [], start + 1
    while text[i] != '"':
        if text[i] == "\\":
            i += 1
            out.append({"n": "\n", "r": "\r", "0": "\0"}.get(text[i], text[i]))
        else:
            out.append(text[i])
        i += 1
    return "".join(out), i + 1


def _value(line):
    if line.startswith("@="):
        name, rest = "", line[2:]
    else:
        name, end = _unquote(line, 0)
        rest = line[end + 1:]
    if rest.startswith('"'):
        return name, "sz", _unquote(rest, 0)[0]
    if rest.startswith("dword:"):
        return name, "dword", int(rest[6:], 16)
    kind, _, data = rest.partition(":")
    raw = bytes(int(b, 16) for b in data.split(",") if b)
    kind = HEX_TYPES.get(kind, kind)
    if kind in ("expand_sz", "multi_sz"):
        text = raw.decode("utf-16-le").rstrip("\0")
        return name, kind, text if kind == "expand_sz" else tuple(text.split("\0"))
    return name, kind, raw.hex()


def _logical_lines(text):
    """The export's lines, a value continued over several lines ('\\' at the end) joined."""
    pending = ""
    for line in text.splitlines():
        if pending:
            line = pending + line.lstrip()
            pending = ""
        if line.endswith("\\") and re.match(r'^(@|").*=hex', line):
            pending = line[:-1]
            continue
        yield line


def read(path):
    """The entries of an export file, each identity once (the first spelling wins)."""
    with open(path, encoding="utf-16") as f:
        text = f.read()
    entries, key = {}, None
    for line in _logical_lines(text):
        if line.startswith("[") and line.endswith("]"):
            key = canonical_key(line[1:-1])
            entries.setdefault(identity((key, None)), (key, None, None, None))
        elif key and (line.startswith('"') or line.startswith("@=")):
            name, kind, data = _value(line)
            entries.setdefault(identity((key, name)), (key, name, kind, data))
    return entries


def fold(entries, files, folder, folder_token):
    """Each string datum with the path of each of files ((path, token) pairs) turned into its token
    and the folder's path into folder_token (which names the folder with its final backslash, as
    Windows Installer's folder properties do), the paths matched without regard to case."""
    patterns = [(re.escape(path), token) for path, token in files]
    patterns.append((re.escape(folder) + r"(?:\\|$)", folder_token))

    def fold_text(text):
        for pattern, token in patterns:
            text = re.sub(pattern, lambda _: token, text, flags=re.IGNORECASE)
        return text

    folded = {}
    for ident, (key, name, kind, data) in entries.items():
        if kind in ("sz", "expand_sz"):
            data = fold_text(data)
        elif kind == "multi_sz":
            data = tuple(fold_text(item) for item in data)
        folded[ident] = (key, name, kind, data)
    return folded


def difference(before, after):
    """(added, removed): the entries of after that before lacks or holds otherwise, and the
    entries of before that after lacks or holds otherwise."""
    added = {i: e for i, e in after.items() if i not in before or before[i][2:] != e[2:]}
    removed = {i: e for i, e in before.items() if i not in after or after[i][2:] != e[2:]}
    return added, removed


def save(entries, path):
    """Writes entries as JSON, one entry a line, in the order of their identities."""
    lines = [json.dumps(list(e), ensure_ascii=False) for _, e in sorted(entries.items(), key=_order)]
    with open(path, "w", encoding="utf-8") as f:
        f.write("[\n" + ",\n".join(lines) + "\n]\n")


def load(path):
    with open(path, encoding="utf-8") as f:
        rows = json.load(f)
    entries = {}
    for key, name, kind, data in rows:
        entry = (key, name, kind, tuple(data) if kind == "multi_sz" else data)
        entries[identity(entry)] = entry
    return entries


def _order(item):
    key, name = item[0]
    return (key, "" if name is None else "\1" + name)


def describe(entry):
    key, name, kind, data = entry
    if name is None:
        return "[%s]" % key
    return "[%s] %s = %s:%r" % (key, name or "@", kind, data)
