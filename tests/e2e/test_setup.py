"""The setup program of the release folder, run silently in a WoW64 prefix:
what it installs and registers, the start event it has the shipped exe send,
and what its uninstaller removes and leaves.

The start event goes through the prefix's proxy to the local HTTPS peer
(proxy_tunnel.py); where the machine allows, the whole test also runs in a
private network namespace."""

import os
import re
import socket
import subprocess
import unittest

import quellixtest as qt
from proxy_tunnel import I686_DIR, analytics_host, hs, peer_behind_proxy, proxied_prefix

ISOLATED = hs.isolate_network()
SETUP = os.path.join(I686_DIR, "release", "Quellix-%s-setup.exe" % qt.VERSION)
WORK = os.path.join(qt.BINARY_DIR, "e2e", "setup-peer")
UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quellix"
IFEO = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options"
WINDOWS_UPDATE = r"HKLM\SOFTWARE\Policies\Microsoft\Windows\WindowsUpdate"
PROGRAM_FILES = "C:\\Program Files (x86)\\Quellix"
SHORTCUT = ("ProgramData", "Microsoft", "Windows", "Start Menu", "Programs", "Quellix.lnk")
INSTALLED = ["quellix.exe", "readme.txt", "stop-gwx-from-startup.bat", "uninstall.exe"]
WRITTEN_BY_THE_PROGRAM = ["log.txt", "log2.txt", "disable-triggers.cmd"]
SLOW = 900  # seconds: one 32-bit program under qemu-user takes minutes
RIGHTS = ["/setowner *S-1-5-32-544 /T /C",
          "/inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX"]


