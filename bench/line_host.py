#!/usr/bin/env python3
"""The host of bench/agent_line.sh: one connection on 127.0.0.1, served one way.

usage: line_host.py MODE SIZE PORT_FILE RESULT_FILE
       line_host.py pattern SIZE FILE   (writes the bytes the host sends)
  sink    read until the peer closes
  source  send SIZE bytes, then close
  both    send SIZE bytes while reading SIZE bytes, then wait for the close
  echo    send back whatever comes, until the peer closes
  idle    read nothing, until the peer closes
The port goes to PORT_FILE once listening; RESULT_FILE gets a line "received
N bytes, last T s after the accept" when the peer has closed.
"""
import os
import socket
import sys
import threading
import time


def pattern(size):
    """Bytes without the framing's delimiter and escape (0xC0, 0xDB), so that
    every byte takes one byte on the line and the ceilings apply as stated."""
    values = [(i * 131 + 7) % 251 for i in range(251)]
    values = [0x41 if v in (0xC0, 0xDB) else v for v in values]
    return bytes(values[i % 251] for i in range(size))


def main():
    if sys.argv[1] == "pattern":
        with open(sys.argv[3], "wb") as out:
            out.write(pattern(int(sys.argv[2])))
        return
    mode, size, port_file, result_file = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    server = socket.socket()
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    with open(port_file + ".tmp", "w") as out:
        out.write(str(server.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    server.settimeout(900)
    peer, _ = server.accept()
    peer.settimeout(900)
    accepted = time.monotonic()
    if mode in ("source", "both"):
        payload = pattern(size)
        sender = threading.Thread(target=peer.sendall, args=(payload,))
        sender.start()
    received, last = 0, accepted
    while mode != "source":
        data = peer.recv(65536)
        if not data:
            break
        received += len(data)
        last = time.monotonic()
        if mode == "echo":
            peer.sendall(data)
    if mode in ("source", "both"):
        sender.join()
    if mode == "source":
        peer.shutdown(socket.SHUT_WR)
        while peer.recv(65536):
            pass
    peer.close()
    with open(result_file, "w") as out:
        out.write("received %d bytes, last %.3f s after the accept\n" % (received, last - accepted))


main()
