#!/usr/bin/env python3
"""Local HTTP peer for the tests: serves a folder on 127.0.0.1.

GET/HEAD serve files of the folder. A file NAME.redirect next to a path answers that path with
a 302 to the address it holds. POST bodies are appended, one per line with the path, to
posts.log in the folder and answered "OK". The first line printed is "PORT <n>".

Hostile servers: a file NAME.behaviour (JSON) next to a path makes a GET of that path misbehave:
  {"silent": true}                   accept the request and never answer
  {"head": "...", "fill": N, "tail": "..."}
                                     a 200 reply whose body is head, N bytes of "x", then tail,
                                     with no Content-Length (the peer cannot tell its size ahead);
                                     with "announce": true the length is announced
  {"head": "...", "byteDelay": s}    a 200 reply that trickles head one byte every s seconds
  {"head": "...", "declare": N}      a 200 reply that announces N bytes, sends head and hangs up
Every misbehaving answer stops by itself after "maxSeconds" (default 30) or when the client
goes away, and the filler is capped at 4 GiB.

With a certificate and its key as further arguments the server speaks https only.
"""
import http.server
import json
import os
import ssl
import sys
import time

MAX_FILL = 4 << 30
CHUNK = 1 << 16


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def _companion(self, suffix):
        local = self.translate_path(self.path) + suffix
        if os.path.isfile(local):
            with open(local) as f:
                return f.read()
        return None

    def _misbehave(self, spec):
        deadline = time.monotonic() + float(spec.get("maxSeconds", 30))
        if spec.get("silent"):
            while time.monotonic() < deadline:
                time.sleep(0.05)
            return
        head = spec.get("head", "").encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/xml")
        self.send_header("Connection", "close")
        if "declare" in spec:
            self.send_header("Content-Length", str(int(spec["declare"])))
        elif spec.get("announce"):
            length = len(head) + min(int(spec.get("fill", 0)), MAX_FILL) + len(spec.get("tail", "").encode())
            self.send_header("Content-Length", str(length))
        self.end_headers()
        self.close_connection = True
        if "declare" in spec:
            self.wfile.write(head)
            self.wfile.flush()
            return
        delay = float(spec.get("byteDelay", 0))
        try:
            if delay > 0:
                for i in range(len(head)):
                    if time.monotonic() >= deadline:
                        return
                    self.wfile.write(head[i:i + 1])
                    self.wfile.flush()
                    time.sleep(delay)
                return
            self.wfile.write(head)
            left = min(int(spec.get("fill", 0)), MAX_FILL)
            block = b"x" * CHUNK
            while left > 0 and time.monotonic() < deadline:
                n = min(left, CHUNK)
                self.wfile.write(block[:n])
                left -= n
            self.wfile.write(spec.get("tail", "").encode())
        except (BrokenPipeError, ConnectionResetError):
            pass

    def do_GET(self):
        target = self._companion(".redirect")
        if target:
            self.send_response(302)
            self.send_header("Location", target.strip())
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        behaviour = self._companion(".behaviour")
        if behaviour:
            self._misbehave(json.loads(behaviour))
            return
        super().do_GET()

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        body = self.rfile.read(length)
        with open(os.path.join(self.directory, "posts.log"), "ab") as f:
            f.write(self.path.encode() + b" " + body + b"\n")
        self.send_response(200)
        self.send_header("Content-Type", "text/plain")
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"OK")


def main():
    root = sys.argv[1]
    handler = lambda *a, **kw: Handler(*a, directory=root, **kw)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    if len(sys.argv) > 3:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])
        server.socket = context.wrap_socket(server.socket, server_side=True)
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
