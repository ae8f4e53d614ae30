#!/usr/bin/env python3
"""Local HTTP peer for the tests: serves a folder on 127.0.0.1.

GET/HEAD serve files of the folder. A file NAME.redirect next to a path answers that path with
a 302 to the address it holds. POST bodies are appended, one per line with the path, to
posts.log in the folder and answered "OK". The first line printed is "PORT <n>".
"""
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def _redirect_target(self):
        local = self.translate_path(self.path)
        if os.path.isfile(local + ".redirect"):
            with open(local + ".redirect") as f:
                return f.read().strip()
        return None

    def do_GET(self):
        target = self._redirect_target()
        if target:
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
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
    print("PORT %d" % server.server_address[1], flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
