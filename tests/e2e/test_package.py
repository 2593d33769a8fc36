"""What a user downloads: the shipped 32-bit exe runs alone (only system DLLs,
and the shell, COM and WinINet only when first called), and the release zip
holds it with the delivered files."""

import os
import shutil
import subprocess
import unittest
import zipfile

import quellixtest as qt

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msimg32.dll", "advapi32.dll",
               "shell32.dll", "wininet.dll", "msvcrt.dll", "comctl32.dll", "ole32.dll",
               "crypt32.dll", "ws2_32.dll"}
# Loaded on first use: every start would pay for them.
LOADED_LATE = {"shell32.dll", "ole32.dll", "wininet.dll"}


def imports(exe, objdump):
    out = subprocess.run([objdump, "-p", exe], capture_output=True, check=True).stdout.decode()
    return {line.split("DLL Name:")[1].strip().lower() for line in out.splitlines() if "DLL Name:" in line}


def running(name):
    return subprocess.run(["pgrep", "-f", name], capture_output=True).returncode == 0


class Package(unittest.TestCase):
    def test_both_exes_need_only_system_dlls(self):
        for exe, objdump in ((qt.EXE, "x86_64-w64-mingw32-objdump"), (qt.EXE32, "i686-w64-mingw32-objdump")):
            if not exe or not os.path.exists(exe):
                continue
            with self.subTest(exe=exe):
                self.assertLessEqual(imports(exe, objdump), SYSTEM_DLLS)
                self.assertFalse(imports(exe, objdump) & LOADED_LATE)

    def test_shipped_exe_has_aslr_dep_and_terminal_server_awareness(self):
        if not qt.EXE32 or not os.path.exists(qt.EXE32):
            self.skipTest("the i686 build is not there")
        header = subprocess.run(["i686-w64-mingw32-objdump", "-p", qt.EXE32], capture_output=True,
                                check=True).stdout.decode()
        for flag in ("DYNAMIC_BASE", "NX_COMPAT", "TERMINAL_SERVICE_AWARE"):
            self.assertIn("\t" + flag + "\n", header)
        self.assertNotIn("relocations stripped", header)  # ASLR needs them

    def test_release_zip_holds_the_exe_and_the_delivered_files(self):
        if not qt.EXE32 or not os.path.exists(qt.EXE32):
            self.skipTest("the i686 build is not there")
        release = os.path.join(os.path.dirname(qt.EXE32), "release")
        zips = [f for f in os.listdir(release) if f.endswith(".zip")]
        self.assertEqual(zips, ["Quellix-3.3.zip"])
        with zipfile.ZipFile(os.path.join(release, zips[0])) as z:
            names = sorted(n for n in z.namelist() if not n.endswith("/"))
            self.assertEqual(names, ["Quellix/quellix.exe", "Quellix/readme.txt",
                                     "Quellix/stop-gwx-from-startup.bat"])
            with open(qt.EXE32, "rb") as f:
                self.assertEqual(z.read("Quellix/quellix.exe"), f.read())
            for name in ("readme.txt", "stop-gwx-from-startup.bat"):
                with open(os.path.join(qt.DELIVERED, name), "rb") as f:
                    self.assertEqual(z.read("Quellix/" + name), f.read())

    def test_delivered_batch_file_ends_running_gwx_programs_and_says_so(self):
        p = qt.Prefix("package-batch")
        try:
            p.install()
            # A running program named like a GWX executable.
            os.makedirs(p.system32("GWX"), exist_ok=True)
            shutil.copy(qt.DRIVER, p.system32("GWX", "GWXUX.exe"))
            proc = subprocess.Popen([qt.WINE64, "C:\\windows\\system32\\GWX\\GWXUX.exe", "wait",
                                     "QuellixNeverShown", "60000"], env=p.env,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            try:
                self.assertTrue(qt.wait_until(lambda: running("GWXUX.exe"), 30))
                r = p.wine(["cmd", "/c", "C:\\Quellix\\stop-gwx-from-startup.bat"], timeout=120,
                           cwd=p.app_dir)
                self.assertEqual(r.returncode, 0)
                out = r.stdout.decode("latin-1")
                self.assertIn("GWXUX.exe: ended", out)
                for name in ("GWX.exe", "GWXConfigManager.exe", "GWXDetector.exe", "GWXUXWorker.exe"):
                    self.assertIn(name + ": not running", out)
                proc.wait(timeout=30)  # ended by the batch file, not by the test
            finally:
                if proc.poll() is None:
                    proc.kill()
        finally:
            p.close()


if __name__ == "__main__":
    qt.main()
