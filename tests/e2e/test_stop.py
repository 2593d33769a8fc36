""""Stop GWX!" from end to end: the real exe in throwaway prefixes with a
simulated GWX installation, driven through /auto or by clicks on its window."""

import os
import shutil
import time
import unittest

import quellixtest as qt

TASK_PREFIX = "microsoft\\windows\\setup\\GWXTriggers"
SYS32 = "C:\\windows\\SYSTEM32\\"   # the 64-bit test build reaches system32 directly


def lines(data):
    return data.decode("latin-1").split("\r\n") if data is not None else None


def messages(log2):
    """The messages of the diagnostic log's entries, in order."""
    parts = log2.decode("latin-1").split("\r\n")
    return parts[1:-1:2]


def batch_output_only(log_txt):
    text = log_txt.decode("latin-1")
    return text.startswith("Quellix: stopping GWX programs") and "schtasks" not in text \
        and text.rstrip().endswith("Done.")


class AutoPasses(unittest.TestCase):
    """Two "/auto" passes in one prefix, by every target: the shipped exe on
    32-bit Windows and as a WoW64 process reaches GWX in the real system32."""
    TARGETS = qt.ALL

    def test_first_pass_renames_gwx_and_the_second_shreds_it(self):
        t = qt.TARGET
        p = qt.Prefix("stop-passes")
        self.addCleanup(p.close)
        p.install()
        if t.name != "x64" and qt.i386_mode.mode() == "qemu":
            # Under qemu-user every program the delivered batch starts costs a
            # minute; a batch of echoes alone stands in for it there.
            with open(p.app("stop-gwx-from-startup.bat"), "w") as f:
                f.write("@echo Quellix: stopping GWX programs\r\n")
        # One task, in a subfolder: under qemu-user each schtasks call takes
        # minutes of a loaded machine.
        p.seed_gwx(tasks=())
        decoy = t.kind is qt.WIN64
        if decoy:
            # What a 32-bit process would see without SYSNATIVE: must stay as it is.
            p.seed_gwx(system="syswow64", tasks=(), subfolder_tasks=())
        with open(p.app("disable-triggers.cmd"), "w") as f:
            f.write("echo stale\r\n")
        for name in ("taskkill.com", "taskkill.exe", "schtasks.com", "schtasks.exe", "cmd.exe"):
            shutil.copy(os.path.join(qt.BINARY_DIR, "tests", "qx_planted32.exe"), p.app(name))

        rc, _ = p.run_exe(["/auto"], timeout=1500)
        self.assertEqual(rc, 0)
        self.assertFalse(os.path.exists(os.path.join(p.drive_c, "planted-program-ran.txt")), "a planted program ran")
        self.assertFalse(os.path.exists(p.system32("GWX")))
        self.assertEqual(sorted(os.listdir(p.system32("GWX-"))), sorted(qt.GWX_EXECUTABLES))
        self.assertFalse(os.path.exists(p.system32("GWX--")))
        if decoy:
            self.assertTrue(os.path.isdir(p.syswow64("GWX")), "syswow64 must be left alone")
            self.assertFalse(os.path.exists(p.syswow64("GWX-")))

        # The command file: two lines per task, CR LF, task names as Task Scheduler knows them.
        cmd = lines(p.read_app_file("disable-triggers.cmd"))[1:]  # after the change to system32
        self.assertEqual(cmd[-1], "", "every line ends in CR LF")
        names = sorted(l for l in cmd[:-1] if l.startswith("schtasks /end /tn "))
        expected = [TASK_PREFIX + "\\Sub\\refreshgwxconfigandcontent"]
        self.assertEqual(sorted(n[len('schtasks /end /tn "'):-1] for n in names), sorted(expected))
        self.assertEqual(len(cmd) - 1, 2 * len(expected))
        for i in range(0, len(cmd) - 1, 2):
            task = cmd[i][len("schtasks /end /tn "):]
            self.assertEqual(cmd[i + 1], "schtasks /change /tn " + task + " /DISABLE")

        # log.txt: the batch output, then what the command file printed.
        log = p.read_app_file("log.txt").decode("latin-1")
        self.assertTrue(log.startswith("Quellix: stopping GWX programs"), log)
        self.assertNotIn("stale", log)
        self.assertIn("system32>schtasks /change /tn", log.lower(), "no schtasks run from system32")

        # The diagnostic log, in the order of the pass, through the exe's own system folder.
        m = messages(p.read_app_file("log2.txt"))
        tasks = t.native_system + "Tasks\\Microsoft\\Windows\\Setup\\GWXTriggers"
        gwx = t.native_system + "GWX"
        self.assertEqual(m[0], "ResetFileRights: " + tasks + " :1")
        self.assertEqual(m[1], "ResetFileRights: " + tasks + "\\Sub\\refreshgwxconfigandcontent :1")
        # No earlier GWX-: the shred finds nothing to reset or delete.
        self.assertEqual(m[2:], ["ResetFileRights: " + gwx + "- :0", "Starting Shred: " + gwx + "-",
                                 "ResetFileRights: " + gwx + "- :0", "Remove Dir: " + gwx + "-",
                                 "ResetFileRights: " + gwx + " :1", "GWX renamed"])

        # GWX is back (an update put it there again), without its tasks: the
        # second pass shreds the first one's GWX- and takes its name.
        shutil.rmtree(p.system32("Tasks", "Microsoft", "Windows", "Setup", "GWXTriggers"))
        p.seed_gwx(tasks=(), subfolder_tasks=())
        with open(p.system32("GWX", "GWX.exe"), "wb") as f:
            f.write(b"MZ second")
        os.makedirs(p.system32("GWX-", "sub"))
        with open(p.system32("GWX-", "sub", "b.dat"), "w") as f:
            f.write("left by the first pass's GWX")
        os.remove(p.app("log2.txt"))
        rc, _ = p.run_exe(["/auto"], timeout=600)
        self.assertEqual(rc, 0)
        self.assertFalse(os.path.exists(p.system32("GWX")))
        with open(p.system32("GWX-", "GWX.exe"), "rb") as f:
            self.assertEqual(f.read(), b"MZ second")
        self.assertFalse(os.path.exists(p.app("disable-triggers.cmd")), "no tasks, no command file")
        m = messages(p.read_app_file("log2.txt"))
        i = m.index("Starting Shred: " + gwx + "-")
        j = m.index("Remove Dir: " + gwx + "-")
        self.assertEqual(m[i - 1], "ResetFileRights: " + gwx + "- :1")
        shredded = ["Deleted: " + gwx + "-\\" + n for n in qt.GWX_EXECUTABLES + ["sub\\b.dat"]]
        removed = [x for x in m[i + 1:j] if x.startswith(("Deleted: ", "Removed Dir :"))]
        self.assertEqual(sorted(removed), sorted(shredded + ["Removed Dir :" + gwx + "-\\sub"]))
        self.assertEqual(m[j + 1:], ["ResetFileRights: " + gwx + " :1", "GWX renamed"])


