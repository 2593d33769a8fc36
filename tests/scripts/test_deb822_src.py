"""The deb-src entry that scripts/setup-machine.sh makes from a deb822 sources
file: every field of the deb entry comes along whole, an inline Signed-By key
with all its continuation lines included, or apt-get update fails on it."""

import os
import subprocess
import tempfile
import unittest

AWK = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "deb822-src.awk")

KEY = """Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEY865UxYJKwYBBAHaRw8BAQdAd7Z0srwuhlB6JKFkcf4HU4SSS/xcRfwEQWzr
 crf6AEq0SURlYmlhbiBTdGFibGUgUmVsZWFzZSBLZXkgKDEyL2Jvb2t3b3JtKSA8
 =MXrA
 -----END PGP PUBLIC KEY BLOCK-----"""

SOURCES = """# Debian's own
Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main contrib
%s
Architectures: amd64

Types: deb
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
""" % KEY


def entry(text, release="bookworm"):
    with tempfile.NamedTemporaryFile("w", suffix=".sources") as f:
        f.write(text)
        f.flush()
        return subprocess.run(["awk", "-v", "want=" + release, "-f", AWK, f.name],
                              capture_output=True, text=True, check=True).stdout


class Deb822Source(unittest.TestCase):
    def test_the_entry_keeps_every_field_whole(self):
        self.assertEqual(entry(SOURCES), "Types: deb-src\nSuites: bookworm\nComponents: main\n"
                         "URIs: http://deb.debian.org/debian\nSigned-By: %s\nArchitectures: amd64\n"
                         % KEY[len("Signed-By:"):])

    def test_an_existing_source_entry_is_kept(self):
        self.assertEqual(entry(SOURCES.replace("Types: deb\n", "Types: deb deb-src\n", 1)), "have\n")
        self.assertEqual(entry(SOURCES, release="trixie"), "")


if __name__ == "__main__":
    unittest.main(verbosity=2)
