"""The main window of the real exe: every control in each start state and
while stopping, the hover picture, the protection pairs' place, and the links
that open pages and files. Screenshots of each state go to build/<dir>/screenshots/window-*.png."""

import os
import shutil
import unittest

import quellixtest as qt

CAPTION = qt.CAPTION

# Designed controls: (class, text, client x, y, width, height, parent-relative left, top).
# Texts of lblSuccess and the two protection pairs depend on the state; labels
# on one line take their text's size in the font they get (None).
LAYOUT = [
    ("TPanel", "", 0, 0, 511, 41, 0, 0),                                   # Panel1
    ("TLabel", "What is GWX?", 17, 14, None, None, 17, 14),
    ("TLabel", "Read me!", 101, 14, None, None, 101, 14),
    ("TLabel", "Add Feedback...", 406, 14, None, None, 406, 14),
    ("TVelmoraButton", "Stop GWX!", 162, 67, 195, 53, 162, 67),
    ("TPanel", "", 99, 51, 306, 79, 99, 51),                               # panSuccess
    ("TImage", "", 123, 70, 32, 32, 24, 19),                               # Image1
    ("TLabel", "View execution log...", 173, 88, None, None, 74, 37),
    ("TPanel", "", 406, 211, 511, 110, 406, 211),                          # pnlWait
    ("TLabel", "Please, wait...", 610, 224, None, None, 204, 13),
    ("TVelmoraButton", "Stop Waiting...", 558, 247, 195, 56, 152, 36),
    ("TLabel", "Protection against GWX executing:", 8, 151, 143, 54, 8, 151),
    ("TVelmoraButton", "Not protected!", 165, 143, 267, 67, 165, 143),
    ("TVelmoraButton", "Protected (click to Unprotect)", 165, 143, 267, 67, 165, 143),
    ("TLabel", "Protection against End of Support Screen:", 8, 220, 147, 54, 8, 220),
    ("TVelmoraButton", "Not protected!", 165, 216, 267, 67, 165, 216),
    ("TVelmoraButton", "Protected (click to Unprotect)", 165, 216, 267, 67, 165, 216),
    ("TLabel", "Not an antivirus. Ultimate Malware Killer:", 8, 293, 147, 54, 8, 293),
    ("TVelmoraButton", "Download Cleanwarden", 165, 289, 267, 67, 165, 289),
    ("TLabel", "Get rid of annoying ads:", 8, 366, 147, 54, 8, 366),
    ("TVelmoraButton", "Try AdGuard!", 165, 361, 267, 67, 165, 361),
    ("TLabel", "Take control over your startup and speed up your PC:", 8, 441, 147, 54, 8, 441),
    ("TVelmoraButton", "Download Startmeter", 165, 434, 267, 67, 165, 434),
]

ALWAYS_VISIBLE = {
    "What is GWX?", "Read me!", "Add Feedback...", "Protection against GWX executing:",
    "Protection against End of Support Screen:", "Not an antivirus. Ultimate Malware Killer:",
    "Download Cleanwarden", "Get rid of annoying ads:", "Try AdGuard!",
    "Take control over your startup and speed up your PC:", "Download Startmeter",
    "Not protected!",  # nothing is blocked in a fresh prefix
}


def find(controls, cls, text, x, y, w=None, h=None):
    return [c for c in controls if c["cls"] == cls and c["text"] == text and c["x"] == x and c["y"] == y
            and w in (None, c["w"]) and h in (None, c["h"])]


class WindowTest(unittest.TestCase):
    def start(self, name, prepare=None, with_readme=True):
        p = qt.Prefix("window-" + name)
        self.addCleanup(p.close)
        # A screen of its own: on the shared one a window of a test running
        # alongside may cover this one's pixels or take the pointer.
        screen = qt.PrivateScreen()
        self.addCleanup(screen.close)
        p.env["DISPLAY"] = self.display = screen.display
        p.install(with_readme=with_readme)
        # Wine has no Trebuchet MS; name a narrow face in Windows' own table of
        # substitutes so that the pictures look like the design.
        p.reg("add", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontSubstitutes",
              "/v", "Trebuchet MS", "/d", "DejaVu Sans Condensed", "/f")
        if prepare:
            prepare(p)
        p.driver("cursor", 0, 0)
        proc = p.start_exe()
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        rc, _ = p.driver("wait", CAPTION, 300000, timeout=360)   # slow under qemu-user
        self.assertEqual(rc, 0, "the main window did not appear")
        return p, proc

    def close(self, p, proc):
        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=120), 0)

    def controls_when(self, p, predicate, timeout=30):
        return qt.wait_until(lambda: (lambda cs: cs if predicate(cs) else None)(p.controls()), timeout)


