"""The release folder as scripts/release.sh builds it: the same sources built
in another folder, under another umask, locale and time zone, give the same
bytes; with a key, its Windows files carry a signature that osslsigncode
accepts, and one changed byte breaks it."""

import os
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import quellixtest as qt

RELEASE = os.path.join("build", "i686", "release")


def copy_sources(dest):
    # Only the sources: no earlier build, no history (SOURCE_DATE_EPOCH stands in).
    shutil.copytree(qt.SOURCE_DIR, dest,
                    ignore=lambda d, names: {"build", ".git"} if d == qt.SOURCE_DIR else set())


def release(tree, umask, **env):
    # Signed only where the test gives the key.
    base = {k: v for k, v in os.environ.items() if not k.startswith("QUELLIX_SIGN_")}
    subprocess.run(["bash", "scripts/release.sh"], cwd=tree, env={**base, **env},
                   preexec_fn=lambda: os.umask(umask), check=True, timeout=2400,
                   stdout=subprocess.DEVNULL)
    with open(os.path.join(tree, RELEASE, "SHA256SUMS")) as f:
        return f.read()


def verified(path, cert):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path],
                          capture_output=True).returncode == 0


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="release-", dir=qt.BINARY_DIR)
        epoch = subprocess.run(["git", "-C", qt.SOURCE_DIR, "log", "-1", "--format=%ct"],
                               capture_output=True, text=True, check=True).stdout.strip()
        cls.env = {"SOURCE_DATE_EPOCH": epoch}
        cls.first = os.path.join(cls.root, "a")
        copy_sources(cls.first)
        cls.sums = release(cls.first, 0o022, LC_ALL="C", TZ="UTC", **cls.env)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_a_build_in_another_folder_gives_the_same_files(self):
        second = os.path.join(self.root, "another-and-longer-folder")
        copy_sources(second)
        sums = release(second, 0o077, LC_ALL="C.UTF-8", TZ="Pacific/Kiritimati", **self.env)
        names = [line.split("  ", 1)[1] for line in sums.splitlines()]
        self.assertEqual(names[:5], ["Quellix/quellix.exe", "Quellix/stop-gwx-from-startup.bat",
                                     "Quellix/readme.txt", "Quellix-3.3.zip",
                                     "Quellix-3.3-setup.exe"])
        self.assertEqual(sums, self.sums)

    def test_a_signed_release_verifies_and_a_changed_byte_does_not(self):
        key, cert, pfx = (os.path.join(self.root, n) for n in ("key.pem", "cert.pem", "key.pfx"))
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Quellix throwaway", "-keyout", key, "-out", cert,
                        "-addext", "extendedKeyUsage=codeSigning"], capture_output=True, check=True)
        subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                        "-passout", "pass:not a secret"], check=True)
        release(self.first, 0o022, QUELLIX_SIGN_PFX=pfx, QUELLIX_SIGN_PASSWORD="not a secret",
                **self.env)
        folder = os.path.join(self.first, RELEASE)
        # The list is of the signed files.
        subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=folder, check=True)

        zipped = os.path.join(self.root, "zipped.exe")
        with zipfile.ZipFile(os.path.join(folder, "Quellix-3.3.zip")) as z, open(zipped, "wb") as f:
            f.write(z.read("Quellix/quellix.exe"))
        signed = [os.path.join(folder, "Quellix", "quellix.exe"), zipped,
                  os.path.join(folder, "Quellix-3.3-setup.exe")]
        msi = os.path.join(folder, "Quellix-3.3.msi")
        if os.path.exists(msi):
            signed.append(msi)
        for path in signed:
            with self.subTest(path=path):
                self.assertTrue(verified(path, cert))

        with open(zipped, "r+b") as f:
            f.seek(os.path.getsize(zipped) // 2)
            byte = f.read(1)
            f.seek(-1, os.SEEK_CUR)
            f.write(bytes([byte[0] ^ 1]))
        self.assertFalse(verified(zipped, cert))


if __name__ == "__main__":
    qt.main()
