#!/usr/bin/env python3
"""The hosts of bench/agent_soak.sh: one process listening on 127.0.0.1 on a
port for each way of serving a connection, every connection on its own thread.

usage: soak_host.py STATE_FILE FLOOD_BYTES WAIT_SECONDS
  echo     send back whatever comes, until the peer closes
  sink     read until the peer closes
  flood    send FLOOD_BYTES as fast as the peer takes them, then close
  endless  send until the peer closes (a host that floods a PIN pad that
           hangs up)
  refused  a port that was free at the start and is not listened on
Once listening, and every second after, STATE_FILE gets (by rename) a line
"PORTS echo=P sink=P flood=P endless=P refused=P" and a line "COUNTS
accepted=N closed=N open=N received=N sent=N" with per-port lines "PORT name
accepted=N open=N". A connection is waited on for at most WAIT_SECONDS, more
than the run, so that one the agent leaves open is still open when the run
ends. Ends at SIGTERM or SIGINT.
"""
import os
import signal
import socket
import sys
import threading
import time

KINDS = ("echo", "sink", "flood", "endless")


def pattern(size):
    values = bytes((i * 131 + 7) % 251 for i in range(251))
    return (values * (size // 251 + 1))[:size]


class Counts:
    def __init__(self):
        self.lock = threading.Lock()
        self.accepted = {kind: 0 for kind in KINDS}
        self.open = {kind: 0 for kind in KINDS}
        self.closed = 0
        self.received = 0
        self.sent = 0

    def add(self, **amounts):
        with self.lock:
            for name, amount in amounts.items():
                setattr(self, name, getattr(self, name) + amount)


def serve(kind, peer, counts, flood, chunk):
    try:
        if kind in ("flood", "endless"):
            left = flood if kind == "flood" else None
            while left is None or left > 0:
                piece = chunk if left is None else chunk[:left]
                peer.sendall(piece)
                counts.add(sent=len(piece))
                if left is not None:
                    left -= len(piece)
            if kind == "flood":
                peer.shutdown(socket.SHUT_WR)
        while True:
            data = peer.recv(65536)
            if not data:
                break
            counts.add(received=len(data))
            if kind == "echo":
                peer.sendall(data)
                counts.add(sent=len(data))
    except OSError:
        pass  # reset by the peer or the wait ran out: the connection is over
    finally:
        peer.close()
        with counts.lock:
            counts.open[kind] -= 1
            counts.closed += 1


def listen(kind, server, counts, flood, wait):
    chunk = pattern(16384)
    while True:
        peer, _ = server.accept()
        peer.settimeout(wait)
        with counts.lock:
            counts.accepted[kind] += 1
            counts.open[kind] += 1
        threading.Thread(target=serve, args=(kind, peer, counts, flood, chunk), daemon=True).start()


def write_state(path, ports, counts):
    with counts.lock:
        lines = ["PORTS " + " ".join("%s=%d" % (name, port) for name, port in ports.items())]
        lines.append("COUNTS accepted=%d closed=%d open=%d received=%d sent=%d" % (
            sum(counts.accepted.values()), counts.closed, sum(counts.open.values()), counts.received, counts.sent))
        for kind in KINDS:
            lines.append("PORT %s accepted=%d open=%d" % (kind, counts.accepted[kind], counts.open[kind]))
    with open(path + ".tmp", "w") as out:
        out.write("\n".join(lines) + "\n")
    os.rename(path + ".tmp", path)


def main():
    state_file, flood, wait = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
    counts = Counts()
    ports = {}
    for kind in KINDS:
        server = socket.socket()
        server.bind(("127.0.0.1", 0))
        server.listen(16)
        ports[kind] = server.getsockname()[1]
        threading.Thread(target=listen, args=(kind, server, counts, flood, wait), daemon=True).start()
    free = socket.socket()
    free.bind(("127.0.0.1", 0))
    ports["refused"] = free.getsockname()[1]
    free.close()
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: stop.set())
    signal.signal(signal.SIGINT, lambda *_: stop.set())
    while not stop.is_set():
        write_state(state_file, ports, counts)
        stop.wait(1)
    write_state(state_file, ports, counts)


main()