class StartStates(WindowTest):
    """The start states, also of the shipped exe on a 32-bit-only system, where
    it finds GWX in system32 itself. (Under WoW64 each start takes minutes of
    qemu-user on some machines; the /auto passes show that it finds GWX there.)"""
    TARGETS = ("x64", "win32")

    def check_layout(self, p, state):
        self.assertEqual(p.client_rect()[2:], (511, 561))
        controls = p.controls()
        visible_here = set(ALWAYS_VISIBLE)
        if state == "installed":
            visible_here |= {"Stop GWX!"}
        else:
            visible_here |= {"GWX is not installed" if state == "not-installed" else "GWX is disabled"}
        # The empty-captioned ones: Panel1 always; panSuccess and Image1 outside
        # the installed state; pnlWait never at start.
        shown_empty = {("TPanel", 0, 0): True, ("TPanel", 99, 51): state != "installed",
                       ("TImage", 123, 70): state != "installed", ("TPanel", 406, 211): False}
        for cls, text, x, y, w, h, left, top in LAYOUT:
            with self.subTest(state=state, control=text or (cls, x, y)):
                found = find(controls, cls, text, x, y, w, h)
                if text in visible_here or shown_empty.get((cls, x, y)):
                    self.assertEqual(len(found), 1, "%s %r at %d,%d" % (cls, text, x, y))
                    c = found[0]
                    self.assertTrue(c["visible"])
                    self.assertEqual((c["left"], c["top"]), (left, top))
                    if w is not None:
                        self.assertEqual((c["w"], c["h"]), (w, h))
                else:
                    # A control that has not shown yet may have no window at all.
                    self.assertFalse([c for c in found if c["visible"]], "%s %r showing" % (cls, text))
        # The status line, and the bottom panel with its notice.
        status = [c for c in controls if c["cls"] == "TLabel" and c["x"] == 170 and c["y"] == 70 and c["visible"]]
        if state == "installed":
            self.assertEqual(status, [])
        else:
            self.assertEqual(len(status), 1)
            expected = {"not-installed": "GWX is not installed", "disabled": "GWX is disabled"}[state]
            self.assertEqual(status[0]["text"], expected)
        bottom = [c for c in controls if c["cls"] == "TPanel" and c["y"] == 524]
        self.assertEqual(len(bottom), 1)
        self.assertTrue(bottom[0]["visible"])
        self.assertEqual((bottom[0]["x"], bottom[0]["w"], bottom[0]["h"]), (0, 511, 37))
        self.assertIn("reeware", bottom[0]["text"])
        # The picture stores never show.
        stores = [c for c in controls if c["cls"] == "TImage" and (c["x"], c["y"]) != (123, 70)]
        self.assertFalse(any(c["visible"] for c in stores))

    def test_installed_state(self):
        p, proc = self.start("installed", prepare=lambda p: p.seed_gwx())
        self.check_layout(p, "installed")
        p.screenshot_window("window-installed" + qt.TARGET.suffix())
        self.close(p, proc)

    def test_not_installed_state(self):
        p, proc = self.start("not-installed")
        self.check_layout(p, "not-installed")
        p.screenshot_window("window-not-installed" + qt.TARGET.suffix())
        self.close(p, proc)

    def test_disabled_state(self):
        p, proc = self.start("disabled", prepare=lambda p: os.makedirs(p.system32("GWX-")))
        self.check_layout(p, "disabled")
        p.screenshot_window("window-disabled" + qt.TARGET.suffix())
        self.close(p, proc)