class SetupProgram(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        if not qt.EXE32 or not os.path.exists(SETUP):
            raise unittest.SkipTest("the i686 release folder has no setup program (%s)" % SETUP)
        if not qt.i386_runs():
            raise unittest.SkipTest("32-bit programs cannot run on this machine (no i386 support, no qemu-user binfmt)")

    def new_prefix(self, name, proxy_port):
        return proxied_prefix(self, name, proxy_port)

    def prefix_with_no_one_listening(self, name):
        """Its proxy port refuses connections: the start event cannot go."""
        holder = socket.socket()
        self.addCleanup(holder.close)
        holder.bind((hs.HOST, 0))
        return self.new_prefix(name, holder.getsockname()[1])

    def reg_ok(self, p, *args):
        rc, out = p.reg(*args)
        self.assertEqual(rc, 0, out)

    def run_setup(self, p, *args, timeout=SLOW, trace=None):
        # As typed at a command prompt: NSIS takes /D= unquoted, blanks and
        # all, which Wine's quoting of a separate argument would not give it.
        line = " ".join([hs.windows_path(SETUP), "/S"] + list(args))
        p.env["WINEDEBUG"] = trace or "-all"
        r = p.wine(["cmd", "/s", "/c", line], timeout=timeout)
        p.env["WINEDEBUG"] = "-all"
        return (r.returncode, r.stderr.decode("latin-1")) if trace else r.returncode

    def wait_for_the_prefix(self, p, timeout=SLOW):
        """Until every program in the prefix has ended."""
        subprocess.run([qt.WINESERVER, "-w"], env=p.env, timeout=timeout)

    def unix(self, p, windows_path):
        self.assertTrue(windows_path[1:3] == ":\\", windows_path)
        return os.path.join(p.drive_c, *windows_path[3:].split("\\"))

    def entry(self, p, name, view="/reg:32"):
        return p.reg_value(UNINSTALL_KEY, name, view)

    def test_silent_install_reports_once_and_uninstall_removes_it(self):
        peer, proxy = peer_behind_proxy(self, WORK, ISOLATED)
        p = proxied_prefix(self, "setup", proxy.port, trust_ca_in=WORK)

        self.assertEqual(self.run_setup(p), 0)

        folder = self.unix(p, PROGRAM_FILES)
        self.assertEqual(sorted(os.listdir(folder)), INSTALLED)
        with open(qt.EXE32, "rb") as a, open(os.path.join(folder, "quellix.exe"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        for name in ("readme.txt", "stop-gwx-from-startup.bat"):
            with open(os.path.join(qt.DELIVERED, name), "rb") as a, open(os.path.join(folder, name), "rb") as b:
                self.assertEqual(a.read(), b.read(), name)
        shortcut = os.path.join(p.drive_c, *SHORTCUT)
        with open(shortcut, "rb") as f:
            self.assertIn(b"quellix.exe", f.read().lower())

        exe = PROGRAM_FILES + "\\quellix.exe"
        uninstaller = '"%s\\uninstall.exe"' % PROGRAM_FILES
        self.assertEqual(self.entry(p, "DisplayName"), "Quellix")
        self.assertEqual(self.entry(p, "DisplayVersion"), qt.VERSION)
        self.assertEqual(self.entry(p, "Publisher"), "Quellix Software")
        self.assertEqual(self.entry(p, "DisplayIcon"), exe + ",0")
        self.assertEqual(self.entry(p, "InstallLocation"), PROGRAM_FILES)
        self.assertEqual(self.entry(p, "UninstallString"), uninstaller)
        self.assertEqual(self.entry(p, "QuietUninstallString"), uninstaller + " /S")
        size_kb = int(self.entry(p, "EstimatedSize"), 16)
        self.assertGreaterEqual(size_kb * 1024, os.path.getsize(qt.EXE32))
        self.assertIsNone(self.entry(p, "DisplayName", "/reg:64"), "the entry belongs in the 32-bit view")

        self.assertEqual(proxy.refused, [])
        self.assertEqual(proxy.tunnelled, ["%s:443" % analytics_host()])
        requests = peer.recorded()
        self.assertEqual(len(requests), 1, requests)
        self.assertTrue(requests[0][1].startswith(b"POST /1/events/AppOpened HTTP/1.1\r\n"), requests[0][1])

        # What a run of the program leaves beside it.
        for name in WRITTEN_BY_THE_PROGRAM:
            with open(os.path.join(folder, name), "w") as f:
                f.write("written by quellix.exe\r\n")

        quiet = self.entry(p, "QuietUninstallString")
        r = p.wine([quiet[1:quiet.index('"', 1)], "/S"], timeout=SLOW)
        self.assertEqual(r.returncode, 0)
        self.wait_for_the_prefix(p)  # the uninstaller works from a copy of itself

        self.assertFalse(os.path.exists(folder), os.listdir(folder) if os.path.isdir(folder) else "")
        self.assertFalse(os.path.exists(shortcut))
        self.assertNotEqual(p.reg("query", UNINSTALL_KEY, "/reg:32")[0], 0, "the uninstall entry is still there")

    def test_folder_with_blanks_and_an_upgrade_that_keeps_the_logs_with_no_one_listening(self):
        p = self.prefix_with_no_one_listening("setup-blanks")
        target = "C:\\My Tools\\Quellix Blocker"
        folder = self.unix(p, target)

        self.assertEqual(self.run_setup(p, "/D=" + target), 0)
        self.assertEqual(sorted(os.listdir(folder)), INSTALLED)
        self.assertEqual(self.entry(p, "InstallLocation"), target)
        self.assertFalse(os.path.exists(self.unix(p, PROGRAM_FILES)))

        logs = {"log.txt": b"stop-gwx-from-startup.bat said\r\n",
                "log2.txt": b"2026-01-02 03:04:05 renamed GWX to GWX-\r\n"}
        for name, data in logs.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)
        os.remove(os.path.join(folder, "quellix.exe"))
        # The upgrade finds the earlier folder by itself.
        self.assertEqual(self.run_setup(p), 0)
        self.assertTrue(os.path.isfile(os.path.join(folder, "quellix.exe")))
        for name, data in logs.items():
            with open(os.path.join(folder, name), "rb") as f:
                self.assertEqual(f.read(), data, name)

    def test_a_proxy_that_never_answers_holds_up_neither_setup_nor_the_start_event(self):
        silent = socket.create_server((hs.HOST, 0))  # takes connections, never answers
        self.addCleanup(silent.close)
        p = self.new_prefix("setup-silent-proxy", silent.getsockname()[1])
        guard = 120 if qt.i386_mode.mode() == "native" else SLOW  # against a hang, not a measure
        self.assertEqual(self.run_setup(p, timeout=guard), 0)
        self.assertEqual(sorted(os.listdir(self.unix(p, PROGRAM_FILES))), INSTALLED)
        silent.setblocking(False)
        held = silent.accept()[0]  # the start event did go to the proxy
        self.addCleanup(held.close)  # open until "/postins" has given up by itself
        self.wait_for_the_prefix(p, timeout=guard)

    def test_a_folder_of_the_users_keeps_its_files_and_no_entry_names_the_removed_copy(self):
        p = self.prefix_with_no_one_listening("setup-users-folder")
        tools = self.unix(p, "C:\\Tools")
        os.makedirs(tools)
        with open(os.path.join(tools, "readme.txt"), "wb") as f:
            f.write(b"my tools\r\n")
        rc, trace = self.run_setup(p, "/D=C:\\Tools", trace="+process,+file")
        self.assertEqual(rc, 0)
        self.assertEqual(sorted(os.listdir(os.path.join(tools, "Quellix"))), INSTALLED)
        # Wine keeps no owners or access lists: what shows is the calls, and that they come before the first file.
        calls = [(m.start(), re.sub(r"\\(.)", r"\1", m.group(1))) for m in
                 re.finditer(r'CreateProcessInternalW app .* cmdline L"(.*icacls.*)"$', trace, re.M)]
        self.assertEqual([c for _, c in calls], ['"C:\\windows\\system32\\icacls.exe" "C:\\Tools\\Quellix" ' + r
                                                 for r in RIGHTS])
        self.assertLess(calls[-1][0], trace.index(r'CreateFileW L"C:\\Tools\\Quellix\\'))

        # The blocking entries naming this copy go with it, as unprotect takes them; the others and the policy stay.
        this, other = '"C:\\Tools\\Quellix\\quellix.exe" /deb', '"C:\\Other\\quellix.exe" /deb'
        self.reg_ok(p, "add", IFEO + r"\GWX.EXE", "/v", "Debugger", "/d", this, "/f", "/reg:32")
        self.reg_ok(p, "add", IFEO + r"\GWXDetector.exe", "/v", "Debugger", "/d", other, "/f", "/reg:32")
        self.reg_ok(p, "add", WINDOWS_UPDATE, "/v", "DisableOSUpgrade", "/t", "REG_DWORD", "/d", "1", "/f", "/reg:64")
        self.assertEqual(p.wine(["C:\\Tools\\Quellix\\uninstall.exe", "/S"], timeout=SLOW).returncode, 0)
        self.wait_for_the_prefix(p)
        self.assertEqual(os.listdir(tools), ["readme.txt"])
        with open(os.path.join(tools, "readme.txt"), "rb") as f:
            self.assertEqual(f.read(), b"my tools\r\n")
        self.assertNotEqual(p.reg("query", IFEO + r"\GWX.EXE", "/reg:32")[0], 0, "the entry naming the removed copy")
        self.assertEqual(p.reg_value(IFEO + r"\GWXDetector.exe", "Debugger", "/reg:32"), other)
        self.assertEqual(p.reg_value(WINDOWS_UPDATE, "DisableOSUpgrade", "/reg:64"), "0x1")


if __name__ == "__main__":
    qt.main()
