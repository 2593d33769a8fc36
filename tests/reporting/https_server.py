#!/usr/bin/env python3
"""The HTTPS peer of the reporting tests: python's http.server wrapped in TLS,
listening on 127.0.0.1 only, writing every request it gets, byte for byte, to
a file of its own before it answers.

Listeners:
  443             certificate for another host name (peer.quellix.test),
                  issued by a throwaway CA that the tests trust
  ephemeral port  self-signed certificate for localhost, which nobody trusts

Answers, chosen by the path:
  /status/NNN     status NNN
  /size/N         N bytes of text, byte i = 'a' + i % 26
  /zero           "0123456789", a zero byte, 1012 times "z", "tail"
  /empty          an empty body
  anything else   {"result":"ok"}

Certificates and keys are made with the openssl command line at test time,
into the work folder; none is kept in the repository.

  https_server.py run --dir D --template T --trust HELPER -- COMMAND...

runs COMMAND in a private network namespace (only a loopback device, so
nothing can leave the machine and no other test run shares port 443), in a
fresh clone of the Wine prefix T with the CA added to its LocalMachine Root
store by HELPER, with the server up. When the machine cannot make a network
namespace, it says so and uses the shared loopback.
"""

import argparse
import ctypes
import fcntl
import http.server
import os
import shutil
import socket
import ssl
import struct
import subprocess
import sys
import threading

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPTS = os.path.abspath(os.path.join(HERE, "..", "..", "scripts"))
WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "/usr/lib/wine/wineserver"
HOST = "127.0.0.1"
TRUSTED_PORT = 443
PEER_NAME = "peer.quellix.test"

ZERO_BODY = b"0123456789" + b"\0" + b"z" * 1012 + b"tail"


def windows_path(unix_path):
    """Wine maps / to Z:."""
    return "Z:" + os.path.abspath(unix_path).replace("/", "\\")


# --- network namespace ------------------------------------------------------

def isolate_network():
    """Moves this process (and what it starts later) into a new network
    namespace with its loopback device up. False when the system refuses.
    Call it while the process has one thread only."""
    libc = ctypes.CDLL(None, use_errno=True)
    clone_newnet, clone_newuser = 0x40000000, 0x10000000
    if libc.unshare(clone_newnet) != 0:
        # Not root: a user namespace of its own gives this process the rights
        # over the new network namespace (loopback up, port 443). The user
        # keeps its own ids there, so its files and Wine prefixes stay its own.
        uid, gid = os.getuid(), os.getgid()
        if uid == 0 or libc.unshare(clone_newuser | clone_newnet) != 0:
            return False
        for name, text in (("setgroups", "deny"), ("uid_map", "%d %d 1" % (uid, uid)),
                           ("gid_map", "%d %d 1" % (gid, gid))):
            with open("/proc/self/" + name, "w") as f:
                f.write(text)
    siocgifflags, siocsifflags, iff_up = 0x8913, 0x8914, 0x1
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        request = struct.pack("16sH14x", b"lo", 0)
        flags = struct.unpack("16sH", fcntl.ioctl(s, siocgifflags, request)[:18])[1]
        fcntl.ioctl(s, siocsifflags, struct.pack("16sH14x", b"lo", flags | iff_up))
    return True


def resolve_to_loopback(names, folder):
    """Makes NAMES resolve to 127.0.0.1 for this process and what it starts
    later: a hosts file of its own, bound over /etc/hosts in a private mount
    namespace. Only sound after isolate_network(), so that nothing that still
    asks DNS could leave the machine. False when the system refuses."""
    libc = ctypes.CDLL(None, use_errno=True)
    clone_newns, ms_rec, ms_private, ms_bind = 0x00020000, 0x4000, 0x40000, 0x1000
    if libc.unshare(clone_newns) != 0:
        return False
    if libc.mount(b"none", b"/", None, ms_rec | ms_private, None) != 0:
        return False
    hosts = os.path.join(folder, "hosts")
    os.makedirs(folder, exist_ok=True)
    with open(hosts, "w") as f:
        f.write("127.0.0.1 localhost %s\n" % " ".join(names))
    return libc.mount(hosts.encode(), b"/etc/hosts", None, ms_bind, None) == 0