class AutoPass(unittest.TestCase):
    """One prefix per case; the pass runs through "/auto"."""

    def make(self, name, **seed):
        p = qt.Prefix("stop-" + name)
        self.addCleanup(p.close)
        p.install()
        p.seed_gwx(**seed)
        return p

    def test_no_task_folder_deletes_the_command_file(self):
        p = self.make("notasks", tasks=(), subfolder_tasks=())
        shutil.rmtree(p.system32("Tasks", "Microsoft", "Windows", "Setup", "GWXTriggers"))
        with open(p.app("disable-triggers.cmd"), "w") as f:
            f.write("echo stale-command-file\r\n")
        rc, _ = p.run_exe(["/auto"], timeout=600)
        self.assertEqual(rc, 0)
        self.assertFalse(os.path.exists(p.app("disable-triggers.cmd")))
        self.assertTrue(batch_output_only(p.read_app_file("log.txt")), p.read_app_file("log.txt"))
        self.assertTrue(os.path.isdir(p.system32("GWX-")))

    def test_undeletable_gwx_minus_sends_gwx_to_the_second_name(self):
        p = self.make("busy")
        os.makedirs(p.system32("GWX-"))
        with open(p.system32("GWX-", "locked.dll"), "w") as f:
            f.write("in use")
        holder = qt.subprocess.Popen([qt.WINE64, qt.DRIVER, "hold", SYS32 + "GWX-\\locked.dll", "120000"],
                                     env=p.env, stdout=qt.subprocess.PIPE, stderr=qt.subprocess.DEVNULL)
        try:
            self.assertEqual(holder.stdout.readline().strip(), b"held")
            rc, _ = p.run_exe(["/auto"], timeout=600)
            self.assertEqual(rc, 0)
        finally:
            holder.kill()
            holder.wait()
        self.assertTrue(os.path.exists(p.system32("GWX-", "locked.dll")))
        self.assertEqual(sorted(os.listdir(p.system32("GWX--"))), sorted(qt.GWX_EXECUTABLES))
        self.assertFalse(os.path.exists(p.system32("GWX")))
        m = messages(p.read_app_file("log2.txt"))
        gwx = SYS32 + "GWX"
        self.assertIn("Cannot delete: " + gwx + "-\\locked.dll", m)
        self.assertEqual(m[m.index("Cannot delete: " + gwx + "-\\locked.dll") + 1], "Error: 32")
        self.assertEqual(m[-3:], ["ResetFileRights: " + gwx + " :1", "Error renaming GWX", "GWX renamed"])


