"""The protection buttons with the real exe: clicks in the running window, the
registry entries they leave in the views each build writes to, and a start
through a blocking entry."""

import os
import unittest

import quellixtest as qt

IFEO = r"HKLM\SOFTWARE\Microsoft\Windows NT\CurrentVersion\Image File Execution Options"
WINDOWS_UPDATE = r"HKLM\SOFTWARE\Policies\Microsoft\Windows\WindowsUpdate"
GWX_KEYS = ["GWX.EXE", "GWXUX.EXE", "GWXConfigManager.exe", "GWXDetector.exe", "GWXUXWorker.exe"]
EOS_KEYS = ["EOSNOTIFY.EXE", "SIPNOTIFY.EXE"]
CAPTION = qt.CAPTION
NOT_PROTECTED = "Not protected!"
PROTECTED = "Protected (click to Unprotect)"
DEBUGGER = '"C:\\Quellix\\quellix.exe" /deb'
# Where the "Not protected!" button of each pair stands in the window.
GWX_PLACE = (165, 143)
EOS_PLACE = (165, 216)
# What a screen reader hears of the window: name -> (ROLE_SYSTEM_*, default action).
GWX_SWITCH = "Protection against GWX executing: "
PUSH_BUTTON, LINK, TEXT = 43, 30, 41
HEARD = {GWX_SWITCH + NOT_PROTECTED: (PUSH_BUTTON, "Press"),
         "Protection against End of Support Screen: " + NOT_PROTECTED: (PUSH_BUTTON, "Press"),
         "Try AdGuard!": (PUSH_BUTTON, "Press"), "What is GWX?": (LINK, "Jump"), "Read me!": (LINK, "Jump"),
         "Add Feedback...": (LINK, "Jump"), "Get rid of annoying ads:": (TEXT, ""), "GWX is not installed": (TEXT, "")}


def key_exists(prefix, key, *flags):
    return prefix.reg("query", key, *flags)[0] == 0


def shown(prefix):
    """(caption, left, top) of every visible protection button."""
    return sorted((c["text"], c["left"], c["top"]) for c in prefix.controls(CAPTION)
                  if c["visible"] and c["text"] in (NOT_PROTECTED, PROTECTED))


def heard(prefix):
    """name -> (role, default action) of every visible control, read through oleacc from another process."""
    lines = prefix.driver("accessible", CAPTION)[1].splitlines()
    return {name: (int(role), action) for role, action, name in (l.rstrip("\r").split("|", 2) for l in lines)}


def centre(place):
    return place[0] + 267 // 2, place[1] + 67 // 2


class ProtectionSwitches(unittest.TestCase):
    """Both switches clicked on and off by hand, by every target, then one
    switched by a screen reader's default action. Blocking
    entries live in the exe's default registry view, the policy in the 64-bit
    one; a 32-bit-only system has a single view, and the program's request for
    the 64-bit one must still reach it there."""
    TARGETS = qt.ALL

    def click_and_wait(self, p, place, caption, expected):
        self.assertIn((caption,) + place, shown(p), "nothing to click there")
        p.click_at(*centre(place))
        qt.wait_until(lambda: shown(p) == expected, timeout=120, step=0.5)
        self.assertEqual(shown(p), expected, "after a click on '%s' (did the click reach its handler?)" % caption)

    def test_each_click_switches_its_pair_and_the_registry(self):
        t = qt.TARGET
        screen = qt.PrivateScreen()
        self.addCleanup(screen.close)
        p = qt.Prefix("protection")
        self.addCleanup(p.close)
        p.env["DISPLAY"] = screen.display
        p.install()
        default, view64 = p.kind.view(t.default_view), p.kind.view(64)
        proc = p.start_exe()
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        rc, _ = p.driver("wait", CAPTION, 300000, timeout=360)   # slow under qemu-user
        self.assertEqual(rc, 0, "the main window did not appear")
        self.assertEqual(shown(p), sorted([(NOT_PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))

        self.click_and_wait(p, GWX_PLACE, NOT_PROTECTED,
                            sorted([(PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))
        for key in GWX_KEYS:
            self.assertEqual(p.reg_value(IFEO + "\\" + key, "Debugger", *default), DEBUGGER, key)
        self.assertEqual(p.reg_value(WINDOWS_UPDATE, "DisableOSUpgrade", *view64), "0x1")
        for key in EOS_KEYS:
            self.assertFalse(key_exists(p, IFEO + "\\" + key, *default), key)

        self.click_and_wait(p, EOS_PLACE, NOT_PROTECTED,
                            sorted([(PROTECTED,) + GWX_PLACE, (PROTECTED,) + EOS_PLACE]))
        for key in EOS_KEYS:
            self.assertEqual(p.reg_value(IFEO + "\\" + key, "Debugger", *default), "*", key)

        self.click_and_wait(p, GWX_PLACE, PROTECTED,
                            sorted([(NOT_PROTECTED,) + GWX_PLACE, (PROTECTED,) + EOS_PLACE]))
        for key in GWX_KEYS:
            self.assertFalse(key_exists(p, IFEO + "\\" + key, *default), key)
        self.assertIsNone(p.reg_value(WINDOWS_UPDATE, "DisableOSUpgrade", *view64))

        self.click_and_wait(p, EOS_PLACE, PROTECTED,
                            sorted([(NOT_PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE]))
        for key in EOS_KEYS:
            self.assertFalse(key_exists(p, IFEO + "\\" + key, *default), key)

        self.assertEqual({name: role for name, role in heard(p).items() if name in HEARD}, HEARD)
        self.assertEqual(p.driver("accessible", CAPTION, GWX_SWITCH + NOT_PROTECTED)[0], 0)
        expected = sorted([(PROTECTED,) + GWX_PLACE, (NOT_PROTECTED,) + EOS_PLACE])
        self.assertEqual(qt.wait_until(lambda: shown(p) == expected, timeout=120, step=0.5), True)
        self.assertEqual(p.reg_value(IFEO + "\\GWX.EXE", "Debugger", *default), DEBUGGER)
        self.assertEqual(heard(p).get(GWX_SWITCH + PROTECTED), (PUSH_BUTTON, "Press"))

        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=120), 0)


class ProtectionWindow(unittest.TestCase):
    def setUp(self):
        self.prefix = qt.Prefix("protection-entry")
        self.addCleanup(self.prefix.close)
        self.prefix.install()

    def start_window(self, args=(), exe="C:\\Quellix\\quellix.exe"):
        proc = self.prefix.start_exe(args, exe=exe)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        rc, _ = self.prefix.driver("wait", CAPTION, 30000)
        self.assertEqual(rc, 0, "the main window did not appear")
        return proc

    def test_a_start_through_a_blocking_entry_opens_the_window_as_protected(self):
        p = self.prefix
        p.seed_gwx()
        for key in GWX_KEYS:
            rc, _ = p.reg("add", IFEO + "\\" + key, "/v", "Debugger", "/t", "REG_SZ", "/d", DEBUGGER, "/f")
            self.assertEqual(rc, 0)
        # Windows runs the entry's command followed by the blocked program's
        # own command line (Wine does not divert the start itself).
        debugger = p.reg_value(IFEO + "\\GWX.EXE", "Debugger")
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
        self.assertEqual(p.reg_value(IFEO + "\\GWX.EXE", "Debugger"), DEBUGGER)


if __name__ == "__main__":
    qt.main()
