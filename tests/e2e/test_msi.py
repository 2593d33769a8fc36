"""The MSI package of the release folder, run by msiexec in a WoW64 prefix:
what a silent installation puts in place and reports, its folder's access
list outside Program Files, an upgrade, and what an uninstall removes and
leaves. The start event goes through the prefix's proxy to the local peer."""

import glob
import os
import re
import socket
import subprocess
import unittest

import quellixtest as qt
from proxy_tunnel import I686_DIR, analytics_host, hs, peer_behind_proxy, proxied_prefix

ISOLATED = hs.isolate_network()
MSI = os.path.join(I686_DIR, "release", "Quellix-3.3.msi")
WORK = os.path.join(qt.BINARY_DIR, "e2e", "msi-peer")
UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
REMEMBERED = r"HKLM\Software\Quellix"
IFEO_GWX = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options\GWX.EXE"
PROGRAM_FILES = "C:\\Program Files (x86)\\Quellix"
# Windows puts a per-machine package's shortcut in the common Start menu;
# Wine's msiexec in the user's.
SHORTCUTS = [("ProgramData",), ("users", "*", "AppData", "Roaming")]
INSTALLED = ["quellix.exe", "readme.txt", "stop-gwx-from-startup.bat"]
WRITTEN_BY_THE_PROGRAM = ["log.txt", "log2.txt", "disable-triggers.cmd"]
RIGHTS = "/inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"
SLOW = 900  # seconds: one 32-bit program under qemu-user takes minutes


def product_code(msi):
    out = subprocess.run(["msiinfo", "export", msi, "Property"], check=True, capture_output=True, text=True).stdout
    return re.search(r"^ProductCode\t(\S+)", out, re.M).group(1)


class MsiPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not qt.EXE32 or not os.path.exists(MSI):
            raise unittest.SkipTest("the i686 release folder has no MSI package (%s)" % MSI)
        if not qt.i386_runs():
            raise unittest.SkipTest("32-bit programs cannot run on this machine (no i386 support, no qemu-user binfmt)")

    def msiexec(self, p, *args):
        """msiexec's exit code and the command lines of the programs it started."""
        p.env["WINEDEBUG"] = "+process"
        try:
            r = p.wine(["msiexec"] + list(args), timeout=SLOW)
        finally:
            p.env["WINEDEBUG"] = "-all"
        # Until the start event, which msiexec does not wait for, is sent.
        subprocess.run([qt.WINESERVER, "-w"], env=p.env, timeout=SLOW)
        started = re.findall(r'CreateProcessInternalW app .* cmdline L"(.*)"$', r.stderr.decode("latin-1"), re.M)
        return r.returncode, [re.sub(r"\\(.)", r"\1", line) for line in started]

    def unix(self, p, windows_path):
        return os.path.join(p.drive_c, *windows_path[3:].split("\\"))

    def shortcuts(self, p):
        return [f for parts in SHORTCUTS for f in glob.glob(os.path.join(
            p.drive_c, *parts, "Microsoft", "Windows", "Start Menu", "Programs", "Quellix.lnk"))]

    def entry(self, p, name, msi=MSI):
        return p.reg_value(UNINSTALL + product_code(msi), name, "/reg:32")

    def test_silent_install_reports_once_and_uninstall_removes_it(self):
        peer, proxy = peer_behind_proxy(self, WORK, ISOLATED)
        p = proxied_prefix(self, "msi", proxy.port, trust_ca_in=WORK)

        rc, started = self.msiexec(p, "/i", hs.windows_path(MSI), "/qn")
        self.assertEqual(rc, 0)

        folder = self.unix(p, PROGRAM_FILES)
        self.assertEqual(sorted(os.listdir(folder)), INSTALLED)
        with open(qt.EXE32, "rb") as a, open(os.path.join(folder, "quellix.exe"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        for name in INSTALLED[1:]:
            with open(os.path.join(qt.DELIVERED, name), "rb") as a, open(os.path.join(folder, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        [shortcut] = self.shortcuts(p)
        with open(shortcut, "rb") as f:
            self.assertIn(b"quellix.exe", f.read().lower())
        self.assertEqual(self.entry(p, "DisplayName"), "Quellix")
        self.assertEqual(self.entry(p, "DisplayVersion"), "3.3")
        self.assertEqual(self.entry(p, "Publisher"), "Quellix Software")
        self.assertEqual(self.entry(p, "InstallLocation"), PROGRAM_FILES + "\\")
        # Program Files has the right access list already.
        self.assertFalse([c for c in started if "icacls" in c.lower()], started)

        self.assertEqual(proxy.refused, [])
        self.assertEqual(proxy.tunnelled, ["%s:443" % analytics_host()])
        requests = peer.recorded()
        self.assertEqual(len(requests), 1, requests)
        self.assertTrue(requests[0][1].startswith(b"POST /1/events/AppOpened HTTP/1.1\r\n"), requests[0][1])

        # What a run of the program leaves: its files beside it and a blocking entry.
        for name in WRITTEN_BY_THE_PROGRAM:
            with open(os.path.join(folder, name), "w") as f:
                f.write("written by quellix.exe\r\n")
        debugger = '"%s\\quellix.exe" /deb' % PROGRAM_FILES
        self.assertEqual(p.reg("add", IFEO_GWX, "/v", "Debugger", "/d", debugger, "/f", "/reg:32")[0], 0)

        rc, started = self.msiexec(p, "/x", hs.windows_path(MSI), "/qn")
        self.assertEqual(rc, 0)
        self.assertFalse(os.path.exists(folder), os.listdir(folder) if os.path.isdir(folder) else "")
        self.assertEqual(self.shortcuts(p), [])
        self.assertIsNone(self.entry(p, "DisplayName"))
        self.assertNotEqual(p.reg("query", REMEMBERED, "/reg:32")[0], 0)
        self.assertEqual(p.reg_value(IFEO_GWX, "Debugger", "/reg:32"), debugger, "the blocking entry went with the program")
        self.assertEqual(len(peer.recorded()), 1, "the uninstall reported")

    def test_folder_with_blanks_its_rights_and_an_upgrade_that_keeps_the_logs(self):
        # A proxy port that refuses connections: the start event cannot go.
        holder = socket.socket()
        self.addCleanup(holder.close)
        holder.bind((hs.HOST, 0))
        p = proxied_prefix(self, "msi-blanks", holder.getsockname()[1])
        target = "C:\\My Tools\\Quellix Blocker"
        folder = self.unix(p, target)

        rc, started = self.msiexec(p, "/i", hs.windows_path(MSI), "/qn", "INSTALLDIR=" + target)
        self.assertEqual(rc, 0)
        self.assertEqual(sorted(os.listdir(folder)), INSTALLED)
        self.assertFalse(os.path.exists(self.unix(p, PROGRAM_FILES)))
        self.assertEqual(self.entry(p, "InstallLocation"), target + "\\")
        # Wine keeps no access lists: what shows is the call.
        icacls = [c for c in started if "icacls" in c.lower()]
        self.assertEqual(len(icacls), 1, started)
        self.assertRegex(icacls[0], r'(?i)^"?C:\\windows\\syswow64\\icacls\.exe"? ')
        self.assertTrue(icacls[0].endswith(' "%s\\." %s' % (target, RIGHTS)), icacls[0])

        logs = {"log.txt": b"stop-gwx-from-startup.bat said\r\n",
                "log2.txt": b"2026-01-02 03:04:05 renamed GWX to GWX-\r\n"}
        for name, data in logs.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)

        # A later version, built as the release build builds this one. It
        # finds the earlier folder by itself.
        later = os.path.join(p.root, "Quellix-3.4.msi")
        subprocess.run(["cmake", "-DVERSION=3.4", "-DEXE=" + qt.EXE32, "-DDELIVERED=" + qt.DELIVERED,
                        "-DICON=" + os.path.join(qt.SOURCE_DIR, "src", "assets", "quellix.ico"),
                        "-DWXS=" + os.path.join(qt.SOURCE_DIR, "installer", "quellix.wxs"), "-DOUTFILE=" + later,
                        "-DWIXL=wixl", "-DMSIBUILD=msibuild", "-DFAKETIME=faketime",
                        "-P", os.path.join(qt.SOURCE_DIR, "installer", "msi.cmake")], check=True)
        rc, _ = self.msiexec(p, "/i", hs.windows_path(later), "/qn")
        self.assertEqual(rc, 0)
        self.assertEqual(sorted(os.listdir(folder)), sorted(INSTALLED + list(logs)))
        for name, data in logs.items():
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertIsNone(self.entry(p, "DisplayName"), "the earlier version is still registered")
        self.assertEqual(self.entry(p, "DisplayVersion", msi=later), "3.4")
        self.assertFalse(os.path.exists(self.unix(p, PROGRAM_FILES)))


if __name__ == "__main__":
    qt.main()
