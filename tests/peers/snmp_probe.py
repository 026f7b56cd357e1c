#!/usr/bin/env python3
"""Sends the printer search's SNMPv1 GetNextRequest and lists the answers.

For the lab's self-test, run in the client namespace of lan.sh:

    snmp_probe.py [--to ADDR] [--wait SECONDS] [--count N] [--until DESCR]

It exits 2 unless it can bind to the lab's client address 10.77.0.1, which
exists in no other namespace; the request leaves from that address only.
Prints one line per answer, in arrival order: "SENDER MAC DESCR", where MAC
is ifPhysAddress (the fourth binding) in lower-case hex with colons ("none"
when empty) and DESCR is sysDescr (the first binding). An answer that is no
well-formed SNMPv1 GetResponse prints "SENDER malformed", one carrying an
error "SENDER error-status N".
"""

import argparse
import ipaddress
import select
import socket
import sys
import time

CLIENT = "10.77.0.1"
LAB = ipaddress.ip_network("10.77.0.0/16")

REQUEST = bytes.fromhex(
    "3060020100" "04066d65766f6c61" "a153" "020100" "020100" "020100" "3048"
    "300b06072b060102010101" "0500"
    "300d06092b06010201041401" "01" "0500"
    "300b06072b060102010102" "0500"
    "300d06092b06010201020201" "06" "0500"
    "300e060a2b06010201190302" "0103" "0500")
assert len(REQUEST) == 98


class Malformed(Exception):
    pass


def element(data, pos, end, want=None):
    """(tag, content start, content end); Malformed unless it fits in [pos, end)."""
    if pos + 2 > end:
        raise Malformed
    tag, first = data[pos], data[pos + 1]
    pos += 2
    if first < 0x80:
        n = first
    else:
        width = first & 0x7F
        if not 1 <= width <= 4 or pos + width > end:
            raise Malformed
        n = int.from_bytes(data[pos:pos + width], "big")
        pos += width
    if pos + n > end or (want is not None and tag != want):
        raise Malformed
    return tag, pos, pos + n


def decode(data):
    """(error-status, [(tag, value bytes)]) of a GetResponse; Malformed otherwise."""
    _, s, e = element(data, 0, len(data), 0x30)
    _, vs, ve = element(data, s, e, 0x02)
    if data[vs:ve] != b"\x00":
        raise Malformed
    _, cs, ce = element(data, ve, e, 0x04)
    _, ps, pe = element(data, ce, e, 0xA2)
    _, _, pos = element(data, ps, pe, 0x02)
    _, es, ee = element(data, pos, pe, 0x02)
    error = int.from_bytes(data[es:ee], "big")
    _, _, pos = element(data, ee, pe, 0x02)
    _, ls, le = element(data, pos, pe, 0x30)
    values = []
    pos = ls
    while pos < le:
        _, bs, be = element(data, pos, le, 0x30)
        _, _, ns = element(data, bs, be, 0x06)
        tag, vs, ve = element(data, ns, be)
        if ve != be:
            raise Malformed
        values.append((tag, data[vs:ve]))
        pos = be
    return error, values


def describe(data):
    try:
        error, values = decode(data)
    except Malformed:
        return "malformed"
    if error:
        return "error-status %d" % error
    if len(values) < 4 or values[0][0] != 0x04 or values[3][0] != 0x04:
        return "malformed"
    mac = ":".join("%02x" % b for b in values[3][1]) or "none"
    return "%s %s" % (mac, values[0][1].decode("latin-1"))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--to", default="255.255.255.255")
    ap.add_argument("--port", type=int, default=161)
    ap.add_argument("--wait", type=float, default=2.0)
    ap.add_argument("--count", type=int, default=0, help="stop after N answers")
    ap.add_argument("--until", help="stop after the answer with this sysDescr")
    args = ap.parse_args()

    to = ipaddress.ip_address(args.to)
    if to != ipaddress.ip_address("255.255.255.255") and to not in LAB:
        print("snmp_probe: %s is neither the limited broadcast nor in %s" % (to, LAB), file=sys.stderr)
        return 2
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        sock.bind((CLIENT, 0))
    except OSError as e:
        print("snmp_probe: cannot bind %s (%s): not in the lab's client namespace" % (CLIENT, e),
              file=sys.stderr)
        return 2
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    sock.sendto(REQUEST, (args.to, args.port))

    seen = 0
    deadline = time.monotonic() + args.wait
    while True:
        left = deadline - time.monotonic()
        if left <= 0 or not select.select([sock], [], [], left)[0]:
            break
        data, sender = sock.recvfrom(65535)
        line = describe(data)
        print("%s %s" % (sender[0], line), flush=True)
        seen += 1
        if args.count and seen >= args.count:
            break
        if args.until is not None and line.split(" ", 1)[1:] == [args.until]:
            break
    return 0


if __name__ == "__main__":
    sys.exit(main())
