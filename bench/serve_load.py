#!/usr/bin/env python3
"""hmisim --serve under hostile load, on the loopback: 200 connections dripping header
lines, 100 event streams (those past the server's bound are refused), 8 bodies sent
without end past the body limit, while one normal client asks for the state 100 times
and window 18 runs as fast as it can. Reports the normal client's median and worst
latency and the server's resident memory (now and at its peak). Stops by itself.

    bench/serve_load.py build/default/sim/hmisim
"""
import socket
import statistics
import subprocess
import sys
import threading
import time


def connect(port):
    s = socket.create_connection(("127.0.0.1", port), timeout=10)
    s.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    return s


def request(port, host, method, path, body=b""):
    s = connect(port)
    head = f"{method} {path} HTTP/1.1\r\nHost: {host}\r\nConnection: close\r\n"
    if body:
        head += f"Content-Type: application/json\r\nContent-Length: {len(body)}\r\n"
    s.sendall(head.encode() + b"\r\n" + body)
    data = b""
    while True:
        chunk = s.recv(65536)
        if not chunk:
            break
        data += chunk
    s.close()
    return data


def memory(pid):
    fields = {}
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            name, _, value = line.partition(":")
            fields[name] = value.strip()
    return fields["VmRSS"], fields["VmHWM"]


def main():
    hmisim = sys.argv[1]
    server = subprocess.Popen([hmisim, "--serve", "0", "--params", "none", "-q"],
                              stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    url = server.stdout.readline().split()[1]
    host = url.split("//")[1].rstrip("/")
    port = int(host.rsplit(":", 1)[1])
    stop = time.monotonic() + 20
    sockets, lock = [], threading.Lock()

    def slow():
        while time.monotonic() < stop:
            try:
                s = connect(port)
                s.sendall(f"GET /api/state HTTP/1.1\r\nHost: {host}\r\n".encode())
                for i in range(100):
                    if time.monotonic() >= stop:
                        break
                    s.sendall(f"X-Slow-{i}: 1\r\n".encode())
                    time.sleep(0.5)
            except OSError:
                pass  # cut off by the server: connect again

    def stream():
        try:
            s = connect(port)
            s.sendall(f"GET /api/events HTTP/1.1\r\nHost: {host}\r\n\r\n".encode())
            s.settimeout(1)
            while time.monotonic() < stop:
                try:
                    if not s.recv(65536):
                        return
                except socket.timeout:
                    pass
        except OSError:
            pass

    def oversized():
        while time.monotonic() < stop:
            try:
                s = connect(port)
                s.sendall(f"POST /api/set HTTP/1.1\r\nHost: {host}\r\n"
                          "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                          .encode())
                piece = b"10000\r\n" + b" " * 0x10000 + b"\r\n"
                while time.monotonic() < stop:
                    s.sendall(piece)
            except OSError:
                pass

    request(port, host, "POST", "/api/show", b'{"window":"18"}')
    request(port, host, "POST", "/api/run", b'{"speed":"max"}')
    threads = [threading.Thread(target=f, daemon=True)
               for f in [slow] * 200 + [stream] * 100 + [oversized] * 8]
    for t in threads:
        t.start()
    time.sleep(3)
    latencies, failures, peak_now = [], 0, "?"
    for _ in range(100):
        started = time.monotonic()
        reply = request(port, host, "GET", "/api/state")
        latencies.append((time.monotonic() - started) * 1000)
        failures += not reply.startswith(b"HTTP/1.1 200")
        time.sleep(0.05)
    rss, hwm = memory(server.pid)
    streams = request(port, host, "GET", "/api/events")
    server.terminate()
    server.wait(10)
    print(f"normal client: median {statistics.median(latencies):.1f} ms, "
          f"worst {max(latencies):.1f} ms, {failures} of 100 not answered 200")
    print(f"server memory: resident {rss}, peak {hwm}")
    print("one more stream at the end:", streams.split(b"\r\n", 1)[0].decode())


if __name__ == "__main__":
    main()
