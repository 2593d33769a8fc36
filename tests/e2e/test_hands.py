"""What a user's hands do to the real exe, through the X server (xdotool), never
through messages posted to a control: a double-click on "Stop GWX!", a press
that begins beside a button and ends on it, and the taskbar button."""

import os
import shutil
import subprocess
import time
import unittest

import quellixtest as qt

CAPTION = "Quellix 3.3"
IFEO_GWX = "HKLM\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options\\GWX.EXE"


def xdo(*args):
    subprocess.run(["xdotool"] + [str(a) for a in args], check=True, timeout=60)


def messages(log2):
    return log2.decode("latin-1").split("\r\n")[1:-1:2] if log2 else []


class Hands(unittest.TestCase):
    def make(self, name, seed=True):
        p = qt.Prefix("hands-" + name)
        self.addCleanup(p.close)
        p.install()
        if seed:
            p.seed_gwx()
        return p

    def start(self, p):
        proc = p.start_exe()
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        self.assertEqual(p.driver("wait", CAPTION, 60000)[0], 0, "the window did not show")
        return proc

    def visible(self, p):
        return {c["text"]: c for c in p.controls() if c["visible"]}

    def control(self, p, text):
        """The topmost visible control with this text."""
        return min((c for c in p.controls() if c["visible"] and c["text"] == text), key=lambda c: c["y"])

    def screen_point(self, p, text):
        """The middle of a visible control, on the screen."""
        left, top, _, _ = p.client_rect()
        c = self.control(p, text)
        return left + c["x"] + c["w"] // 2, top + c["y"] + c["h"] // 2

    def test_double_click_on_stop_runs_one_pass(self):
        p = self.make("stop")
        # A slow batch that counts its runs in a file of its own (log.txt is
        # rewritten by each run).
        shutil.copy(qt.DRIVER, p.app("sleeper.exe"))
        with open(p.app("stop-gwx-from-startup.bat"), "wb") as f:
            f.write(b"@echo off\r\necho run>>C:\\Quellix\\runs.txt\r\n"
                    b"C:\\Quellix\\sleeper.exe wait QuellixNeverShown 3000\r\necho batch end\r\n")
        proc = self.start(p)
        x, y = self.screen_point(p, "Stop GWX!")
        xdo("mousemove", x, y)
        time.sleep(0.5)
        xdo("click", "--repeat", 2, "--delay", 40, 1)

        def settled():
            shown = self.visible(p)
            return ("GWX has been successfully disabled!" in shown and "Please, wait..." not in shown
                    and os.path.isdir(p.system32("GWX-")))
        self.assertTrue(qt.wait_until(settled, 120), "the pass did not end")
        time.sleep(5)  # longer than a second batch run would take
        self.assertEqual(p.read_app_file("runs.txt"), b"run\r\n", "the batch file ran more than once")
        m = messages(p.read_app_file("log2.txt"))
        self.assertEqual([x for x in m if "renam" in x], ["GWX renamed"])
        shown = self.visible(p)
        for gone in ("Stop GWX!", "Please, wait...", "Stop Waiting..."):
            self.assertNotIn(gone, shown)
        self.assertIn("View execution log...", shown)
        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)

    def test_press_beside_a_switch_and_release_on_it_clicks_it(self):
        p = self.make("release", seed=False)
        proc = self.start(p)
        left, top, width, _ = p.client_rect()
        switch = self.control(p, "Not protected!")  # the GWX pair's
        # The window's own white area, right of the protection switch.
        bx, by = left + switch["x"] + switch["w"] + 30, top + switch["y"] + 20
        self.assertLess(bx, left + width)
        x, y = self.screen_point(p, "Not protected!")
        xdo("mousemove", bx, by, "sleep", 0.3, "mousedown", 1, "sleep", 0.3,
            "mousemove", x, y, "sleep", 0.3, "mouseup", 1)
        self.assertTrue(qt.wait_until(lambda: "Protected (click to Unprotect)" in self.visible(p), 30),
                        "the release over the switch did not click it")
        rc, out = p.reg("query", IFEO_GWX, "/v", "Debugger")
        self.assertEqual(rc, 0, out)
        self.assertIn('quellix.exe" /deb', out)
        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)

    def taskbar(self, p):
        rc, out = p.driver("taskbar")
        self.assertEqual(rc, 0, "no taskbar")
        buttons = []
        for line in out.splitlines():
            rect, state, cls, text = line.rstrip("\r").split("|", 3)
            buttons.append(dict(rect=[int(v) for v in rect.split()], state=state, cls=cls, text=text))
        return buttons

    def test_the_taskbar_button_says_quellix_and_minimises_and_restores(self):
        p = self.make("taskbar", seed=False)
        # Wine's virtual desktop named "shell" has a taskbar; every program of
        # the prefix runs on it.
        p.reg("add", "HKCU\\Software\\Wine\\Explorer", "/v", "Desktop", "/d", "shell", "/f")
        p.reg("add", "HKCU\\Software\\Wine\\Explorer\\Desktops", "/v", "shell", "/d", "1024x768", "/f")
        proc = self.start(p)
        buttons = qt.wait_until(lambda: [b for b in self.taskbar(p) if b["cls"] != "Shell_TrayWnd"], 30)
        self.assertEqual([(b["text"], b["state"]) for b in buttons], [("Quellix", "normal")], buttons)
        self.assertEqual(p.driver("state", CAPTION)[1].split(), ["visible", "normal"])

        # Minimise through the button's menu (its window's system menu).
        bx, by, bw, bh = buttons[0]["rect"]
        xdo("mousemove", bx + bw // 2, by + bh // 2, "sleep", 0.3, "click", 3, "sleep", 0.8, "key", "n")
        self.assertTrue(qt.wait_until(lambda: p.driver("state", CAPTION)[1].split()[0] == "hidden", 30),
                        "the window did not go with the taskbar's Minimize")
        self.assertEqual([b["state"] for b in self.taskbar(p) if b["text"] == "Quellix"], ["iconic"])

        # A click on the button brings it back.
        xdo("mousemove", bx + bw // 2, by + bh // 2, "sleep", 0.3, "click", 1)
        self.assertTrue(qt.wait_until(lambda: p.driver("state", CAPTION)[1].split() == ["visible", "normal"], 30),
                        "the taskbar button did not restore the window")
        p.driver("close", CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)


if __name__ == "__main__":
    qt.main()