class Hover(WindowTest):
    def test_a_button_in_hover(self):
        p, proc = self.start("hover", prepare=lambda p: p.seed_gwx())
        left, top, _, _ = p.client_rect()
        button = (left + 165, top + 434, 267, 67)   # "Download Startmeter"
        before = qt.grab_pixels(*button, display=self.display)
        rc, _ = p.driver("hover", CAPTION, "Download Startmeter")
        self.assertEqual(rc, 0)
        after = qt.wait_until(lambda: (lambda px: px if px != before else None)(qt.grab_pixels(*button, display=self.display)), 15)
        self.assertIsNotNone(after, "the button did not change under the pointer")
        # The caption and icon stay where they were; the frame changes.
        self.assertEqual(before[33][30], after[33][30], "icon moved")
        p.screenshot_window("window-hover")
        self.close(p, proc)


class StopStates(WindowTest):
    def test_stopping_then_stopped(self):
        def prepare(p):
            p.seed_gwx()
            # A batch file that runs until the wait for it is abandoned.
            shutil.copy(qt.DRIVER, p.app("sleeper.exe"))
            with open(p.app("stop-gwx-from-startup.bat"), "wb") as f:
                f.write(b"@echo off\r\nC:\\Quellix\\sleeper.exe wait QuellixNeverShown 60000\r\n")

        p, proc = self.start("stopping", prepare=prepare)
        self.assertEqual(p.driver("click", CAPTION, "Stop GWX!")[0], 0)
        cs = self.controls_when(p, lambda cs: find(cs, "TVelmoraButton", "Stop Waiting...", 152, 77)
                                and find(cs, "TVelmoraButton", "Stop Waiting...", 152, 77)[0]["visible"], 60)
        self.assertIsNotNone(cs, "the wait panel did not show")
        wait, = find(cs, "TPanel", "", 0, 41, 511, 110)
        self.assertTrue(wait["visible"], "docked under the top panel, across the window")
        label, = find(cs, "TLabel", "Please, wait...", 204, 54)
        self.assertTrue(label["visible"])
        self.assertEqual((label["left"], label["top"]), (204, 13))
        stop, = find(cs, "TVelmoraButton", "Stop GWX!", 162, 67)
        self.assertFalse(stop["visible"])
        self.assertFalse(any(c["visible"] for c in find(cs, "TPanel", "", 99, 51, 306, 79)))
        p.screenshot_window("window-stopping")

        self.assertEqual(p.driver("click", CAPTION, "Stop Waiting...")[0], 0)
        cs = self.controls_when(p, lambda cs: any(c["visible"] and c["text"] == "GWX has been successfully disabled!"
                                                  for c in cs), 120)
        self.assertIsNotNone(cs, "the stopped state did not follow")
        status, = find(cs, "TLabel", "GWX has been successfully disabled!", 170, 70)
        viewlog, = find(cs, "TLabel", "View execution log...", 173, 88)
        image1, = find(cs, "TImage", "", 123, 70, 32, 32)
        self.assertTrue(status["visible"] and viewlog["visible"] and image1["visible"])
        wait, = find(cs, "TPanel", "", 0, 41, 511, 110)
        self.assertFalse(wait["visible"], "it does not come back")
        self.assertFalse(find(cs, "TVelmoraButton", "Stop GWX!", 162, 67)[0]["visible"])
        p.screenshot_window("window-stopped")
        self.close(p, proc)


