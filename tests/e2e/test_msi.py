"""The release folder's MSI under msiexec in a WoW64 prefix: installation,
start event (through the prefix's proxy), upgrade and uninstall, and the
setup program beside it."""

import filecmp
import glob
import os
import re
import subprocess
import unittest

import quellixtest as qt
from proxy_tunnel import I686_DIR, hs, peer_behind_proxy, proxied_prefix

ISOLATED = hs.isolate_network()
MSI = os.path.join(I686_DIR, "release", "Quellix-%s.msi" % qt.VERSION)
SETUP = MSI[:-len(".msi")] + "-setup.exe"
SETUP_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quellix"
WORK = os.path.join(qt.BINARY_DIR, "e2e", "msi-peer")
IFEO_GWX = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options\GWX.EXE"
CHOSEN = "C:\\My Tools\\Quellix Blocker"  # holds others' files: the package goes into a folder inside
TARGET = CHOSEN + "\\Quellix"
FOREIGN = {"notes.txt": b"my notes\r\n", "log.txt": b"another program's log\r\n"}
RIGHTS = "/inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"
INSTALLED = ["quellix.exe", "readme.txt", "stop-gwx-from-startup.bat"]


class MsiPackage(unittest.TestCase):
    def setUp(self):  # not setUpClass: a skipped class counts as no test run, and exits 0, not 77
        if not qt.EXE32 or not os.path.exists(MSI):
            raise unittest.SkipTest("the i686 release folder has no MSI package (%s)" % MSI)
        if not qt.i386_runs():
            raise unittest.SkipTest("32-bit programs cannot run on this machine (no i386 support, no qemu-user binfmt)")

    def msiexec(self, p, *args, succeeds=True):
        """Runs it to the end of what it started; the command lines it started."""
        p.env["WINEDEBUG"] = "+process"
        r = p.wine(["msiexec"] + list(args) + ["/qn"], timeout=900)
        p.env["WINEDEBUG"] = "-all"
        self.assertEqual(r.returncode == 0, succeeds, r.returncode)
        subprocess.run([qt.WINESERVER, "-w"], env=p.env, timeout=900)  # the start event is not waited for
        started = re.findall(r'CreateProcessInternalW app .* cmdline L"(.*)"$', r.stderr.decode("latin-1"), re.M)
        return [re.sub(r"\\(.)", r"\1", line) for line in started]

    def entry(self, p, msi):
        """DisplayName, DisplayVersion, Publisher and InstallLocation of its uninstall entry."""
        code = re.search(r"^ProductCode\t(\S+)", subprocess.run(["msiinfo", "export", msi, "Property"],
                         capture_output=True, text=True).stdout, re.M).group(1)
        key = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code
        return [p.reg_value(key, name, "/reg:32") for name in ("DisplayName", "DisplayVersion", "Publisher", "InstallLocation")]

    def test_install_upgrade_uninstall(self):
        # Wine runs deferred actions only at the end: the order is the package's.
        rows = subprocess.run(["msiinfo", "export", MSI, "InstallExecuteSequence"], capture_output=True,
                              text=True).stdout.splitlines()[3:]
        sequence = {action: (int(number), condition) for action, condition, number in (r.split("\t") for r in rows)}
        self.assertTrue(sequence["CreateFolders"] < sequence["OwnFolder"] < sequence["RestrictFolder"]
                        < sequence["InstallFiles"], sequence)

        peer, proxy = peer_behind_proxy(self, WORK, ISOLATED)
        p = proxied_prefix(self, "msi", proxy.port, trust_ca_in=WORK)
        chosen = os.path.join(p.drive_c, "My Tools", "Quellix Blocker")
        os.makedirs(chosen)
        for name, data in FOREIGN.items():
            with open(os.path.join(chosen, name), "wb") as f:
                f.write(data)
        folder = os.path.join(chosen, "Quellix")
        # Windows puts a per-machine shortcut in the common Start menu, Wine's msiexec in the user's.
        shortcuts = lambda: glob.glob(os.path.join(p.drive_c, "**", "Start Menu", "Programs", "Quellix.lnk"),
                                      recursive=True)

        started = self.msiexec(p, "/i", hs.windows_path(MSI), "INSTALLDIR=" + CHOSEN)
        self.assertEqual(sorted(os.listdir(folder)), INSTALLED)
        self.assertTrue(filecmp.cmp(qt.EXE32, os.path.join(folder, "quellix.exe"), shallow=False))
        self.assertEqual(len(shortcuts()), 1)
        self.assertEqual(self.entry(p, MSI), ["Quellix", qt.VERSION, "Quellix Software", TARGET + "\\"])
        # Wine keeps no access lists: what shows is the calls, owner first, on the new folder only.
        calls = [c for c in started if "icacls" in c.lower()]
        self.assertEqual(len(calls), 2, calls)
        for call, rights in zip(calls, ["/setowner *S-1-5-32-544 /T /C", RIGHTS]):
            self.assertRegex(call, r'(?i)^"?C:\\windows\\syswow64\\icacls\.exe"? "%s\\\." %s$'
                             % (re.escape(TARGET), re.escape(rights)))
        [(_, request)] = peer.recorded()
        self.assertTrue(request.startswith(b"POST /1/events/AppOpened HTTP/1.1\r\n"), request)
        self.assertEqual(proxy.refused, [])
        # Over itself, as a repair: its custom actions run again, the start event does not (counted below).
        self.assertIn(calls[0], self.msiexec(p, "/i", hs.windows_path(MSI)))
        refused = p.wine([hs.windows_path(SETUP), "/S"], timeout=900)
        self.assertEqual(refused.returncode, 2)
        self.assertIn(b"from its Windows Installer package", refused.stderr)
        self.assertIsNone(p.reg_value(SETUP_KEY, "UninstallString", "/reg:32"))

        # A later version, built as the release build builds this one, finds the folder and keeps the logs.
        major, minor = qt.VERSION.split(".")[:2]
        version = "%s.%d" % (major, int(minor) + 1)
        later = os.path.join(p.root, "Quellix-%s.msi" % version)
        subprocess.run(["cmake", "-DVERSION=" + version, "-DEXE=" + qt.EXE32, "-DDELIVERED=" + qt.DELIVERED,
                        "-DICON=" + os.path.join(qt.SOURCE_DIR, "src", "assets", "quellix.ico"),
                        "-DWXS=" + os.path.join(qt.SOURCE_DIR, "installer", "quellix.wxs"), "-DOUTFILE=" + later,
                        "-DWIXL=wixl", "-DMSIBUILD=msibuild", "-DFAKETIME=faketime",
                        "-DACTIONS=" + os.path.join(I686_DIR, "installer", "msi_actions.dll"),
                        "-P", os.path.join(qt.SOURCE_DIR, "installer", "msi.cmake")], check=True,
                       env=dict(os.environ, SOURCE_DATE_EPOCH="1700000000"))
        for name in ("log.txt", "log2.txt", "disable-triggers.cmd"):
            with open(os.path.join(folder, name), "w") as f:
                f.write(name)
        debugger = '"%s\\quellix.exe" /deb' % TARGET
        for value in (("Debugger", "/d", debugger), ("MitigationOptions", "/t", "REG_DWORD", "/d", "1")):
            self.assertEqual(p.reg("add", IFEO_GWX, "/v", *value, "/f", "/reg:32")[0], 0)
        self.msiexec(p, "/i", hs.windows_path(later))
        self.assertEqual(p.reg_value(IFEO_GWX, "Debugger", "/reg:32"), debugger, "the copy it names is still there")
        for name in ("log.txt", "log2.txt"):
            with open(os.path.join(folder, name)) as f:
                self.assertEqual(f.read(), name)
        self.assertEqual(self.entry(p, MSI), [None] * 4)
        self.assertEqual(self.entry(p, later)[:2], ["Quellix", version])

        # The uninstall takes what the program wrote beside itself, and the blocking entry's value naming it.
        self.msiexec(p, "/x", hs.windows_path(later))
        self.assertFalse(os.path.exists(folder))
        for name, data in FOREIGN.items():
            with open(os.path.join(chosen, name), "rb") as f:
                self.assertEqual(f.read(), data, name)
        self.assertEqual(shortcuts(), [])
        self.assertEqual(self.entry(p, later), [None] * 4)
        self.assertIsNone(p.reg_value(IFEO_GWX, "Debugger", "/reg:32"))
        self.assertEqual(p.reg_value(IFEO_GWX, "MitigationOptions", "/reg:32"), "0x1")
        self.assertEqual(len(peer.recorded()), 2, "one start event for each installation, none for the repair or the removal")

        # Setup, then the package, then its removal: every uninstall entry still names files that exist.
        self.assertEqual(p.wine([hs.windows_path(SETUP), "/S"], timeout=900).returncode, 0)
        self.msiexec(p, "/i", hs.windows_path(MSI), succeeds=False)
        self.msiexec(p, "/x", hs.windows_path(MSI), succeeds=False)
        self.assertEqual(self.entry(p, MSI), [None] * 4)
        for value in ("UninstallString", "DisplayIcon"):
            path = re.match(r'"?C:\\([^",]+)', p.reg_value(SETUP_KEY, value, "/reg:32")).group(1)
            self.assertTrue(os.path.isfile(os.path.join(p.drive_c, *path.split("\\"))), value)


if __name__ == "__main__":
    qt.main()
