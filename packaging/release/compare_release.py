#!/usr/bin/env python3
"""Compares two release folders file by file:

    compare_release.py EXPECTED REBUILT [--unsigned]

Prints a line for each file that differs: its first differing offset and what lies there
(file_regions.py), or that it is in one folder only; then "N files compared, M differ". With
--unsigned, two signed files that differ are compared again with their signatures removed
(osslsigncode remove-signature), and count as the same when only the signatures differed. Exits 0
when every file is the same, 1 when one differs, 2 when a folder is missing.
"""
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import file_regions  # noqa: E402


def files_below(folder):
    found = set()
    for parent, _, names in os.walk(folder):
        for name in names:
            found.add(os.path.relpath(os.path.join(parent, name), folder).replace(os.sep, "/"))
    return found


def read(path):
    with open(path, "rb") as source:
        return source.read()


def first_difference(a, b, block=65536):
    """The first offset at which the two differ (the shorter one's length when it is the other's
    beginning); None when they are the same."""
    if a == b:
        return None
    shorter = min(len(a), len(b))
    for start in range(0, shorter, block):
        end = min(start + block, shorter)
        if a[start:end] != b[start:end]:
            return next(i for i in range(start, end) if a[i] != b[i])
    return shorter


def without_signature(path, folder):
    """The file's bytes without its Authenticode signature (as they are when it carries none)."""
    copy = os.path.join(folder, "%d-%s" % (len(os.listdir(folder)), os.path.basename(path)))
    try:
        done = subprocess.run(["osslsigncode", "remove-signature", "-in", path, "-out", copy], capture_output=True)
    except OSError:  # no osslsigncode: the files are compared as they are, and said to differ
        print("compare_release: osslsigncode is missing; signatures are compared too", file=sys.stderr)
        return read(path)
    return read(copy) if done.returncode == 0 and os.path.exists(copy) else read(path)


def describe(name, expected, rebuilt):
    at = first_difference(expected, rebuilt)
    if at is None:
        return None
    where = file_regions.region(expected, at) if at < len(expected) else None
    line = "%s: differs at offset 0x%x" % (name, at)
    if at == min(len(expected), len(rebuilt)) and len(expected) != len(rebuilt):
        return line + " (the rebuilt copy is %s)" % ("longer" if len(rebuilt) > len(expected) else "shorter")
    return line + (" (%s)" % where if where else "")


def compare(expected_folder, rebuilt_folder, unsigned=False, out=sys.stdout):
    expected_files, rebuilt_files = files_below(expected_folder), files_below(rebuilt_folder)
    differ = 0
    with tempfile.TemporaryDirectory() as scratch:
        for name in sorted(expected_files | rebuilt_files):
            if name not in rebuilt_files or name not in expected_files:
                print("%s: only in %s" % (name, expected_folder if name in expected_files else rebuilt_folder), file=out)
                differ += 1
                continue
            expected_path, rebuilt_path = os.path.join(expected_folder, name), os.path.join(rebuilt_folder, name)
            expected, rebuilt = read(expected_path), read(rebuilt_path)
            line = describe(name, expected, rebuilt)
            if line and unsigned:
                bare = [without_signature(p, scratch) for p in (expected_path, rebuilt_path)]
                if bare[0] == bare[1]:
                    print("%s: same once their signatures are removed" % name, file=out)
                    continue
                line = describe(name, bare[0], bare[1]) + ", signatures removed"
            if line:
                print(line, file=out)
                differ += 1
    print("%d files compared, %d differ" % (len(expected_files | rebuilt_files), differ), file=out)
    return 1 if differ else 0


def main(argv):
    unsigned = "--unsigned" in argv
    folders = [a for a in argv if a != "--unsigned"]
    if len(folders) != 2 or not all(os.path.isdir(f) for f in folders):
        print(__doc__.strip(), file=sys.stderr)
        return 2
    return compare(folders[0], folders[1], unsigned)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
