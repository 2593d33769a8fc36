"""What a user's hands do to the real exe, as real input through the X server
(xdotool): a double-click on "Stop GWX!", a press that ends on a button, the
taskbar button."""

import os
import shutil
import subprocess
import time
import unittest

import quellixtest as qt

CAPTION = qt.CAPTION


class Hands(unittest.TestCase):
    def start(self, name, seed=True, **reg):
        # A screen of its own: on the shared one, a window of a test running
        # alongside could lie where the real mouse clicks.
        screen = qt.PrivateScreen()
        self.addCleanup(screen.close)
        self.p = p = qt.Prefix("hands-" + name)
        self.addCleanup(p.close)
        p.env["DISPLAY"] = screen.display
        p.install()
        if seed:
            p.seed_gwx()
        # Windows' default, which Wine's is not: keyboard cues hide until a key is used.
        p.reg("add", "HKCU\\Control Panel\\Desktop", "/v", "UserPreferencesMask", "/t", "REG_BINARY", "/d", "9e1e078012000000", "/f")
        for key, value, data in reg.get("values", ()):
            p.reg("add", key, "/v", value, "/d", data, "/f")
        self.proc = p.start_exe()
        self.addCleanup(lambda: self.proc.poll() is None and self.proc.kill())
        self.assertEqual(p.driver("wait", CAPTION, 60000)[0], 0, "the window did not show")

    def xdo(self, *args):
        subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=60, env=self.p.env)

    def close(self):
        self.p.driver("close", CAPTION)
        self.assertEqual(self.proc.wait(timeout=60), 0)

    def shown(self):
        return {c["text"] for c in self.p.controls() if c["visible"]}

    def centre(self, text):
        """The middle of the topmost visible control with this text, on the screen."""
        left, top, _, _ = self.p.client_rect()
        c = min((c for c in self.p.controls() if c["visible"] and c["text"] == text), key=lambda c: c["y"])
        return left + c["x"] + c["w"] // 2, top + c["y"] + c["h"] // 2

    def focus(self):
        return self.p.driver("focus", CAPTION)[1].rstrip("\r\n")

    def press(self, key, focus):
        self.xdo("key", key)
        self.assertTrue(qt.wait_until(lambda: self.focus() == focus, 30), "%s: focus on %r" % (key, self.focus()))

    def dotted(self, text):  # a focus rectangle's dots along the top edge of the control with this text
        (left, top, _, _), c = self.p.client_rect(), next(c for c in self.p.controls() if c["text"] == text)
        return any(sum(px) < 200 for px in qt.grab_pixels(left + c["x"], top + c["y"], c["w"], 1, self.p.env["DISPLAY"])[0])

    def test_double_click_on_stop_runs_one_pass(self):
        self.start("stop")
        p = self.p
        # A task folder that takes the walk a while (it handles messages at
        # each entry) and a slow batch that counts its runs in a file of its own.
        tasks = p.system32("Tasks", "Microsoft", "Windows", "Setup", "GWXTriggers")
        for i in range(150):
            os.makedirs(os.path.join(tasks, "Empty%03d" % i))
        shutil.copy(qt.DRIVER, p.app("sleeper.exe"))
        with open(p.app("stop-gwx-from-startup.bat"), "wb") as f:
            f.write(b"@echo off\r\necho run>>C:\\Quellix\\runs.txt\r\n"
                    b"C:\\Quellix\\sleeper.exe wait QuellixNeverShown 3000\r\n")
        self.xdo("mousemove", *self.centre("Stop GWX!"), "sleep", 0.5, "click", "--repeat", 2, "--delay", 20, 1)
        self.assertTrue(qt.wait_until(lambda: "Please, wait..." not in self.shown()
                                      and os.path.isdir(p.system32("GWX-")), 120), "the pass did not end")
        time.sleep(5)  # longer than a second batch run would take
        self.assertEqual(p.read_app_file("runs.txt"), b"run\r\n", "the batch file ran more than once")
        log2 = p.read_app_file("log2.txt").decode("latin-1")
        self.assertEqual((log2.count("GWX renamed"), log2.count("Error renaming")), (1, 0))
        shown = self.shown()
        self.assertFalse(shown & {"Stop GWX!", "Please, wait...", "Stop Waiting..."})
        self.assertTrue({"GWX has been successfully disabled!", "View execution log..."} <= shown)
        # The focus is on a control (the log link, or the next button where the
        # second click came late enough to press "Stop Waiting..."), and a
        # mouse-only pass shows no focus rectangle.
        focus = self.focus()
        self.assertIn(focus, shown)
        self.assertFalse(self.dotted(focus), focus)
        self.close()

    def test_the_keyboard_alone(self):
        self.start("keys")
        urls = self.p.record_browser()
        shutil.copy(qt.DRIVER, self.p.app("sleeper.exe"))
        with open(self.p.app("stop-gwx-from-startup.bat"), "wb") as f:  # waited for until "Stop Waiting..."
            f.write(b"C:\\Quellix\\sleeper.exe wait QuellixNeverShown 600000\r\n")
        self.press("shift+Tab", "Add Feedback...")
        self.assertTrue(qt.wait_until(lambda: self.dotted("Add Feedback..."), 30), "no focus rectangle")
        self.xdo("key", "Return")
        self.assertTrue(qt.wait_until(lambda: os.path.exists(urls), 30), "Enter on a link opened nothing")
        for key, focus in [("Tab", "Stop GWX!"), ("Tab", "Not protected!"), ("Return", "Protected (click to Unprotect)"),
                           ("Return", "Not protected!"), ("shift+Tab", "Stop GWX!"), ("Return", "Stop Waiting..."),
                           ("Tab", "Download Startmeter"), ("shift+Tab", "Stop Waiting...")]:
            self.press(key, focus)  # a switch flips and keeps the focus; keys work during the pass
        self.xdo("key", "Return")
        self.assertTrue(qt.wait_until(lambda: os.path.isdir(self.p.system32("GWX-")), 120), "the pass did not end")
        self.assertIn(self.focus(), self.shown() - {"Stop Waiting...", "Please, wait..."})
        self.close()

    def test_closing_during_a_pass_lets_it_finish_and_ends(self):
        self.start("close")
        for i in range(2000):  # a task walk long enough for the close to come during it
            os.makedirs(self.p.system32("Tasks", "Microsoft", "Windows", "Setup", "GWXTriggers", "E%04d" % i))
        shutil.copy(qt.DRIVER, self.p.app("sleeper.exe"))
        with open(self.p.app("stop-gwx-from-startup.bat"), "wb") as f:  # ten minutes, if waited for
            f.write(b"C:\\Quellix\\sleeper.exe wait QuellixNeverShown 600000\r\n")
        self.xdo("mousemove", *self.centre("Stop GWX!"), "sleep", 0.5, "click", 1, "key", "alt+F4")
        self.assertEqual(self.proc.wait(timeout=300), 0)
        self.assertTrue(os.path.isdir(self.p.system32("GWX-")) and not os.path.exists(self.p.system32("GWX")))

    def test_press_beside_a_switch_and_release_on_it_clicks_it(self):
        self.start("release", seed=False)
        x, y = self.centre("Not protected!")  # the GWX pair's
        # Pressed on the window's own white area right of the switch.
        self.xdo("mousemove", x + 170, y, "sleep", 0.3, "mousedown", 1, "sleep", 0.3,
            "mousemove", x, y, "sleep", 0.3, "mouseup", 1)
        self.assertTrue(qt.wait_until(lambda: "Protected (click to Unprotect)" in self.shown(), 30),
                        "the release over the switch did not click it")
        rc, out = self.p.reg("query", "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\"
                             "Image File Execution Options\\GWX.EXE", "/v", "Debugger")
        self.assertIn('quellix.exe" /deb', out)
        self.close()

    def taskbar(self):
        rc, out = self.p.driver("taskbar")
        self.assertEqual(rc, 0, "no taskbar")
        return [line.rstrip("\r").split("|", 3) for line in out.splitlines()]

    def state(self):
        return self.p.driver("state", CAPTION)[1].split()

    def test_the_taskbar_button_says_quellix_and_minimises_and_restores(self):
        # Wine's virtual desktop named "shell" has a taskbar; the prefix's programs run on it.
        self.start("taskbar", seed=False, values=[
            ("HKCU\\Software\\Wine\\Explorer", "Desktop", "shell"),
            ("HKCU\\Software\\Wine\\Explorer\\Desktops", "shell", "1024x768")])
        buttons = qt.wait_until(self.taskbar, 30)
        self.assertEqual([b[1:] for b in buttons], [["normal", "TApplication", "Quellix"]])
        self.assertEqual(self.state(), ["visible", "normal"])
        bx, by, bw, bh = (int(v) for v in buttons[0][0].split())
        button = (bx + bw // 2, by + bh // 2)
        # Minimise through the button's menu, the application window's system menu.
        self.xdo("mousemove", *button, "sleep", 0.3, "click", 3, "sleep", 0.8, "key", "n")
        self.assertTrue(qt.wait_until(lambda: self.state()[0] == "hidden", 30), "not minimised")
        self.assertEqual(self.taskbar()[0][1], "iconic")
        self.xdo("mousemove", *button, "sleep", 0.3, "click", 1)
        self.assertTrue(qt.wait_until(lambda: self.state() == ["visible", "normal"], 30), "not restored")
        self.close()


if __name__ == "__main__":
    qt.main()