class AutoFromAFolderOutsideTheCodePage(unittest.TestCase):
    TARGETS = ("wow64",)

    def test_auto_ends_with_gwx_moved_and_its_log_beside_it(self):
        p = qt.Prefix("stop-unicode")
        self.addCleanup(p.close)
        p.app_dir = os.path.join(p.drive_c, "\u5de5\u5177 Quellix")  # not in code page 1252
        p.install()
        p.seed_gwx(tasks=())
        self.assertEqual(p.run_exe(["/auto"], exe="quellix.exe", timeout=900)[0], 0)  # by its bare name
        self.assertTrue(os.path.isdir(p.system32("GWX-")) and not os.path.exists(p.system32("GWX")))
        self.assertEqual(messages(p.read_app_file("log2.txt"))[-1], "GWX renamed")


class WindowPass(unittest.TestCase):
    """The pass as a user sees it, driven by clicks on the running window."""

    def setUp(self):
        self.p = qt.Prefix("stop-window")
        self.addCleanup(self.p.close)
        self.p.install()
        self.p.seed_gwx()
        self.browser_log = os.path.join(self.p.root, "browser.log")
        fake = os.path.join(self.p.root, "fake-browser.sh")
        with open(fake, "w") as f:
            f.write('#!/bin/sh\necho "$@" >> "%s"\n' % self.browser_log)
        os.chmod(fake, 0o755)
        self.p.reg("add", "HKCU\\Software\\Wine\\WineBrowser", "/v", "Browsers", "/t", "REG_SZ",
                   "/d", fake, "/f")
        # Text files open in Notepad, as on any Windows (this Wine lacks the ".txt" entry).
        self.p.reg("add", "HKCR\\.txt", "/ve", "/d", "txtfile", "/f")

    def start(self):
        proc = self.p.start_exe()
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        self.assertEqual(self.p.driver("wait", qt.CAPTION, 60000)[0], 0)
        return proc

    def visible(self):
        return {c["text"]: c for c in self.p.controls() if c["visible"]}

    def test_missing_batch_file_shows_the_message_and_changes_nothing(self):
        os.remove(self.p.app("stop-gwx-from-startup.bat"))
        proc = self.start()
        before = self.p.controls()
        self.p.driver("click", qt.CAPTION, "Stop GWX!")
        rc, out = self.p.driver("msgbox", 60000)
        self.assertEqual(rc, 0, "no message box")
        self.assertIn("caption=Quellix", out)
        self.assertIn("text=Quelix is corrupted. Please, download Quellix.", out)
        self.assertTrue(qt.wait_until(lambda: os.path.exists(self.browser_log), 30),
                        "the page about GWX was not opened")
        with open(self.browser_log) as f:
            self.assertIn("/blog/what-is-gwx-gwx-exe", f.read())
        time.sleep(0.5)
        self.assertEqual(self.p.controls(), before)
        self.assertIsNone(self.p.read_app_file("log.txt"))
        self.assertTrue(os.path.isdir(self.p.system32("GWX")))
        cmd = self.p.read_app_file("disable-triggers.cmd")
        self.assertIsNotNone(cmd)
        log2 = messages(self.p.read_app_file("log2.txt"))
        self.assertEqual(len([m for m in log2 if m.startswith("ResetFileRights: ")]), 4)
        self.p.driver("close", qt.CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)

    def test_a_pass_that_leaves_gwx_in_place_says_so(self):
        for taken in ("GWX-", "GWX--"):  # plain files: no pass removes them
            open(self.p.system32(taken), "w").close()
        proc = self.start()
        self.p.click_at(162 + 97, 67 + 26)  # the middle of "Stop GWX!"
        self.assertTrue(qt.wait_until(lambda: "GWX could not be disabled. Run Quellix as an administrator."
                                      in self.visible(), 120), "no word of the failure")
        shown = self.visible()
        self.assertIn("View execution log...", shown)
        self.assertNotIn("TImage", [c["cls"] for c in shown.values()], "no success picture")
        self.assertTrue(os.path.isdir(self.p.system32("GWX")))
        self.p.driver("close", qt.CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)

    def test_stop_waiting_then_success_panel_and_log(self):
        # A batch file that keeps running for a minute unless the wait is abandoned.
        shutil.copy(qt.DRIVER, self.p.app("sleeper.exe"))
        with open(self.p.app("stop-gwx-from-startup.bat"), "wb") as f:
            f.write(b"@echo off\r\necho slow batch\r\n"
                    b"C:\\Quellix\\sleeper.exe wait QuellixNeverShown 60000\r\necho batch end\r\n")
        proc = self.start()
        self.p.driver("click", qt.CAPTION, "Stop GWX!")
        waiting = qt.wait_until(lambda: "Stop Waiting..." in self.visible(), 60)
        self.assertTrue(waiting, "the wait panel did not show")
        shown = self.visible()
        self.assertNotIn("Stop GWX!", shown)
        panel = [c for c in self.p.controls() if c["visible"] and c["y"] == 41 and c["w"] == 511]
        self.assertTrue(panel, "the wait panel is not docked under the top panel")
        qt.screenshot("stopping")
        self.p.driver("click", qt.CAPTION, "Stop Waiting...")
        self.assertTrue(qt.wait_until(lambda: "GWX has been successfully disabled!" in self.visible(), 120))
        shown = self.visible()
        self.assertNotIn("Stop Waiting...", shown)
        self.assertIn("View execution log...", shown)
        self.assertTrue(qt.wait_until(lambda: os.path.isdir(self.p.system32("GWX-")), 60))
        # The abandoned batch goes on by itself: its last line is not in the log yet.
        self.assertNotIn(b"batch end", self.p.read_app_file("log.txt") or b"")
        self.p.driver("click", qt.CAPTION, "View execution log...")
        self.assertTrue(qt.wait_until(lambda: self.p.driver("wait", "log.txt - Notepad", 500)[0] == 0, 60),
                        "log.txt was not opened")
        self.p.driver("close", "log.txt - Notepad")
        self.p.driver("close", qt.CAPTION)
        self.assertEqual(proc.wait(timeout=60), 0)


if __name__ == "__main__":
    qt.main()
