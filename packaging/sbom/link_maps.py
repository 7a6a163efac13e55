"""What a linker took into an image, read from its link map: the archives whose members it included
and the objects it loaded, by absolute path, but for the project's own. GNU ld names a member with its
archive ("/path/libstdc++.a(eh_alloc.o)"); lld names it alone ("Unwind-seh.cpp.obj:(.text)"), so a
member lld names is looked up in an index of the archives it may come from (archive_members)."""
import glob
import os
import re
import subprocess

# GNU ld: an archive member with its archive, a loaded object ("LOAD /path/crt2.o"); lld: the input of
# a section ("/path/dllcrt2.o:(.text)", "member.obj:(.text)").
ARCHIVE_MEMBER = re.compile(r"(?:^|\s)(/[^\s()]+\.a)\([^()\s]+\)")
LOADED_OBJECT = re.compile(r"^LOAD (/\S+\.o(?:bj)?)$")
SECTION_INPUT = re.compile(r"^\s*[0-9a-fA-F]+\s+[0-9a-fA-F]+\s+\d+\s+([^\s:]+):\(")


def linked_inputs(map_text, build_trees, members=None):
    """The absolute paths of the archives that gave members and of the objects loaded, each once and
    sorted, but for those inside the `build_trees` (the project's own). `members` maps a member's
    name to its archive, for a map that names members alone."""
    inputs = set()
    for line in map_text.splitlines():
        inputs.update(os.path.normpath(archive) for archive in ARCHIVE_MEMBER.findall(line))
        for pattern in (LOADED_OBJECT, SECTION_INPUT):
            found = pattern.match(line)
            if not found:
                continue
            name = found.group(1)
            if name.startswith("/"):
                inputs.add(os.path.normpath(name))
            elif members and name in members:
                inputs.add(members[name])
    own = tuple(os.path.normpath(tree) + os.sep for tree in build_trees)
    return sorted(path for path in inputs if not path.startswith(own))


def read_linked_inputs(map_path, build_trees, members=None):
    with open(map_path, encoding="utf-8", errors="replace") as source:
        return linked_inputs(source.read(), build_trees, members)


def archive_members(folder, lister="llvm-ar-19"):
    """{member name: archive path} for every archive directly in `folder`. A name that several hold is
    the smallest one's: an archive that merges another (libc++.a holds libc++abi.a's members) names
    its own members only."""
    index, sizes = {}, {}
    for archive in sorted(glob.glob(os.path.join(folder, "*.a"))):
        members = subprocess.run([lister, "t", archive], capture_output=True, text=True).stdout.split()
        sizes[archive] = len(members)
        for member in members:
            name = os.path.basename(member)
            if name not in index or sizes[index[name]] > len(members):
                index[name] = archive
    return {name: os.path.normpath(archive) for name, archive in index.items()}