# --- certificates -------------------------------------------------------------

def _openssl(*args, cwd):
    subprocess.run(["openssl"] + list(args), cwd=cwd, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(folder):
    """ca.pem/ca.der (the CA to trust), peer.pem/peer.key (issued by it for
    PEER_NAME) and self.pem/self.key (self-signed for localhost)."""
    os.makedirs(folder, exist_ok=True)
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
             "-out", "ca.pem", "-days", "2", "-subj", "/CN=Quellix Test Root",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign", cwd=folder)
    _openssl("x509", "-in", "ca.pem", "-outform", "DER", "-out", "ca.der", cwd=folder)
    _openssl("req", "-newkey", "rsa:2048", "-nodes", "-keyout", "peer.key", "-out", "peer.csr",
             "-subj", "/CN=" + PEER_NAME, cwd=folder)
    with open(os.path.join(folder, "peer.ext"), "w") as f:
        f.write("basicConstraints=CA:FALSE\n"
                "keyUsage=critical,digitalSignature,keyEncipherment\n"
                "extendedKeyUsage=serverAuth\n"
                "subjectAltName=DNS:%s\n" % PEER_NAME)
    _openssl("x509", "-req", "-in", "peer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
             "-CAcreateserial", "-out", "peer.pem", "-days", "2", "-extfile", "peer.ext",
             cwd=folder)
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "self.key",
             "-out", "self.pem", "-days", "2", "-subj", "/CN=localhost",
             "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1", cwd=folder)


# --- the server ---------------------------------------------------------------

class _Tee:
    """The request stream, keeping a copy of every byte taken from it."""

    def __init__(self, stream):
        self._stream = stream
        self.taken = bytearray()

    def readline(self, *args):
        data = self._stream.readline(*args)
        self.taken += data
        return data

    def read(self, *args):
        data = self._stream.read(*args)
        self.taken += data
        return data

    def __getattr__(self, name):
        return getattr(self._stream, name)


class _Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"  # keep-alive, as WinINet asks for it
    server_version = "QuellixPeer/1"
    timeout = 60

    def setup(self):
        super().setup()
        self.rfile = _Tee(self.rfile)

    def handle_one_request(self):
        self.rfile.taken.clear()
        super().handle_one_request()

    def log_message(self, *args):
        pass

    def _answer(self):
        length = int(self.headers.get("Content-Length") or 0)
        if length:
            self.rfile.read(length)
        self.server.record(bytes(self.rfile.taken))

        path = self.path.split("?", 1)[0]
        status, body = 200, b'{"result":"ok"}'
        if path.startswith("/status/"):
            status = int(path[len("/status/"):])
            body = b"status %d" % status
        elif path.startswith("/size/"):
            count = int(path[len("/size/"):])
            body = bytes(ord("a") + i % 26 for i in range(count))
        elif path == "/zero":
            body = ZERO_BODY
        elif path == "/empty":
            body = b""
        self.send_response(status)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    do_GET = do_POST = do_PUT = do_HEAD = _answer


class _TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, port, certfile, keyfile, recorder):
        self._context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self._context.load_cert_chain(certfile, keyfile)
        self._recorder = recorder
        super().__init__((HOST, port), _Handler)

    def finish_request(self, request, client_address):
        # The handshake runs in the connection's own thread, so that a
        # client that gives up on the certificate holds up nobody.
        try:
            request.settimeout(60)
            tls = self._context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        try:
            super().finish_request(tls, client_address)
        finally:
            try:
                tls.close()
            except OSError:
                pass

    def handle_error(self, request, client_address):
        pass  # a client that drops the connection is no news here

    def record(self, raw):
        self._recorder(self.server_address[1], raw)


