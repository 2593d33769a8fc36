"""The protection buttons with the real exe: clicks in the running window, the
registry entries they leave, a start through a blocking entry, and the views
the shipped 32-bit exe writes to under WoW64."""

import os
import unittest

import quellixtest as qt

IFEO = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options"
WINDOWS_UPDATE = r"HKLM\SOFTWARE\Policies\Microsoft\Windows\WindowsUpdate"
GWX_KEYS = ["GWX.EXE", "GWXUX.EXE", "GWXConfigManager.exe", "GWXDetector.exe", "GWXUXWorker.exe"]
EOS_KEYS = ["EOSNOTIFY.EXE", "SIPNOTIFY.EXE"]
CAPTION = "Quellix 3.3"
NOT_PROTECTED = "Not protected!"
PROTECTED = "Protected (click to Unprotect)"
DEBUGGER = '"C:\\Quellix\\quellix.exe" /deb'
# Where the "Not protected!" button of each pair stands in the window.
GWX_PLACE = (165, 143)
EOS_PLACE = (165, 216)


def reg_value(prefix, key, name, *flags):
    """The data text of one value as `reg query` prints it, or None."""
    rc, out = prefix.reg("query", key, "/v", name, *flags)
    if rc != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def key_exists(prefix, key, *flags):
    return prefix.reg("query", key, *flags)[0] == 0


def shown(prefix):
    """(caption, left, top) of every visible protection button."""
    return sorted((c["text"], c["left"], c["top"]) for c in prefix.controls(CAPTION)
                  if c["visible"] and c["text"] in (NOT_PROTECTED, PROTECTED))


class ProtectionWindow(unittest.TestCase):
    def setUp(self):
        self.prefix = qt.Prefix("protection")
        self.addCleanup(self.prefix.close)
        self.prefix.install()

    def start_window(self, args=(), exe="C:\\Quellix\\quellix.exe"):
        proc = self.prefix.start_exe(args, exe=exe)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        rc, _ = self.prefix.driver("wait", CAPTION, 30000)
        self.assertEqual(rc, 0, "the main window did not appear")
        return proc

    def click_and_wait(self, caption, expected):
        rc, _ = self.prefix.driver("click", CAPTION, caption)
        self.assertEqual(rc, 0, "no visible button '%s'" % caption)
        qt.wait_until(lambda: shown(self.prefix) == expected, timeout=20)
        self.assertEqual(shown(self.prefix), expected,
                         "after a click on '%s' (did the click reach its handler?)" % caption)

    def test_each_click_shows_the_other_button_of_its_pair_in_the_same_place(self):
        p = self.prefix
        proc = self.start_window()
        self.assertEqual(shown(p), sorted([(NOT_PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))

        # The first visible "Not protected!" is the GWX pair's.
        self.click_and_wait(NOT_PROTECTED, sorted([(PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))
        for key in GWX_KEYS:
            self.assertEqual(reg_value(p, IFEO + "\\" + key, "Debugger"), DEBUGGER, key)
        self.assertEqual(reg_value(p, WINDOWS_UPDATE, "DisableOSUpgrade", "/reg:64"), "0x1")
        for key in EOS_KEYS:
            self.assertFalse(key_exists(p, IFEO + "\\" + key), key)

        self.click_and_wait(NOT_PROTECTED, sorted([(PROTECTED,) + GWX_PLACE, (PROTECTED,) + EOS_PLACE]))
        for key in EOS_KEYS:
            self.assertEqual(reg_value(p, IFEO + "\\" + key, "Debugger"), "*", key)

        # Now the first visible "Protected" is the GWX pair's again.
        self.click_and_wait(PROTECTED, sorted([(NOT_PROTECTED,) + GWX_PLACE, (PROTECTED,) + EOS_PLACE]))
        for key in GWX_KEYS:
            self.assertFalse(key_exists(p, IFEO + "\\" + key), key)
        self.assertIsNone(reg_value(p, WINDOWS_UPDATE, "DisableOSUpgrade", "/reg:64"))

        self.click_and_wait(PROTECTED, sorted([(NOT_PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))
        for key in EOS_KEYS:
            self.assertFalse(key_exists(p, IFEO + "\\" + key), key)

        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)

    def test_a_start_through_a_blocking_entry_opens_the_window_as_protected(self):
        p = self.prefix
        p.seed_gwx()
        for key in GWX_KEYS:
            rc, _ = p.reg("add", IFEO + "\\" + key, "/v", "Debugger", "/t", "REG_SZ", "/d", DEBUGGER, "/f")
            self.assertEqual(rc, 0)
        # Windows runs the entry's command followed by the blocked program's
        # own command line (Wine does not divert the start itself).
        debugger = reg_value(p, IFEO + "\\GWX.EXE", "Debugger")
        self.assertTrue(debugger.startswith('"'))
        exe, rest = debugger[1:].split('"', 1)
        args = rest.split() + ["C:\\windows\\system32\\GWX\\GWX.exe", "/show"]
        self.assertEqual(args[0], "/deb")
        proc = self.start_window(args, exe=exe)
        self.assertEqual(shown(p), sorted([(PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))
        self.assertTrue(any(c["visible"] and c["text"] == "Stop GWX!" for c in p.controls(CAPTION)))
        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)
        # Nothing was changed by that start.
        self.assertEqual(reg_value(p, IFEO + "\\GWX.EXE", "Debugger"), DEBUGGER)


class Wow64Protection(unittest.TestCase):
    def test_32bit_exe_blocks_in_the_32bit_view_and_sets_the_policy_in_the_64bit_view(self):
        if not qt.EXE32 or not os.path.exists(qt.EXE32):
            self.skipTest("the i686 quellix.exe was not built (%s)" % (qt.EXE32 or "QUELLIX_EXE32 unset"))
        if not qt.i386_runs():
            self.skipTest("32-bit programs cannot run on this machine (no i386 support, no qemu-user binfmt)")
        p = qt.Prefix("protection32")
        self.addCleanup(p.close)
        p.install(exe=qt.EXE32)
        proc = p.start_exe()
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        rc, _ = p.driver("wait", CAPTION, 300000, timeout=360)
        self.assertEqual(rc, 0, "the 32-bit main window did not appear")

        rc, _ = p.driver("click", CAPTION, NOT_PROTECTED)
        self.assertEqual(rc, 0)
        got = qt.wait_until(lambda: (PROTECTED,) + GWX_PLACE in shown(p), timeout=120, step=1)
        self.assertTrue(got, "the click on 'Not protected!' did not reach its handler")

        # Both keys are shared between the views (Wine links them as Windows
        # does), so each view shows what the other wrote; what counts is that
        # each value is where its own view puts it.
        for key in GWX_KEYS:
            self.assertEqual(reg_value(p, IFEO + "\\" + key, "Debugger", "/reg:32"), DEBUGGER, key)
        self.assertEqual(reg_value(p, WINDOWS_UPDATE, "DisableOSUpgrade", "/reg:64"), "0x1")

        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=120), 0)


if __name__ == "__main__":
    qt.main()
