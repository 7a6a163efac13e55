#!/usr/bin/env python3
"""Keeps the README and the guides under docs/ true to the project: one table of checks, each
naming every place where a guide and the code part ways. Given a release's deployment sheet, it
also holds the installing guide's product codes and versions to the sheet's.

Usage: check_guides.py SOURCE_ROOT [DEPLOYMENT_CSV]
"""
import csv
import os
import re
import sys

CODE_SPAN = re.compile(r"`([^`\n]+)`")
FENCE = re.compile(r"^(```|    )")
LINK = re.compile(r"\[[^\]]*\]\(([^)\s]+)\)")
SCRIPT = re.compile(r"\b((?:scripts|packaging|tests|cmake|tools)/[\w./-]+\.(?:sh|py))\b")
SWITCH = re.compile(r"^(--[a-z][a-z-]*|/[a-z_][\w:]*)$")

# The programs whose command lines the guides show, and where each reads its switches.
PROGRAMS = {
    "torvo-doctor": ["tools/doctor"],
    "torvo-move.exe": ["tools/mover"],
    "torvo-package.exe": ["tools/package"],
}


def guides(root):
    paths = [os.path.join(root, "README.md")]
    docs = os.path.join(root, "docs")
    paths += sorted(os.path.join(docs, n) for n in os.listdir(docs) if n.endswith(".md"))
    return paths


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def commands(text):
    """Each shown command line: the text of code spans and of code blocks' lines."""
    lines = [m.group(1) for m in CODE_SPAN.finditer(text)]
    lines += [line.strip() for line in text.splitlines() if FENCE.match(line)]
    return lines


def switches_shown(text, program):
    """The switches given to `program` in the commands shown."""
    shown = set()
    for line in commands(text):
        words = line.replace("[", " ").replace("]", " ").split()
        for i, word in enumerate(words):
            if os.path.basename(word.strip('"')).lower() in (program, program + ".exe"):
                shown |= {w.split("=")[0] for w in words[i + 1:] if SWITCH.match(w.split("=")[0])}
    return shown


def switches_accepted(root, folders):
    """The switches a program compares its arguments with: its wide string literals of switches."""
    accepted = set()
    for folder in folders:
        for dirpath, _, names in os.walk(os.path.join(root, folder)):
            for name in names:
                if name.endswith(".cpp"):
                    accepted |= set(re.findall(r'[Lu]"(--[a-z][a-z-]*|/[a-z_]+)"', read(os.path.join(dirpath, name))))
    return accepted


def check_switches(root, texts):
    problems = []
    for program, folders in PROGRAMS.items():
        shown = set().union(*(switches_shown(t, program) for t in texts.values()))
        accepted = switches_accepted(root, folders)
        problems += ["%s has no switch %s" % (program, s) for s in sorted(shown - accepted)]
        problems += ["no guide shows %s's switch %s" % (program, s) for s in sorted(accepted - shown)]
    return problems


def check_scripts(root, texts):
    return ["%s names %s, which does not exist" % (os.path.relpath(p, root), s)
            for p, t in texts.items() for s in sorted(set(SCRIPT.findall(t)))
            if not os.path.isfile(os.path.join(root, s))]


def anchors(text):
    """The anchors of a Markdown file's headings, as GitHub makes them."""
    found = set()
    for line in text.splitlines():
        if line.startswith("#"):
            title = line.lstrip("#").strip().lower()
            found.add(re.sub(r"[^\w\- ]", "", title).replace(" ", "-"))
    return found


def check_links(root, texts):
    problems = []
    for path, text in texts.items():
        for target in LINK.findall(text):
            if re.match(r"^[a-z]+:", target):
                continue
            file_part, _, anchor = target.partition("#")
            linked = os.path.normpath(os.path.join(os.path.dirname(path), file_part)) if file_part else path
            where = os.path.relpath(path, root)
            if not os.path.exists(linked):
                problems.append("%s links to %s, which does not exist" % (where, target))
            elif anchor and linked.endswith(".md") and anchor not in anchors(read(linked)):
                problems.append("%s links to %s, which has no heading #%s" % (where, file_part or "itself", anchor))
    return problems


def check_names_in_code(root):
    """The doctor's table of check names (kCheckNames in its check.h)."""
    header = read(os.path.join(root, "tools", "doctor", "checks", "check.h"))
    table = header[header.index("kCheckNames[]"):]
    return re.findall(r'L"([^"]+)"', table[:table.index("};")])


def check_doctor_checks(root, texts):
    """The support desk's guide names every check of the doctor, in its table and by symptom."""
    guide = texts[os.path.join(root, "docs", "troubleshooting.md")]
    names = check_names_in_code(root)
    in_table = set()
    for line in guide.splitlines():
        if line.startswith("| `"):
            in_table |= set(CODE_SPAN.findall(line.split("|")[1]))
    symptoms = guide[guide.index("## By symptom"):guide.index("## The doctor")]
    by_symptom = set(CODE_SPAN.findall(symptoms))
    problems = ["troubleshooting.md's table of checks lacks `%s`" % n for n in names if n not in in_table]
    problems += ["troubleshooting.md's symptoms never name `%s`" % n for n in names if n not in by_symptom]
    problems += ["troubleshooting.md's table names `%s`, which the doctor lacks" % n for n in sorted(in_table - set(names))]
    return problems


def check_sheet(root, texts, sheet):
    """Each installer of the sheet, with its codes and version, is a row of the installing guide."""
    guide = texts[os.path.join(root, "docs", "installing.md")].splitlines()
    problems = []
    with open(sheet, encoding="utf-8") as f:
        for row in csv.DictReader(f):
            facts = [row["file"], row["ProductCode"], row["UpgradeCode"], row["ProductVersion"]]
            if not any(line.startswith("|") and all(fact in line for fact in facts) for line in guide):
                problems.append("installing.md has no row with %s" % ", ".join(facts))
    return problems


def check_package_exit_codes(root, texts):
    """The installing guide's table of torvo-package.exe's exit codes is its enum PackageExit."""
    header = read(os.path.join(root, "tools", "package", "package_steps.h"))
    enum = header[header.index("enum class PackageExit"):]
    codes = re.findall(r"^\s+k\w+ = (\d+),", enum[:enum.index("};")], re.M)
    guide = texts[os.path.join(root, "docs", "installing.md")]
    section = guide[guide.index("#### The Windows 11 package's steps"):]
    section = section[:section.index("\n\n", section.index("| Exit code"))]
    rows = re.findall(r"^\| (\d+) \|", section, re.M)
    problems = ["installing.md's table of torvo-package.exe lacks exit code %s" % c for c in codes if c not in rows]
    problems += ["installing.md's table of torvo-package.exe names exit code %s, which it lacks" % c
                 for c in rows if c not in codes]
    return problems


CHECKS = [
    ("every switch shown exists, every switch accepted is shown", check_switches),
    ("every script named exists", check_scripts),
    ("every relative link resolves", check_links),
    ("every check of the doctor is named, in the table and by symptom", check_doctor_checks),
    ("every exit code of torvo-package.exe is in the installing guide's table", check_package_exit_codes),
]


def main(root, sheet=None):
    texts = {p: read(p) for p in guides(root)}
    failed = False
    checks = list(CHECKS)
    if sheet:
        checks.append(("the installing guide's codes are the deployment sheet's",
                       lambda root, texts: check_sheet(root, texts, sheet)))
    for what, check in checks:
        problems = check(root, texts)
        print("%s: %s" % ("ok" if not problems else "FAILED", what))
        for problem in problems:
            print("  " + problem)
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
