#!/usr/bin/env python3
"""A test print server for the UDP queue-name query ("GET PORT_NAME").

    queue_server.py --logdir DIR [--ready FILE] [--names LIST] ENDPOINT...

ENDPOINT is ADDR:PORT:MODE[:NAMES]. NAMES (comma-separated, default --names,
itself "LPT1,COM1") are the server's port names; an empty item adds a bare
zero byte between names. The answer is the byte 0x01, then each name and a
zero byte. MODE is a layout, optionally joined with '+' to one fault:

  one           the whole answer in one piece (the default layout)
  three         the answer in three pieces, more=1 on the first two
  big[=N]       the answer padded with "LPT1" entries to N bytes (default
                1200), in pieces of at most 400 bytes
  wrong-offset  the first reply to each request carries a wrong offset; the
                resend is answered correctly
  wrong-type    the same with a wrong message type
  silent        nothing is ever answered

so "wrong-offset" alone is "one+wrong-offset", and "three+wrong-type" is
allowed. Requests (88 bytes): type at 0 (1 first, 2 further piece, 3 closing
ack), word at 2, command at 4 (80 bytes), offset at 84, word at 86; replies:
type, more, offset, length, data; all 16-bit fields big-endian. A piece is
the one holding the offset asked for, from that offset on. A closing type-3
packet gets an empty type-3 reply.

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

LAYOUTS = ("one", "three", "big")
FAULTS = ("wrong-offset", "wrong-type", "silent")
BIG_PIECE = 400


class Endpoint:
    def __init__(self, endpoint_text, default_names, logdir):
        parts = endpoint_text.split(":", 3)
        if len(parts) < 3:
            raise ValueError("endpoint %r: want ADDR:PORT:MODE[:NAMES]" % endpoint_text)
        self.addr, port, mode = parts[0], int(parts[1]), parts[2]
        names = parts[3] if len(parts) == 4 else default_names
        self.layout, self.fault, big = "one", None, 1200
        for token in mode.split("+"):
            key, _, value = token.partition("=")
            if key in LAYOUTS:
                self.layout = key
                if key == "big" and value:
                    big = int(value)
            elif key in FAULTS and self.fault is None:
                self.fault = key
            else:
                raise ValueError("endpoint %r: mode %r" % (endpoint_text, token))
        self.data = b"\x01" + b"".join(n.encode("latin-1") + b"\0" for n in names.split(",")) \
            if names else b"\x01"
        if self.layout == "big":
            while len(self.data) + 5 <= big:
                self.data += b"LPT1\0"
            self.data = self.data[:big].ljust(big, b"\0")
        self.cuts = self.layout_cuts()
        self.seen = set()
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        self.sock.bind((self.addr, port))
        self.port = self.sock.getsockname()[1]
        self.log = open(os.path.join(logdir, "%d.log" % self.port), "a", buffering=1)

    def layout_cuts(self):
        """Start offsets of the pieces, and the end."""
        n = len(self.data)
        if self.layout == "three":
            return sorted({0, n // 3, 2 * n // 3, n})
        if self.layout == "big":
            return list(range(0, n, BIG_PIECE)) + [n]
        return [0, n]

    def piece(self, offset):
        """(more, data) of the piece holding offset, from offset on."""
        for end in self.cuts[1:]:
            if offset < end:
                return 1 if end < len(self.data) else 0, self.data[offset:end]
        return 0, b""

    def handle(self, packet, client):
        self.log.write(describe(packet) + "\n")
        if len(packet) < 86 or self.fault == "silent":
            return
        kind, offset = struct.unpack_from(">H", packet, 0)[0], struct.unpack_from(">H", packet, 84)[0]
        if kind == 3:
            more, data = 0, b""
        else:
            more, data = self.piece(offset)
        key = (client, kind, offset)
        if self.fault and kind != 3 and key not in self.seen:
            self.seen.add(key)
            if self.fault == "wrong-offset":
                offset = (offset + 1) & 0xFFFF
            else:
                kind = kind % 3 + 1
        reply = struct.pack(">HHHH", kind, more, offset, len(data)) + data
        self.sock.sendto(reply, client)
        print("%s:%d -> %s:%d type=%d more=%d offset=%d length=%d"
              % (self.addr, self.port, client[0], client[1], kind, more, offset, len(data)), flush=True)


def describe(packet):
    def word(at):
        return str(struct.unpack_from(">H", packet, at)[0]) if len(packet) >= at + 2 else "-"
    command = packet[4:84]
    text, nul, padding = command.partition(b"\0")
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
    ap.add_argument("--ready")
    ap.add_argument("--names", default="LPT1,COM1")
    ap.add_argument("endpoints", nargs="+")
    args = ap.parse_args()
    try:
        endpoints = [Endpoint(endpoint_text, args.names, args.logdir) for endpoint_text in args.endpoints]
    except (ValueError, OSError) as e:
        sys.exit("queue_server: %s" % e)
    if args.ready:
        open(args.ready, "w").close()
    by_sock = {e.sock: e for e in endpoints}
    while True:
        for sock in select.select(list(by_sock), [], [])[0]:
            packet, client = sock.recvfrom(65535)
            by_sock[sock].handle(packet, client)


if __name__ == "__main__":
    main()