class ProtectionPairs(WindowTest):
    def test_the_protected_button_takes_the_place_of_its_partner(self):
        p, proc = self.start("pairs")

        def shown(controls, text):
            return sorted((c["x"], c["y"]) for c in controls if c["text"] == text and c["visible"])

        rc, _ = p.driver("click", CAPTION, "Not protected!")   # the GWX pair comes first
        self.assertEqual(rc, 0)
        cs = self.controls_when(p, lambda cs: shown(cs, "Protected (click to Unprotect)"))
        self.assertIsNotNone(cs, "GWX protection did not switch")
        self.assertEqual(shown(cs, "Protected (click to Unprotect)"), [(165, 143)])
        self.assertEqual(shown(cs, "Not protected!"), [(165, 216)])

        rc, _ = p.driver("click", CAPTION, "Not protected!")
        self.assertEqual(rc, 0)
        cs = self.controls_when(p, lambda cs: not shown(cs, "Not protected!"))
        self.assertIsNotNone(cs, "end-of-support protection did not switch")
        self.assertEqual(shown(cs, "Protected (click to Unprotect)"), [(165, 143), (165, 216)])
        p.screenshot_window("window-protected")
        self.close(p, proc)

        # A new start finds both protections in force, each button in its place.
        proc = p.start_exe()
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        self.assertEqual(p.driver("wait", CAPTION, 60000)[0], 0)
        cs = p.controls()
        self.assertEqual(shown(cs, "Protected (click to Unprotect)"), [(165, 143), (165, 216)])
        self.assertEqual(shown(cs, "Not protected!"), [])
        self.close(p, proc)


class Links(WindowTest):
    def opened(self, path, count):
        def read():
            if not os.path.exists(path):
                return None
            with open(path, encoding="latin-1") as f:
                lines = [l.strip() for l in f if l.strip()]
            return lines if len(lines) >= count else None
        return qt.wait_until(read, 60) or []

    def test_links_and_promotion_buttons_open_their_pages(self):
        log = []

        def prepare(p):
            log.append(p.record_browser())

        p, proc = self.start("links", prepare=prepare)
        texts = ("What is GWX?", "Add Feedback...", "Download Cleanwarden", "Try AdGuard!",
                 "Download Startmeter")
        for count, text in enumerate(texts, 1):
            rc, _ = p.driver("click", CAPTION, text)
            self.assertEqual(rc, 0, text)
            # One at a time, so that the log keeps the order of the clicks.
            self.assertTrue(self.opened(log[0], count), text + " opened nothing")
        what, feedback, cleanwarden, adguard, startmeter = self.opened(log[0], 5)[:5]
        self.assertEqual(what, feedback, "both links open the same page")
        self.assertRegex(what, r"^https://[^/?]+/blog/what-is-gwx-gwx-exe\?pk_campaign=gwx&pk_kwd=\w+$")
        site = what.split("/blog/")[0]
        self.assertRegex(cleanwarden, "^" + site + r"/[\w-]+/index\.html\?force=1&pk_campaign=gwx&pk_kwd=\w+$")
        self.assertRegex(adguard, r"^https://[^/?]*adguard[^/?]*/\?aid=\d+$")
        self.assertRegex(startmeter, "^" + site + r"/[\w-]+/$")
        rc, out = p.driver("msgbox", 1000)
        self.assertNotEqual(rc, 0, "a message appeared: " + out)
        self.close(p, proc)

    def readme_setup(self, p):
        # Text files open with a command that notes which file it was given.
        p.reg("add", "HKCR\\.txt", "/ve", "/d", "txtfile", "/f")
        p.reg("add", "HKCR\\txtfile\\shell\\open\\command", "/ve", "/d",
              "C:\\windows\\system32\\cmd.exe /c echo %1>>C:\\opened.txt", "/f")

    def test_read_me_opens_the_file_beside_the_program(self):
        p, proc = self.start("readme", prepare=self.readme_setup)
        rc, _ = p.driver("click", CAPTION, "Read me!")
        self.assertEqual(rc, 0)
        lines = self.opened(os.path.join(p.drive_c, "opened.txt"), 1)
        self.assertEqual([l.strip('"') for l in lines], ["C:\\Quellix\\readme.txt"])
        self.close(p, proc)

    def test_read_me_without_the_file_does_nothing(self):
        p, proc = self.start("no-readme", prepare=self.readme_setup, with_readme=False)
        rc, _ = p.driver("click", CAPTION, "Read me!")
        self.assertEqual(rc, 0)
        rc, out = p.driver("msgbox", 3000)
        self.assertNotEqual(rc, 0, "a message appeared: " + out)
        self.assertFalse(os.path.exists(os.path.join(p.drive_c, "opened.txt")))
        # The window still answers.
        self.assertEqual(p.driver("wait", CAPTION, 1000)[0], 0)
        self.close(p, proc)


if __name__ == "__main__":
    qt.main()
