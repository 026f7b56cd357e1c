#!/usr/bin/env python3
"""A test print server for the UDP queue-name query ("GET PORT_NAME").

    queue_server.py --logdir DIR --ready FILE ENDPOINT...

ENDPOINT is ADDR:PORT:MODE[:NAMES]. NAMES (comma-separated, default
"LPT1,COM1") are the server's port names. The answer is the byte 0x01, then
each name and a zero byte, sent according to MODE:

  one           the whole answer in one piece
  three         the answer in three pieces, more=1 on the first two
  big           the answer padded with "LPT1" entries to 1200 bytes, in pieces
                of at most 400 bytes
  wrong-offset  as one, but the first reply to each request carries a wrong
                offset; the resend is answered correctly
  wrong-type    the same with a wrong message type
  silent        nothing is ever answered

Requests (88 bytes): type at 0 (1 first, 2 further piece, 3 closing ack),
word at 2, command at 4 (80 bytes), offset at 84, word at 86; replies: type,
more, offset, length, data; all 16-bit fields big-endian. A piece is the one
holding the offset asked for, from that offset on. A closing type-3 packet
gets an empty type-3 reply.

Every packet received is logged at once to DIR/PORT.log as
"type=T word=W command=TEXT offset=O fixed=F", with " padding=dirty" when the
command's zero padding holds other bytes and " size=N" when the packet is not
88 bytes long. Replies are written to standard output. FILE appears once
every endpoint is bound.
"""

import argparse
import os
import select
import socket
import struct
import sys


class Endpoint:
    def __init__(self, text, logdir):
        self.addr, port, self.mode, names = (text.split(":", 3) + ["LPT1,COM1"])[:4]
        if self.mode not in ("one", "three", "big", "wrong-offset", "wrong-type", "silent"):
            raise ValueError("endpoint %r: mode %r" % (text, self.mode))
        self.data = b"\x01" + b"".join(n.encode("latin-1") + b"\0" for n in names.split(","))
        n = len(self.data)
        if self.mode == "big":
            while len(self.data) + 5 <= 1200:
                self.data += b"LPT1\0"
            self.data = self.data.ljust(1200, b"\0")
            self.cuts = [0, 400, 800, 1200]
        elif self.mode == "three":
            self.cuts = sorted({0, n // 3, 2 * n // 3, n})
        else:
            self.cuts = [0, n]
        self.seen = set()
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((self.addr, int(port)))
        self.port = self.sock.getsockname()[1]
        self.log = open(os.path.join(logdir, "%d.log" % self.port), "a", buffering=1)

    def handle(self, packet, client):
        self.log.write(describe(packet) + "\n")
        if len(packet) < 86 or self.mode == "silent":
            return
        kind, offset = struct.unpack_from(">H", packet, 0)[0], struct.unpack_from(">H", packet, 84)[0]
        more, data = 0, b""
        if kind != 3:
            for end in self.cuts[1:]:
                if offset < end:
                    more, data = int(end < len(self.data)), self.data[offset:end]
                    break
        key = (client, kind, offset)
        if self.mode.startswith("wrong-") and kind != 3 and key not in self.seen:
            self.seen.add(key)
            if self.mode == "wrong-offset":
                offset = (offset + 1) & 0xFFFF
            else:
                kind = kind % 3 + 1
        self.sock.sendto(struct.pack(">HHHH", kind, more, offset, len(data)) + data, client)
        print("%s:%d -> %s:%d type=%d more=%d offset=%d length=%d"
              % (self.addr, self.port, client[0], client[1], kind, more, offset, len(data)), flush=True)


def describe(packet):
    def word(at):
        return str(struct.unpack_from(">H", packet, at)[0]) if len(packet) >= at + 2 else "-"
    text, _, padding = packet[4:84].partition(b"\0")
    line = "type=%s word=%s command=%s offset=%s fixed=%s" % (
        word(0), word(2), text.decode("latin-1"), word(84), word(86))
    if padding.strip(b"\0"):
        line += " padding=dirty"
    if len(packet) != 88:
        line += " size=%d" % len(packet)
    return line


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--logdir", required=True)
    ap.add_argument("--ready", required=True)
    ap.add_argument("endpoints", nargs="+")
    args = ap.parse_args()
    try:
        by_sock = {e.sock: e for e in (Endpoint(text, args.logdir) for text in args.endpoints)}
    except (ValueError, OSError) as e:
        sys.exit("queue_server: %s" % e)
    open(args.ready, "w").close()
    while True:
        for sock in select.select(list(by_sock), [], [])[0]:
            packet, client = sock.recvfrom(65535)
            by_sock[sock].handle(packet, client)


if __name__ == "__main__":
    main()
