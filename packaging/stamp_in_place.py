"""What the release's time stamps written after a tool (summary_times.py, entry_times.py) share: the
file read, its bytes changed in place by a stamping function, written back; and their command line,
PROGRAM FILE SECONDS."""
import struct
import sys


def stamp_file(path, seconds, stamp):
    """Reads the file, lets `stamp(bytearray, seconds)` change its bytes, writes them back."""
    with open(path, "rb") as source:
        data = bytearray(source.read())
    stamp(data, seconds)
    with open(path, "wb") as target:
        target.write(data)


def main(argv, usage, stamp, errors):
    """The command line of a stamping program: 2 on bad usage, 1 naming the file on `errors`."""
    if len(argv) != 3 or not argv[2].isdigit():
        print(usage.strip(), file=sys.stderr)
        return 2
    try:
        stamp_file(argv[1], int(argv[2]), stamp)
    except (OSError, struct.error) + tuple(errors) as error:
        print("%s: %s: %s" % (argv[0].rsplit("/", 1)[-1], argv[1], error), file=sys.stderr)
        return 1
    return 0