class Peer:
    """Both listeners and the request files, in `folder`."""

    def __init__(self, folder, isolated=False, trusted_port=TRUSTED_PORT):
        self.folder = os.path.abspath(folder)
        self.isolated = isolated
        self._trusted_port = trusted_port  # 0: any free port
        self.requests = os.path.join(self.folder, "requests")
        os.makedirs(self.requests, exist_ok=True)
        self._lock = threading.Lock()
        self._count = 0
        self._servers = []

    def _record(self, port, raw):
        with self._lock:
            self._count += 1
            name = "%06d-%d" % (self._count, port)
        tmp = os.path.join(self.requests, name + ".tmp")
        with open(tmp, "wb") as f:
            f.write(raw)
        os.replace(tmp, os.path.join(self.requests, name + ".req"))

    def start(self):
        c = lambda name: os.path.join(self.folder, name)
        self._servers = [
            _TlsServer(self._trusted_port, c("peer.pem"), c("peer.key"), self._record),
            _TlsServer(0, c("self.pem"), c("self.key"), self._record),
        ]
        for server in self._servers:
            threading.Thread(target=server.serve_forever, daemon=True).start()
        with open(c("server.txt"), "w") as f:
            f.write("trusted_port=%d\n" % self.trusted_port)
            f.write("untrusted_port=%d\n" % self.untrusted_port)
            f.write("requests=%s\n" % windows_path(self.requests))
            f.write("isolated=%d\n" % int(self.isolated))
        return self

    @property
    def trusted_port(self):
        return self._servers[0].server_address[1]

    @property
    def untrusted_port(self):
        return self._servers[1].server_address[1]

    def recorded(self):
        """[(port, raw bytes)] in the order the requests arrived."""
        names = sorted(n for n in os.listdir(self.requests) if n.endswith(".req"))
        result = []
        for name in names:
            with open(os.path.join(self.requests, name), "rb") as f:
                result.append((int(name[:-4].split("-")[1]), f.read()))
        return result

    def stop(self):
        for server in self._servers:
            server.shutdown()
            server.server_close()
        self._servers = []


# --- running a test program against it -------------------------------------

def run(args):
    isolated = isolate_network()
    if isolated:
        print("https_server: private network namespace, loopback only", flush=True)
    else:
        print("https_server: no network namespace here; using the shared loopback "
              "(port 443 must be free)", flush=True)

    work = os.path.abspath(args.dir)
    shutil.rmtree(work, ignore_errors=True)
    make_certificates(work)
    prefix = os.path.join(work, "prefix")
    subprocess.run([os.path.join(SCRIPTS, "clone-prefix.sh"), args.template, prefix], check=True)
    env = dict(os.environ, WINEPREFIX=prefix, QUELLIX_WINEPREFIX=prefix, WINEDEBUG="-all",
               WINEDLLOVERRIDES="mscoree,mshtml=",
               QUELLIX_REPORTING_SERVER=windows_path(os.path.join(work, "server.txt")))
    peer = Peer(work, isolated).start()
    try:
        # The prefix's wineserver starts here, inside the namespace: Wine
        # makes its sockets there.
        trusted = subprocess.run([WINE64, args.trust, windows_path(os.path.join(work, "ca.der"))],
                                 env=env)
        if trusted.returncode != 0:
            print("https_server: adding the CA to the Root store failed", file=sys.stderr)
            return 1
        return subprocess.run(args.command, env=env).returncode
    finally:
        subprocess.run([WINESERVER, "-k"], env=env, stderr=subprocess.DEVNULL)
        subprocess.run([WINESERVER, "-w"], env=env, stderr=subprocess.DEVNULL)
        peer.stop()
        shutil.rmtree(prefix, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    sub = parser.add_subparsers(dest="verb", required=True)
    r = sub.add_parser("run")
    r.add_argument("--dir", required=True, help="work folder (certificates, requests, prefix)")
    r.add_argument("--template", required=True, help="template Wine prefix to clone")
    r.add_argument("--trust", required=True, help="the helper exe that trusts a CA")
    r.add_argument("command", nargs=argparse.REMAINDER)
    args = parser.parse_args()
    if args.command[:1] == ["--"]:
        args.command = args.command[1:]
    if not args.command:
        parser.error("no command")
    sys.exit(run(args))


if __name__ == "__main__":
    main()
