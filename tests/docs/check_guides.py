#!/usr/bin/env python3
"""Keeps the README and the guides under docs/ true to the project: one table of checks, each
naming every place where a guide and the code part ways.

Usage: check_guides.py SOURCE_ROOT
"""
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
                    accepted |= set(re.findall(r'L"(--[a-z][a-z-]*|/[a-z_]+)"', read(os.path.join(dirpath, name))))
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


CHECKS = [
    ("every switch shown exists, every switch accepted is shown", check_switches),
    ("every script named exists", check_scripts),
    ("every relative link resolves", check_links),
]


def main(root):
    texts = {p: read(p) for p in guides(root)}
    failed = False
    for what, check in CHECKS:
        problems = check(root, texts)
        print("%s: %s" % ("ok" if not problems else "FAILED", what))
        for problem in problems:
            print("  " + problem)
        failed = failed or bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
