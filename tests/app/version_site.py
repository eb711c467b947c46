#!/usr/bin/env python3
# The maker's web site for the update-check tests on 127.0.0.1: ROOT over HTTP (and HTTPS with --cert/--key),
# /redirect?to=URL answers 302; prints "ports HTTP HTTPS" once listening, logs "METHOD PATH STATUS" to --log.
import argparse
import functools
import http.server
import signal
import ssl
import sys
import threading
import urllib.parse


class Handler(http.server.SimpleHTTPRequestHandler):
    log_path = None

    def do_GET(self):
        parts = urllib.parse.urlsplit(self.path)
        if parts.path == "/redirect":
            target = urllib.parse.parse_qs(parts.query).get("to", [""])[0]
            self.send_response(302)
            self.send_header("Location", target)
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        super().do_GET()

    def log_request(self, code="-", size="-"):
        with open(self.log_path, "a") as f:
            f.write(f"{self.command} {self.path} {code}\n")

    def log_message(self, *args):
        pass


def main():
    ap = argparse.ArgumentParser()
    for name in ("root", "--log", "--cert", "--key"):
        ap.add_argument(name)
    a = ap.parse_args()
    Handler.log_path = a.log
    handler = functools.partial(Handler, directory=a.root)
    servers = [http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)]
    if a.cert:
        tls = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        ctx.load_cert_chain(a.cert, a.key)
        tls.socket = ctx.wrap_socket(tls.socket, server_side=True)
        servers.append(tls)
    for s in servers:
        s.daemon_threads = True
        threading.Thread(target=s.serve_forever, daemon=True).start()
    ports = [s.server_address[1] for s in servers] + [0]
    print(f"ports {ports[0]} {ports[1]}", flush=True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    stop.wait()
    for s in servers:
        s.shutdown()
    return 0


if __name__ == "__main__":
    sys.exit(main())
