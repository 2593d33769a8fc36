"""Post-install mode with the real exe: the start event reaches a local HTTPS
peer as one request, no window shows, and the run ends with 0, with or
without anyone listening.

The whole test runs in a private network namespace where the machine allows
one (only a loopback device: nothing can leave, and no other test run shares
port 443). The exe of the test build posts to "localhost"; the shipped exe
posts to the service's host, which a hosts file of the test's own, in a
private mount namespace, points at the loopback."""

import os
import shutil
import socket
import sys
import time
import unittest

import quellixtest as qt

sys.path.insert(0, os.path.join(qt.SOURCE_DIR, "tests", "reporting"))
import https_server as hs  # noqa: E402

ISOLATED = hs.isolate_network()
TRUST = {qt.WIN64: "qx_trust_ca.exe", qt.WIN32: "qx_trust_ca32.exe"}[qt.TARGET.kind]
WORK = os.path.join(qt.BINARY_DIR, "e2e", "postins-peer" + qt.TARGET.suffix())


def analytics_host(exe):
    """The host the exe posts to, as its build was configured."""
    folder = os.path.dirname(os.path.abspath(exe))
    while not os.path.exists(os.path.join(folder, "CMakeCache.txt")) and folder != "/":
        folder = os.path.dirname(folder)
    cache = os.path.join(folder, "CMakeCache.txt")
    with open(cache, encoding="utf-8") as f:
        for line in f:
            if line.startswith("QUELLIX_ANALYTICS_HOST:"):
                return line.split("=", 1)[1].strip()
    raise AssertionError("no QUELLIX_ANALYTICS_HOST in " + cache)


HOST = analytics_host(qt.TARGET.exe)
# Only inside the private network may a name be bent to the loopback.
RESOLVED = HOST == "localhost" or (ISOLATED and hs.resolve_to_loopback([HOST], WORK + "-hosts"))
HANG_GUARD = 300  # seconds; WinINet's own time-outs end a run long before

SERVICE_HEADERS = (b"Content-Type: application/json\r\n"
                   b"X-Parse-Application-Id: Qb7tLm2XwPz9Kd4RnVc8HsYe3JfGuA6oTi1NqEhM\r\n"
                   b"X-Parse-REST-API-Key: Wd5pRa8ZkNm2VbXc7LqTe4YsHu9GjFo3Ki6PwEtD\r\n")


def run_watching_for_window(prefix, args):
    """Runs the exe to its end, asking the driver for the main window all the
    while. (exit code, whether the window ever appeared)."""
    proc = prefix.start_exe(args)
    deadline = time.monotonic() + HANG_GUARD
    appeared = False
    try:
        while proc.poll() is None:
            if time.monotonic() > deadline:
                raise AssertionError("the run did not end")
            rc, _ = prefix.driver("wait", qt.CAPTION, 200)
            appeared = appeared or rc == 0
    finally:
        if proc.poll() is None:
            proc.kill()
    return proc.wait(), appeared


class PostInstall(unittest.TestCase):
    """The start event, by every target."""
    TARGETS = qt.ALL

    @classmethod
    def setUpClass(cls):
        if not RESOLVED:
            raise unittest.SkipTest("%s cannot be pointed at the loopback without private namespaces" % HOST)
        if not ISOLATED:
            print("no network namespace here: using the shared loopback", file=sys.stderr)
        shutil.rmtree(WORK, ignore_errors=True)
        hs.make_certificates(WORK)

    def new_prefix(self, name):
        prefix = qt.Prefix(name)
        self.addCleanup(prefix.close)
        prefix.install()
        return prefix

    def check_driver_sees_the_window(self, prefix):
        # Without this, "no window" could mean a driver that sees nothing.
        proc = prefix.start_exe([])
        try:
            rc, _ = prefix.driver("wait", qt.CAPTION, 300000, timeout=360)   # slow under qemu-user
            self.assertEqual(rc, 0, "the driver does not see an interactive start's window")
            prefix.driver("close", qt.CAPTION)
            self.assertEqual(proc.wait(timeout=120), 0)
        finally:
            if proc.poll() is None:
                proc.kill()

    def test_posts_the_start_event_once_and_shows_no_window(self):
        peer = hs.Peer(WORK, ISOLATED).start()
        self.addCleanup(peer.stop)
        prefix = self.new_prefix("postins")
        r = prefix.wine([os.path.join(qt.BINARY_DIR, "tests", TRUST), hs.windows_path(os.path.join(WORK, "ca.der"))])
        self.assertEqual(r.returncode, 0, r.stderr)
        self.check_driver_sees_the_window(prefix)
        self.assertEqual(peer.recorded(), [], "an interactive start sends nothing")

        rc, appeared = run_watching_for_window(prefix, ["/postins"])
        self.assertEqual(rc, 0)
        self.assertFalse(appeared, "the /postins run showed its window")

        requests = peer.recorded()
        self.assertEqual(len(requests), 1, requests)
        port, raw = requests[0]
        head, _, body = raw.partition(b"\r\n\r\n")
        self.assertEqual(port, 443)
        self.assertTrue(head.startswith(b"POST /1/events/AppOpened HTTP/1.1\r\n"), head)
        self.assertIn(b"\r\nHost: " + HOST.encode() + b"\r\n", head)
        self.assertIn(b"\r\nUser-Agent: Mozilla/4.0\r\n", head)
        self.assertIn(b"\r\n" + SERVICE_HEADERS, head + b"\r\n")
        self.assertEqual(body, b"{}")
        self.assertFalse(os.path.exists(prefix.app("log2.txt")), "reporting writes no log")


class NoPeer(unittest.TestCase):
    def test_with_no_one_listening_it_still_ends_with_0_and_no_window(self):
        # Bound but not listening: a connection to the port is refused.
        holder = socket.socket()
        self.addCleanup(holder.close)
        holder.bind((hs.HOST, hs.TRUSTED_PORT))
        prefix = qt.Prefix("postins-noserver")
        self.addCleanup(prefix.close)
        prefix.install()
        rc, appeared = run_watching_for_window(prefix, ["/postins"])
        self.assertEqual(rc, 0)
        self.assertFalse(appeared, "the /postins run showed its window")


if __name__ == "__main__":
    qt.main()
