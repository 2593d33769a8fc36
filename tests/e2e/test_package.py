"""What a user downloads: the shipped 32-bit exe runs alone and imports only
system DLLs that Windows always takes from its own folder (the shell, COM and
WinINet are loaded when first called); nothing that someone without rights
can put beside it or set for it steers it; and the release zip holds it with
the delivered files."""

import os
import shutil
import subprocess
import unittest
import zipfile

import quellixtest as qt

# Windows' "known DLLs": never looked for beside the exe.
KNOWN_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "msvcrt.dll"}
PLANTED = os.path.join(qt.BINARY_DIR, "tests", "qx_planted32.dll")
SLOW = 900  # seconds: one 32-bit program under qemu-user takes minutes


def imports(exe, objdump):
    out = subprocess.run([objdump, "-p", exe], capture_output=True, check=True).stdout.decode()
    return {line.split("DLL Name:")[1].strip().lower() for line in out.splitlines() if "DLL Name:" in line}


def running(name):
    return subprocess.run(["pgrep", "-f", name], capture_output=True).returncode == 0


class Package(unittest.TestCase):
    def test_both_exes_import_only_known_dlls(self):
        for exe, objdump in ((qt.EXE, "x86_64-w64-mingw32-objdump"), (qt.EXE32, "i686-w64-mingw32-objdump")):
            if not exe or not os.path.exists(exe):
                continue
            with self.subTest(exe=exe):
                self.assertLessEqual(imports(exe, objdump), KNOWN_DLLS)

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
        self.assertEqual(zips, ["Quellix-%s.zip" % qt.VERSION])
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


class ShippedExeElevated(unittest.TestCase):
    def test_neither_a_planted_dll_nor_the_marks_variable_steers_it(self):
        """The shipped exe in a WoW64 prefix, with what a non-administrator
        can put beside it (Downloads is anyone's) or set for it
        (HKCU\\Environment): a DLL named like msimg32, and the variable that
        names the benchmarks' marks file."""
        if not qt.EXE32 or not os.path.exists(qt.EXE32) or not qt.i386_runs():
            self.skipTest("the i686 exe is not there or cannot run here")
        p = qt.Prefix("package-elevated", kind=qt.WIN64)
        self.addCleanup(p.close)
        p.install(exe=qt.EXE32)
        shutil.copy(PLANTED, p.app("msimg32.dll"))
        p.env["WINEDLLOVERRIDES"] += ";msimg32=n,b"  # native first for that name: Windows' order
        p.env["QUELLIX_STARTUP_MARKS"] = "C:\\marks-probe.txt"
        proc = p.start_exe()
        try:
            # A plain start, window shown and drawn: every DLL it needs is
            # loaded, and a marked build would have written several marks.
            self.assertTrue(qt.wait_until(lambda: proc.poll() is not None or p.client_rect(), SLOW))
            p.driver("close", qt.CAPTION)
            self.assertEqual(proc.wait(timeout=SLOW), 0)
        finally:
            if proc.poll() is None:
                proc.kill()
        self.assertFalse(os.path.exists(os.path.join(p.drive_c, "planted-dll-loaded.txt")))
        self.assertFalse(os.path.exists(os.path.join(p.drive_c, "marks-probe.txt")))

if __name__ == "__main__":
    qt.main()
