"""A PIN pad at the far end of a serial line, as TavoTest's probes see it.

usage: pinpad_responder.py TERMINAL LOG [garbage]

Reads request frames (STX, the command as hexadecimal characters, ETX, ETX)
from TERMINAL, appends each command to LOG, one a line, and answers STX, the
reply bytes as hexadecimal characters, ETX:

  A20000A0    serial number and key status: "SN:1234567890GK;" (16 bytes),
              then c (no PIN key), x (a MAC key), c (no KLK key), and a last
              byte that is never read
  E9010001EB  MAC key deleted: 00 00 00 02
  E9010000EA  PIN key: 00 00 00 01, which is no deletion

With "garbage" it answers every command with characters that are no
hexadecimal digits, as a confused device on the port would.
"""
import os
import sys
import termios
import tty

STX, ETX = 0x02, 0x03
REPLIES = {
    b"A20000A0": b"SN:1234567890GK;" + b"cxc" + b"\x00",
    b"E9010001EB": bytes([0, 0, 0, 2]),
    b"E9010000EA": bytes([0, 0, 0, 1]),
}


def main():
    line = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
    tty.setraw(line)
    termios.tcflush(line, termios.TCIOFLUSH)
    garbage = sys.argv[3:] == ["garbage"]
    received = b""
    while True:
        chunk = os.read(line, 256)
        if not chunk:
            return
        received += chunk
        while True:
            end = received.find(bytes([ETX, ETX]))
            if end < 0:
                break
            start = received.rfind(bytes([STX]), 0, end)
            command = received[start + 1:end] if start >= 0 else b""
            received = received[end + 2:]
            with open(sys.argv[2], "a") as log:
                log.write(command.decode("ascii", "replace") + "\n")
            reply = REPLIES.get(command)
            if garbage:
                os.write(line, bytes([STX]) + b"ZZ??\xff" + bytes([ETX]))
            elif reply is not None:
                os.write(line, bytes([STX]) + reply.hex().upper().encode("ascii") + bytes([ETX]))


if __name__ == "__main__":
    main()
