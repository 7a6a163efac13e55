#!/usr/bin/env python3
"""Writes the release's bill of materials, an SPDX 2.3 document in JSON:

    make_sbom.py RELEASE VERSION SECONDS OUT IMAGE=MAP... [--sysroot FOLDER] [--tree TREE]...

RELEASE is the folder of what ships; every file in it (but the checksums, the deployment sheet and the
bill itself, which name the bill) is listed with its SHA-1 and SHA-256. Each IMAGE=MAP pair names a
shipped image (a path below RELEASE) and its link map: the archives and objects the linker took into
it from outside the build TREEs become the components it statically links, each with the version and
licence that the machine's Debian packages (or the ARM64 sysroot's record of its source packages,
FOLDER/torvo-sources) give. The tools that made the packages are listed as build tools. SECONDS is the
release's one time: the document's creation time. The document's namespace is derived from the
release's contents, so the same release gives the same bill.
"""
import hashlib
import json
import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import components  # noqa: E402
import link_maps  # noqa: E402

# The files that name the bill (its hash, the checksums of all) are not in it.
NOT_LISTED = re.compile(r"(^|/)(SHA256SUMS|deployment\.csv|[^/]*\.spdx\.json)$")
TOOLS = ["wixl", "msitools", "osslsigncode", "g++-mingw-w64-x86-64-posix", "g++-mingw-w64-i686-posix",
         "binutils-mingw-w64-x86-64", "binutils-mingw-w64-i686", "clang-19", "lld-19", "llvm-19"]
NAMESPACE = "https://zebtorvo.example/spdx/TorvoShellMenu-%s-%s"


def spdx_id(kind, text):
    return "SPDXRef-%s-%s" % (kind, re.sub(r"[^A-Za-z0-9.-]+", "-", text).strip("-"))


def digests(path):
    sha1, sha256 = hashlib.sha1(), hashlib.sha256()
    with open(path, "rb") as source:
        for block in iter(lambda: source.read(1 << 20), b""):
            sha1.update(block)
            sha256.update(block)
    return sha1.hexdigest(), sha256.hexdigest()


def released_files(release):
    names = []
    for folder, _, files in os.walk(release):
        for name in files:
            relative = os.path.relpath(os.path.join(folder, name), release).replace(os.sep, "/")
            if not NOT_LISTED.search(relative):
                names.append(relative)
    return sorted(names)


def file_element(release, name):
    sha1, sha256 = digests(os.path.join(release, name))
    return {"SPDXID": spdx_id("File", name), "fileName": "./" + name,
            "checksums": [{"algorithm": "SHA1", "checksumValue": sha1},
                          {"algorithm": "SHA256", "checksumValue": sha256}],
            "licenseConcluded": "NOASSERTION", "copyrightText": "NOASSERTION"}


def purl(component):
    if component.package:
        return "pkg:deb/debian/%s@%s" % (component.package, component.version)
    if component.source:
        return "pkg:deb/debian/%s@%s?arch=source" % (component.source, component.version)
    return None


def package_element(component, kind):
    element = {"SPDXID": spdx_id(kind, "%s-%s" % (component.name, component.version)), "name": component.name,
               "versionInfo": component.version, "supplier": "Organization: Debian",
               "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
               "licenseConcluded": component.licence or "NOASSERTION",
               "licenseDeclared": component.licence or "NOASSERTION",
               "copyrightText": "NOASSERTION",
               "comment": component.comment + (", licence from " + component.copyright if component.copyright else "")}
    locator = purl(component)
    if locator:
        element["externalRefs"] = [{"referenceCategory": "PACKAGE-MANAGER", "referenceType": "purl",
                                    "referenceLocator": locator}]
    return element


def licence_refs(packages):
    """Every LicenseRef the packages use, defined as the document must define it."""
    refs = sorted({ref for p in packages for ref in re.findall(r"LicenseRef-[A-Za-z0-9.-]+", p["licenseDeclared"])})
    return [{"licenseId": ref, "name": ref[len("LicenseRef-"):],
             "extractedText": "The licence named %s in the Debian copyright file of the package." % ref[11:]}
            for ref in refs]


def bill(release, version, seconds, images, trees, sysroot, sysroot_sources):
    files = [file_element(release, name) for name in released_files(release)]
    product = {"SPDXID": "SPDXRef-Package-TorvoShellMenu", "name": "TorvoShellMenu", "versionInfo": version,
               "supplier": "Organization: ZebTorvo", "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
               "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION"}
    relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                      "relatedSpdxElement": product["SPDXID"]}]
    relationships += [{"spdxElementId": product["SPDXID"], "relationshipType": "CONTAINS",
                       "relatedSpdxElement": f["SPDXID"]} for f in files]
    linked = {}
    members = {}
    if sysroot:  # lld names the members of the sysroot's archives alone
        for folder in ("lib", "clang/lib/windows"):
            members.update(link_maps.archive_members(os.path.join(sysroot, folder)))
    for image, map_path in images:
        for path in link_maps.read_linked_inputs(map_path, trees, members):
            component = components.component_of(path, sysroot, sysroot_sources)
            element = linked.setdefault((component.name, component.version), package_element(component, "Package"))
            relationships.append({"spdxElementId": spdx_id("File", image), "relationshipType": "STATIC_LINK",
                                  "relatedSpdxElement": element["SPDXID"]})
    tools = [package_element(components.tool(name), "Tool") for name in TOOLS]
    relationships += [{"spdxElementId": t["SPDXID"], "relationshipType": "BUILD_TOOL_OF",
                       "relatedSpdxElement": product["SPDXID"]} for t in tools]
    packages = [product] + [linked[key] for key in sorted(linked)] + tools
    unique = []
    for relationship in relationships:
        if relationship not in unique:
            unique.append(relationship)
    contents = hashlib.sha256("".join(f["checksums"][1]["checksumValue"] for f in files).encode()).hexdigest()
    document = {
        "spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
        "name": "TorvoShellMenu %s" % version, "documentNamespace": NAMESPACE % (version, contents[:32]),
        "creationInfo": {"created": time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(seconds)),
                         "creators": ["Organization: ZebTorvo", "Tool: make_sbom.py"]},
        "packages": packages, "files": files, "relationships": unique,
    }
    refs = licence_refs(packages)
    if refs:
        document["hasExtractedLicensingInfos"] = refs
    return document


def read_sources(sysroot):
    """The ARM64 sysroot's record of the source packages it was built from: {source: version}."""
    sources = {}
    try:
        with open(os.path.join(sysroot, "torvo-sources"), encoding="utf-8") as record:
            for line in record:
                parts = line.split()
                if len(parts) == 2:
                    sources[parts[0]] = parts[1]
    except OSError:
        pass
    return sources


def main(argv):
    options = {"--sysroot": None}
    trees, positional = [], []
    arguments = iter(argv)
    for argument in arguments:
        if argument == "--sysroot":
            options["--sysroot"] = next(arguments, None)
        elif argument == "--tree":
            trees.append(next(arguments, ""))
        else:
            positional.append(argument)
    if len(positional) < 4 or not positional[2].isdigit():
        print(__doc__.strip(), file=sys.stderr)
        return 2
    release, version, seconds, out = positional[:4]
    images = [tuple(pair.split("=", 1)) for pair in positional[4:]]
    sysroot = options["--sysroot"]
    document = bill(release, version, int(seconds), images, trees, sysroot, read_sources(sysroot) if sysroot else {})
    with open(out, "w", encoding="utf-8") as target:
        json.dump(document, target, indent=1, sort_keys=True)
        target.write("\n")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
