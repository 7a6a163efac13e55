#!/usr/bin/env python3
"""Prints the Publisher that a package signed with a certificate must name:

    cert_publisher.py CERT.pem     (its first certificate, the signer's)

Windows installs a package only when the manifest's Publisher is the signer's subject exactly as
Windows writes it (CertNameToStr with X.500 keys): the most specific part first, ", " between the
parts, its own key names (S for the state, E for the mail address, OID.n.n for attributes without
a key), and a value in double quotes when it holds , + = " < > # ; a line break, or starts or ends
with a blank, a double quote inside doubled. For example
    CN=Contoso Software, O="Contoso, Ltd", L=Redmond, S=WA, C=US
The subject is read from openssl in RFC 2253 form with numeric attribute names.
"""
import re
import subprocess
import sys

# Windows' key for each attribute type it names (the keys the manifest schema accepts).
KEYS = {
    "2.5.4.3": "CN", "2.5.4.7": "L", "2.5.4.10": "O", "2.5.4.11": "OU", "1.2.840.113549.1.9.1": "E",
    "2.5.4.6": "C", "2.5.4.8": "S", "2.5.4.9": "STREET", "2.5.4.12": "T", "2.5.4.42": "G", "2.5.4.43": "I",
    "2.5.4.4": "SN", "0.9.2342.19200300.100.1.25": "DC", "2.5.4.5": "SERIALNUMBER", "2.5.4.13": "Description",
    "2.5.4.17": "PostalCode", "2.5.4.18": "POBox", "2.5.4.20": "Phone", "2.5.4.24": "X21Address",
    "2.5.4.46": "dnQualifier",
}
QUOTED_WHEN_HOLDING = ',+="\n<>#;'
# RFC 2253 escapes (, + " \ < > ; = and a leading # or blank and a trailing blank), control characters
# as \XX, UTF-8 as it is, the most specific part first, numeric attribute names.
NAME_OPTIONS = "utf8,esc_2253,esc_ctrl,dn_rev,sep_comma_plus,oid"


class PublisherError(Exception):
    pass


def subject_rfc2253(certificate):
    """The subject of the first certificate of the file, as openssl prints it with NAME_OPTIONS."""
    done = subprocess.run(["openssl", "x509", "-in", certificate, "-noout", "-subject", "-nameopt", NAME_OPTIONS],
                          capture_output=True, check=False)
    if done.returncode != 0:
        raise PublisherError(f"openssl cannot read {certificate}: {done.stderr.decode(errors='replace').strip()}")
    return done.stdout.decode("utf-8").strip().removeprefix("subject=")


def split_rfc2253(text):
    """The parts of an RFC 2253 name, each a list of (type, value) pairs, escapes undone."""
    parts, pairs, current, value_of = [], [], bytearray(), None
    raw, at = text.encode("utf-8"), 0
    while at < len(raw):
        char = raw[at:at + 1]
        if char == b"\\":
            escaped = raw[at + 1:at + 3]
            if len(escaped) == 2 and all(c in b"0123456789ABCDEFabcdef" for c in escaped):
                current.append(int(escaped, 16))
                at += 3
                continue
            current += raw[at + 1:at + 2]
            at += 2
            continue
        if char == b"#" and value_of is not None and not current:  # the hex of an encoded value
            raise PublisherError(f"the value of {value_of} is not a string")
        if char == b"=" and value_of is None:
            value_of, current = current.decode("ascii"), bytearray()
        elif char in (b",", b"+"):
            pairs.append(finish_pair(value_of, current))
            value_of, current = None, bytearray()
            if char == b",":
                parts.append(pairs)
                pairs = []
        else:
            current += char
        at += 1
    pairs.append(finish_pair(value_of, current))
    parts.append(pairs)
    return parts


def finish_pair(attribute, value):
    if attribute is None or not re.fullmatch(r"[0-9]+(\.[0-9]+)+", attribute):
        raise PublisherError(f"the subject has a part openssl did not print as TYPE=value: {attribute}")
    return attribute, value.decode("utf-8")


def windows_value(value):
    if any(ord(c) < 0x20 and c != "\n" for c in value):
        raise PublisherError(f"the subject value {value!r} holds control characters")
    if value == "" or value != value.strip(" ") or any(c in QUOTED_WHEN_HOLDING for c in value):
        return '"' + value.replace('"', '""') + '"'
    return value


def publisher(subject):
    """The subject in RFC 2253 form as Windows writes it."""
    names = []
    for pairs in split_rfc2253(subject):
        if len(pairs) > 1:
            raise PublisherError("a part of the subject holds several values (A=x+B=y): no package publisher can name it")
        attribute, value = pairs[0]
        names.append(f"{KEYS.get(attribute, 'OID.' + attribute)}={windows_value(value)}")
    return ", ".join(names)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: cert_publisher.py CERT.pem")
    try:
        print(publisher(subject_rfc2253(sys.argv[1])))
    except PublisherError as error:
        sys.exit(f"cert_publisher: {error}")


if __name__ == "__main__":
    main()
