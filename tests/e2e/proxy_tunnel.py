"""Catching the start event of an installed copy of the shipped exe.

The shipped exe posts to the real analytics host. The prefix sends WinINet
through a proxy (its Internet Settings, as a user's proxy would be set) that
is a CONNECT tunnel on loopback to the local HTTPS peer and refuses every
other target."""

import os
import re
import select
import shutil
import socket
import socketserver
import sys
import threading

import quellixtest as qt

sys.path.insert(0, os.path.join(qt.SOURCE_DIR, "tests", "reporting"))
import https_server as hs  # noqa: E402

I686_DIR = os.path.dirname(qt.EXE32) if qt.EXE32 else ""
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
TRUST = os.path.join(qt.BINARY_DIR, "tests", "qx_trust_ca.exe")


def analytics_host():
    """The host the shipped exe was built to post to."""
    with open(os.path.join(I686_DIR, "CMakeCache.txt")) as f:
        return re.search(r"^QUELLIX_ANALYTICS_HOST:\w+=(.*)$", f.read(), re.M).group(1).strip()


class TunnelProxy(socketserver.ThreadingTCPServer):
    """An HTTP proxy on 127.0.0.1 that tunnels CONNECT to `allowed` (host:port)
    into the local port `target`, and refuses everything else."""

    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, allowed, target):
        self.allowed, self.target = allowed, target
        self.tunnelled, self.refused = [], []
        super().__init__((hs.HOST, 0), TunnelHandler)
        threading.Thread(target=self.serve_forever, daemon=True).start()

    @property
    def port(self):
        return self.server_address[1]

    def stop(self):
        self.shutdown()
        self.server_close()


class TunnelHandler(socketserver.StreamRequestHandler):
    def handle(self):
        request = self.rfile.readline(4096).decode("latin-1").split()
        while self.rfile.readline(4096) not in (b"\r\n", b"\n", b""):
            pass
        server = self.server
        if len(request) < 2 or request[0] != "CONNECT" or request[1] != server.allowed:
            server.refused.append(" ".join(request[:2]))
            self.wfile.write(b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n")
            return
        server.tunnelled.append(request[1])
        with socket.create_connection((hs.HOST, server.target), timeout=60) as peer:
            self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
            self.wfile.flush()
            pipe(self.connection, peer)


def pipe(a, b):
    """Copies both ways until either side closes."""
    while True:
        ready, _, _ = select.select([a, b], [], [], 60)
        if not ready:
            return
        for s in ready:
            data = s.recv(65536)
            if not data:
                return
            (b if s is a else a).sendall(data)


def peer_behind_proxy(test, work, isolated):
    """A fresh HTTPS peer in `work` and the proxy that leads the analytics host
    to it, both stopped when `test` ends."""
    shutil.rmtree(work, ignore_errors=True)
    hs.make_certificates(work)
    peer = hs.Peer(work, isolated, trusted_port=0).start()
    test.addCleanup(peer.stop)
    proxy = TunnelProxy("%s:443" % analytics_host(), peer.trusted_port)
    test.addCleanup(proxy.stop)
    return peer, proxy


def proxied_prefix(test, name, proxy_port, trust_ca_in=None):
    """A throwaway prefix whose WinINet goes through 127.0.0.1:proxy_port;
    with `trust_ca_in`, the peer's CA from that folder is trusted there."""
    p = qt.Prefix(name)
    test.addCleanup(p.close)
    # No Start menu entries of the throwaway prefix in the user's desktop
    # menus; no proxy from the environment.
    p.env["WINEDLLOVERRIDES"] += ";winemenubuilder.exe=d"
    for var in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "no_proxy"):
        p.env.pop(var, None)
    for value in (("ProxyEnable", "/t", "REG_DWORD", "/d", "1"), ("ProxyServer", "/d", "127.0.0.1:%d" % proxy_port)):
        rc, out = p.reg("add", INTERNET_SETTINGS, "/v", *value, "/f")
        test.assertEqual(rc, 0, out)
    if trust_ca_in:
        r = p.wine([TRUST, hs.windows_path(os.path.join(trust_ca_in, "ca.der"))])
        test.assertEqual(r.returncode, 0, r.stderr)
    return p
