"""Start-up and the command-line modes, with the real exe in throwaway prefixes."""

import os
import time
import unittest

import quellixtest as qt


class AutoWithoutGwx(unittest.TestCase):
    """By every target: with nothing to stop, "/auto" stops nothing."""
    TARGETS = qt.ALL

    def test_auto_without_gwx_ends_at_once_without_window_or_log(self):
        p = qt.Prefix("startup-auto")
        self.addCleanup(p.close)
        p.install()
        os.makedirs(p.system32("GWX--"))   # a second-choice name is no GWX
        proc = p.start_exe(["/auto"])
        # No window may appear while it runs.
        appeared = False
        while proc.poll() is None:
            rc, _ = p.driver("wait", qt.CAPTION, 200)
            appeared = appeared or rc == 0
        self.assertEqual(proc.returncode, 0)
        self.assertFalse(appeared, "the /auto run showed its window")
        self.assertFalse(os.path.exists(p.app("log2.txt")), "nothing to stop, nothing logged")


class StartupModes(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.prefix = qt.Prefix("startup")
        cls.prefix.install()

    @classmethod
    def tearDownClass(cls):
        cls.prefix.close()

    def setUp(self):
        for name in ("log2.txt", "log.txt"):
            if os.path.exists(self.prefix.app(name)):
                os.remove(self.prefix.app(name))

    def test_postins_ends_without_window(self):
        rc, seconds = self.prefix.run_exe(["/postins"], timeout=120)
        self.assertEqual(rc, 0)
        rc, _ = self.prefix.driver("wait", qt.CAPTION, 100)
        self.assertNotEqual(rc, 0)

    def test_interactive_start_shows_the_window_and_closing_ends_with_0(self):
        for args in ([], ["/Auto"], ["/deb", "C:\\Windows\\system32\\GWX\\GWX.exe", "/auto"]):
            with self.subTest(args=args):
                proc = self.prefix.start_exe(args)
                try:
                    # The prefix's first program also starts Wine's own services:
                    # on a machine busy with other tests that once took over 30 s.
                    rc, _ = self.prefix.driver("wait", qt.CAPTION, 120000, timeout=180)
                    self.assertEqual(rc, 0, "the main window did not appear")
                    self.prefix.driver("close", qt.CAPTION)
                    self.assertEqual(proc.wait(timeout=60), 0)
                finally:
                    if proc.poll() is None:
                        proc.kill()


if __name__ == "__main__":
    qt.main()
