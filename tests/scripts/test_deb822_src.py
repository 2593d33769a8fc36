"""The deb-src entry that scripts/setup-machine.sh makes from a deb822 sources
file keeps every field whole: an inline Signed-By key with all its
continuation lines, or apt-get update fails on the entry."""

import os
import subprocess
import tempfile
import unittest

AWK = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "deb822-src.awk")
KEY = """
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEY865UxYJKwYBBAHaRw8BAQdAd7Z0srwuhlB6JKFkcf4HU4SSS/xcRfwEQWzr
 -----END PGP PUBLIC KEY BLOCK-----"""


class Deb822Source(unittest.TestCase):
    def test_an_inline_key_comes_along_whole(self):
        with tempfile.NamedTemporaryFile("w", suffix=".sources") as f:
            f.write("Types: deb\nURIs: http://deb.debian.org/debian\nSuites: bookworm\n"
                    "Components: main\nSigned-By:%s\nArchitectures: amd64\n" % KEY)
            f.flush()
            out = subprocess.run(["awk", "-v", "want=bookworm", "-f", AWK, f.name],
                                 capture_output=True, text=True, check=True).stdout
        self.assertEqual(out, "Types: deb-src\nSuites: bookworm\nComponents: main\n"
                         "URIs: http://deb.debian.org/debian\nSigned-By: %s\nArchitectures: amd64\n" % KEY)


if __name__ == "__main__":
    unittest.main(verbosity=2)
