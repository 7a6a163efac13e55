#!/usr/bin/env python3
"""Checks a release's bill of materials against its schema and against the release:

    check_sbom.py RELEASE BILL

Fails naming each fault: the document breaks its schema (spdx-2.3-release.schema.json); a file of the
release is missing from it, listed twice, or listed with another hash; it lists a file the release
lacks; an element is named twice or a relationship names no element; a licence reference is not
defined; a shipped image links no component, or a component without its version or licence; the
statically linked runtimes of an image of its machine are not all named (GCC's, mingw-w64's and
winpthreads for the x64 and 32-bit images, LLVM's and mingw-w64's for the ARM64 ones); the tools that
made the packages (wixl, osslsigncode) are not named.
"""
import hashlib
import json
import os
import re
import sys

import jsonschema

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from make_sbom import NOT_LISTED, released_files  # noqa: E402

RUNTIMES = {"x86": {"libstdc++", "libgcc", "winpthreads", "mingw-w64 runtime"},
            "arm64": {"libc++", "libc++abi", "libunwind", "compiler-rt builtins", "mingw-w64 runtime"}}
TOOLS = {"wixl", "osslsigncode"}
IMAGE = re.compile(r"\.(dll|exe)$")


def schema_faults(document):
    with open(os.path.join(HERE, "spdx-2.3-release.schema.json"), encoding="utf-8") as source:
        schema = json.load(source)
    validator = jsonschema.Draft202012Validator(schema)
    return ["schema: %s at %s" % (e.message, "/".join(str(p) for p in e.absolute_path))
            for e in validator.iter_errors(document)]


def file_faults(release, document):
    faults, listed = [], {}
    for element in document.get("files", []):
        name = element.get("fileName", "")[2:]
        if name in listed:
            faults.append("%s is listed twice" % name)
        listed[name] = element
    for name in released_files(release):
        if name not in listed:
            faults.append("%s is not listed" % name)
            continue
        with open(os.path.join(release, name), "rb") as source:
            sha256 = hashlib.sha256(source.read()).hexdigest()
        sums = {c["algorithm"]: c["checksumValue"] for c in listed[name].get("checksums", [])}
        if sums.get("SHA256") != sha256:
            faults.append("%s is listed with SHA-256 %s, it has %s" % (name, sums.get("SHA256"), sha256))
    faults += ["%s is listed but not in the release" % name for name in listed
               if NOT_LISTED.search(name) or not os.path.isfile(os.path.join(release, name))]
    return faults


def element_faults(document):
    faults, ids = [], ["SPDXRef-DOCUMENT"]
    ids += [e.get("SPDXID") for key in ("packages", "files") for e in document.get(key, [])]
    faults += ["%s is named twice" % i for i in sorted(set(i for i in ids if ids.count(i) > 1))]
    for relationship in document.get("relationships", []):
        for end in ("spdxElementId", "relatedSpdxElement"):
            if relationship.get(end) not in ids:
                faults.append("a %s relationship names no element %s" % (relationship.get("relationshipType"),
                                                                         relationship.get(end)))
    defined = {info.get("licenseId") for info in document.get("hasExtractedLicensingInfos", [])}
    used = {ref for p in document.get("packages", []) for field in ("licenseConcluded", "licenseDeclared")
            for ref in re.findall(r"LicenseRef-[A-Za-z0-9.-]+", p.get(field, ""))}
    faults += ["%s is not defined" % ref for ref in sorted(used - defined)]
    return faults


def link_faults(document):
    faults = []
    packages = {p.get("SPDXID"): p for p in document.get("packages", [])}
    files = {f.get("SPDXID"): f.get("fileName", "")[2:] for f in document.get("files", [])}
    linked = {}
    for relationship in document.get("relationships", []):
        if relationship.get("relationshipType") == "STATIC_LINK":
            linked.setdefault(files.get(relationship.get("spdxElementId")), []).append(
                packages.get(relationship.get("relatedSpdxElement"), {}))
    for image in sorted(name for name in files.values() if IMAGE.search(name)):
        components = linked.get(image, [])
        if not components:
            faults.append("%s links no component" % image)
        for component in components:
            for field in ("versionInfo", "licenseDeclared"):
                if component.get(field, "NOASSERTION") == "NOASSERTION":
                    faults.append("%s links %s without its %s" % (image, component.get("name"), field))
        missing = RUNTIMES["arm64" if image.startswith("arm64/") else "x86"] - {c.get("name") for c in components}
        faults += ["%s does not name its runtime %s" % (image, name) for name in sorted(missing)]
    tools = {packages[r["spdxElementId"]].get("name") for r in document.get("relationships", [])
             if r.get("relationshipType") == "BUILD_TOOL_OF" and r.get("spdxElementId") in packages}
    faults += ["the tool %s is not named" % name for name in sorted(TOOLS - tools)]
    return faults


def check(release, bill):
    with open(bill, encoding="utf-8") as source:
        document = json.load(source)
    return schema_faults(document) + file_faults(release, document) + element_faults(document) + link_faults(document)


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    faults = check(*argv)
    for fault in faults:
        print("check_sbom: " + fault, file=sys.stderr)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
