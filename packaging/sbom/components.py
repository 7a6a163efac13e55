"""The components a linked input belongs to, read from the machine that built the release: the Debian
package that owns the file (its version, its source package) or, for the ARM64 sysroot, the Debian
source package it was built from (scripts/arm64-sysroot.sh records both versions); and the component's
licence, read from the package's copyright file."""
import os
import re
import subprocess
from collections import namedtuple

Component = namedtuple("Component", "name version package source source_version licence copyright comment")

# Which part of its source an input comes from: (pattern of the file's name, component, the folder of
# the upstream source that the copyright file's stanzas name), for Debian's MinGW-w64 toolchains and
# for the ARM64 sysroot. GCC's copyright file has no stanzas. Whatever else is mingw-w64's: its CRT,
# start-up objects and import libraries.
MINGW = ("mingw-w64 runtime", "mingw-w64-crt/")
PARTS = [
    (r"^lib(win)?pthread\.", "winpthreads", "mingw-w64-libraries/winpthreads/"),
    (r"^libstdc\+\+", "libstdc++", None),
    (r"^(libgcc|libgcc_eh|crtbegin|crtend|crtfastmath)\.", "libgcc", None),
    (r".",) + MINGW,
]
SYSROOT_PARTS = [
    (r"^lib(win)?pthread\.", "winpthreads", "mingw-w64-libraries/winpthreads/"),
    (r"^libc\+\+abi\.", "libc++abi", "libcxxabi/"),
    (r"^libc\+\+\.", "libc++", "libcxx/"),
    (r"^libunwind\.", "libunwind", "libunwind/"),
    (r"^libclang_rt\.builtins", "compiler-rt builtins", "compiler-rt/"),
    (r".",) + MINGW,
]

# Debian's short licence names as SPDX identifiers; any other becomes a LicenseRef of its own.
SPDX_NAMES = {
    "zpl-2.1": "ZPL-2.1", "mit": "MIT", "isc": "ISC", "bsd-2-clause": "BSD-2-Clause",
    "bsd-3-clause": "BSD-3-Clause", "lgpl-2.1+": "LGPL-2.1-or-later", "lgpl-2+": "LGPL-2.0-or-later",
    "gpl-2+": "GPL-2.0-or-later", "gpl-3+": "GPL-3.0-or-later", "apache-2.0": "Apache-2.0", "expat": "MIT",
    "apache-2-llvm-exceptions": "Apache-2.0 WITH LLVM-exception", "zlib": "Zlib", "python": "PSF-2.0",
}
GCC_RUNTIME = "GPL-3.0-or-later WITH GCC-exception-3.1"


def _query(args):
    done = subprocess.run(args, capture_output=True, text=True)
    return done.stdout.strip() if done.returncode == 0 else ""


def owning_package(path):
    """The installed Debian package that owns the file (its real path), or None."""
    answer = _query(["dpkg-query", "-S", os.path.realpath(path)])
    return answer.split(":")[0].split(",")[0].strip() if answer else None


def package_facts(package):
    fields = _query(["dpkg-query", "-W", "-f", "${Version}\t${source:Package}\t${source:Version}", package])
    version, source, source_version = (fields.split("\t") + ["", "", ""])[:3]
    return version, source or package, source_version or version


def package_of_source(source):
    """An installed binary package built from the source package (whose copyright file it carries)."""
    for line in _query(["dpkg-query", "-W", "-f", "${source:Package} ${Package}\n"]).splitlines():
        parts = line.split()
        if len(parts) == 2 and parts[0] == source:
            return parts[1]
    return None


def licence_name(name):
    """A Debian short name (or several joined by "and" / "or") as an SPDX expression."""
    words = re.split(r"\s+(and|or)\s+", name.strip(), flags=re.IGNORECASE)
    parts = []
    for index, word in enumerate(words):
        if index % 2:
            parts.append(word.upper())
        else:
            parts.append(SPDX_NAMES.get(word.lower(), "LicenseRef-" + re.sub(r"[^A-Za-z0-9.-]", "-", word)))
    return " ".join(parts)


def copyright_licence(copyright_text, folder):
    """The licence of the files below `folder` of the upstream source, from a machine-readable
    copyright file: the licences of every stanza naming files there, else of the stanza of "*"; from
    a free-form one, GCC's runtime exception when it grants it; None when it says nothing readable."""
    if not copyright_text.startswith("Format:"):
        return GCC_RUNTIME if "GCC RUNTIME LIBRARY EXCEPTION" in copyright_text else None
    found, everything = [], []
    for stanza in re.split(r"\n\s*\n", copyright_text):
        files = re.search(r"^Files:(.*(?:\n[ \t].*)*)", stanza, re.MULTILINE)
        licence = re.search(r"^License:\s*(.+)$", stanza, re.MULTILINE)
        if not files or not licence:
            continue
        patterns = files.group(1).split()
        name = licence_name(licence.group(1))
        if folder and any(pattern.startswith(folder) for pattern in patterns):
            found.append(name)
        if "*" in patterns:
            everything.append(name)
    names = sorted(set(found or everything))
    if not names:
        return None
    return " AND ".join("(%s)" % n if " " in n and len(names) > 1 else n for n in names)


def _part(path, parts):
    base = os.path.basename(path)
    for pattern, name, folder in parts:
        if re.search(pattern, base):
            return name, folder
    return base, None


def _copyright(package):
    path = "/usr/share/doc/%s/copyright" % package
    try:
        with open(path, encoding="utf-8", errors="replace") as source:
            return path, source.read()
    except OSError:
        return path, ""


def component_of(path, sysroot=None, sysroot_sources=None):
    """The component the linked input belongs to."""
    if sysroot and os.path.realpath(path).startswith(os.path.realpath(sysroot) + os.sep):
        name, folder = _part(path, SYSROOT_PARTS)
        source = "mingw-w64" if folder.startswith("mingw-w64") else "llvm-toolchain-19"
        version = (sysroot_sources or {}).get(source, "NOASSERTION")
        package = package_of_source(source)
        where, text = _copyright(package) if package else ("", "")
        comment = "built from Debian's source package %s %s into the ARM64 sysroot" % (source, version)
        return Component(name, version, None, source, version, copyright_licence(text, folder), where, comment)
    name, folder = _part(path, PARTS)
    package = owning_package(path)
    if package is None:
        return Component(name, "NOASSERTION", None, None, None, None, "", "not from a Debian package: " + path)
    version, source, source_version = package_facts(package)
    where, text = _copyright(package)
    comment = "Debian package %s %s (source %s %s)" % (package, version, source, source_version)
    if name == os.path.basename(path) or (folder == "mingw-w64-crt/" and not source.startswith("mingw-w64")):
        name = package
    return Component(name, version, package, source, source_version, copyright_licence(text, folder), where, comment)


def tool(package):
    """A tool that made the packages, as an installed Debian package."""
    version, source, source_version = package_facts(package)
    where, text = _copyright(package)
    return Component(package, version or "NOASSERTION", package, source, source_version,
                     copyright_licence(text, None), where, "Debian package %s %s" % (package, version))
