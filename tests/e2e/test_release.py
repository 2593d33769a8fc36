"""scripts/release.sh gives the same bytes from another folder, umask, locale and
time zone, and over a build folder configured by hand; with a key, signatures that
osslsigncode accepts and a changed byte breaks."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest
import zipfile

import quellixtest as qt


def copy_sources(tree):
    if not os.path.exists(tree):  # only the sources: SOURCE_DATE_EPOCH stands in for the history
        shutil.copytree(qt.SOURCE_DIR, tree, ignore=lambda d, names: {"build", ".git"} & set(names))


def release(tree, umask, **env):
    copy_sources(tree)
    base = {k: v for k, v in os.environ.items() if not k.startswith("QUELLIX_SIGN_")}
    subprocess.run(["bash", "scripts/release.sh"], cwd=tree, env={**base, **env}, check=True,
                   preexec_fn=lambda: os.umask(umask), stdout=subprocess.DEVNULL, timeout=2400)
    folder = os.path.join(tree, "build", "release", "release")
    return folder, pathlib.Path(folder, "SHA256SUMS").read_text()


class Release(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="release-", dir=qt.BINARY_DIR)
        cls.epoch = subprocess.run(["git", "-C", qt.SOURCE_DIR, "log", "-1", "--format=%ct"],
                                   capture_output=True, text=True, check=True).stdout.strip()
        cls.first = os.path.join(cls.root, "a")
        _, cls.sums = release(cls.first, 0o022, LC_ALL="C", TZ="UTC", SOURCE_DATE_EPOCH=cls.epoch)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def test_a_build_in_another_folder_gives_the_same_files(self):
        tree = os.path.join(self.root, "another-and-longer-folder")
        copy_sources(tree)
        subprocess.run(["cmake", "--preset", "i686", "-B", "build/release", "-DQUELLIX_MARKS=ON",
                        "-DQUELLIX_ANALYTICS_HOST=stale.invalid"], cwd=tree, check=True, stdout=subprocess.DEVNULL)
        _, sums = release(tree, 0o077, LC_ALL="C.UTF-8", TZ="Pacific/Kiritimati", SOURCE_DATE_EPOCH=self.epoch)
        self.assertEqual(sums, self.sums)
        self.assertIn(" BUILDINFO\n", sums)

    def test_a_signed_release_verifies_and_a_changed_byte_does_not(self):
        cert, pfx = os.path.join(self.root, "cert.pem"), os.path.join(self.root, "key.pfx")
        subprocess.run(f"openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=Throwaway -keyout"
                       f" {pfx}.pem -out {cert} && openssl pkcs12 -export -inkey {pfx}.pem -in {cert}"
                       f" -out {pfx} -passout 'pass:not secret'", shell=True, check=True)
        folder, _ = release(self.first, 0o022, QUELLIX_SIGN_PFX=pfx,
                            QUELLIX_SIGN_PASSWORD="not secret", SOURCE_DATE_EPOCH=self.epoch)
        subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=folder, check=True)
        exe = pathlib.Path(folder, "Quellix", "quellix.exe")
        with zipfile.ZipFile(os.path.join(folder, "Quellix-%s.zip" % qt.VERSION)) as z:
            self.assertEqual(z.read("Quellix/quellix.exe"), exe.read_bytes())
        for path in [exe] + [os.path.join(folder, "Quellix-" + qt.VERSION + end) for end in ("-setup.exe", ".msi")]:
            self.assertEqual(verify(path, cert), 0, path)
        data, mid = exe.read_bytes(), exe.stat().st_size // 2
        exe.write_bytes(data[:mid] + bytes([data[mid] ^ 1]) + data[mid + 1:])
        self.assertNotEqual(verify(exe, cert), 0)


def verify(path, cert):
    return subprocess.run(["osslsigncode", "verify", "-CAfile", cert, "-in", path],
                          capture_output=True).returncode


if __name__ == "__main__":
    qt.main()
