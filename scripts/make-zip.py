#!/usr/bin/env python3
"""Packs a folder into a zip that depends only on the files' names and
contents: entries in name order, each with the given time and the same
attributes, whatever the clock, umask, locale or file system say.

    python3 make-zip.py ZIP FOLDER EPOCH

The entries are named FOLDER's last component + "/" + the path inside it.
EPOCH is seconds since 1970 (SOURCE_DATE_EPOCH), stored as UTC.
"""

import os
import sys
import time
import zipfile


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    out, folder, epoch = argv
    folder = os.path.abspath(folder)
    # Zip times start in 1980.
    stamp = time.gmtime(max(int(epoch), 315532800))[:6]
    names = []
    for root, dirs, files in os.walk(folder):
        names += [os.path.relpath(os.path.join(root, f), folder) for f in files]
    top = os.path.basename(folder)
    with zipfile.ZipFile(out + ".part", "w") as z:
        for name in sorted(n.replace(os.sep, "/") for n in names):
            info = zipfile.ZipInfo(top + "/" + name, stamp)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.create_system = 3  # Unix, so that the mode below counts
            info.external_attr = 0o100644 << 16
            with open(os.path.join(folder, name), "rb") as f:
                z.writestr(info, f.read(), compresslevel=9)
    os.replace(out + ".part", out)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
