#!/usr/bin/env python3
"""A hand-written SNMPv1 agent for printer discovery tests.

Run inside a namespace made by lan.sh, never in the host's: it refuses any
address outside 10.77.0.0/16, and binding one proves it is in the lab.

    snmp_responder.py --mode many|hostile|hrdevice --dir DIR ADDR...

It listens on 0.0.0.0:161 and on each ADDR:161 and answers every
GetNextRequest, to the requester only, echoing its request id and community:

  many      one well-formed GetResponse from each ADDR (k = 1, 2, ...): sysDescr
            "Harlune LX-9000 responder #k", ifPhysAddress 02:00:00:00:HH:LL = k.
  hostile   from the first ADDR, a series of malformed or extreme datagrams,
            then last a well-formed "Harlune sentinel", 02:00:00:00:ff:ff.
            DIR/hostile.txt lists them: "NN VERDICT KIND bytes=N mac=M", where
            VERDICT is reject (a decoder following the SNMPv1 GetResponse
            checks must drop it), valid (well-formed, names the maker, a new
            MAC: it must be listed) or open (cut, rejected or listed, as long
            as nothing breaks). Each datagram's sysDescr reads
            "Harlune hostile NN ..." and its MAC is 02:00:00:00:fe:NN (hex).
  hrdevice  from the first ADDR, one answer whose sysDescr names another maker
            and whose hrDeviceDescr names Harlune.

DIR/responder.log gets one line per request ("request from IP:PORT to DST
id=N pdu=0xA1 bytes=N") and per answer series ("answered N datagrams");
DIR/ready appears once every socket is bound.
"""

import argparse
import ipaddress
import os
import select
import socket
import sys
import time

LAB = ipaddress.ip_network("10.77.0.0/16")
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)

SYS_DESCR = "1.3.6.1.2.1.1.1.0"
SYS_OBJECT_ID = "1.3.6.1.2.1.1.2.0"
IF_PHYS_ADDRESS = "1.3.6.1.2.1.2.2.1.6.2"
HR_DEVICE_DESCR = "1.3.6.1.2.1.25.3.2.1.3.1"
IP_AD_ENT_ADDR = "1.3.6.1.2.1.4.20.1.1."


# --- BER encoding -----------------------------------------------------------

def tlv(tag, content, form=None, claim=None):
    """Tag, definite length, content. The length takes the shortest form
    unless form names one (0x80-0x84); claim writes one other than the true."""
    n = len(content) if claim is None else claim
    if form is None:
        form = 0 if n < 0x80 else 0x81 if n < 0x100 else 0x82 if n < 0x10000 else 0x84
    length = bytes([n & 0x7F]) if form == 0 else bytes([form]) + n.to_bytes(form - 0x80, "big")
    return bytes([tag]) + length + content


def integer(value, width=None):
    width = width or max(1, (value.bit_length() + 8) // 8)
    return tlv(0x02, value.to_bytes(width, "big", signed=value < 0))


def octets(data, **kw):
    return tlv(0x04, data.encode("latin-1") if isinstance(data, str) else data, **kw)


def oid_content(text):
    parts = [int(p) for p in text.split(".")]
    out = b""
    for n in [40 * parts[0] + parts[1]] + parts[2:]:
        sub = bytes([n & 0x7F])
        while n > 0x7F:
            n >>= 7
            sub = bytes([0x80 | (n & 0x7F)]) + sub
        out += sub
    return out


def oid(text, **kw):
    return tlv(0x06, oid_content(text), **kw)


def binding(name, value, tag=0x30, **kw):
    return tlv(tag, (oid(name) if isinstance(name, str) else name) + value, **kw)


def message(bindings, rid, community, version=0, error=None, error_index=0, pdu=0xA2,
            list_kw=None, pdu_kw=None, msg_kw=None):
    """A GetResponse; error is the error-status element (0 unless given)."""
    pdu_bytes = tlv(pdu, rid + (error or integer(0)) + integer(error_index)
                    + tlv(0x30, b"".join(bindings), **(list_kw or {})), **(pdu_kw or {}))
    return tlv(0x30, integer(version) + octets(community) + pdu_bytes, **(msg_kw or {}))


def mac_bytes(text):
    return bytes(int(h, 16) for h in text.split(":"))


def printer_bindings(descr, mac, addr, hr_descr="Harlune print engine"):
    return [
        binding(SYS_DESCR, octets(descr)),
        binding(IP_AD_ENT_ADDR + addr, tlv(0x40, ipaddress.ip_address(addr).packed)),
        binding(SYS_OBJECT_ID, oid("1.3.6.1.4.1.64999.1.1")),
        binding(IF_PHYS_ADDRESS, octets(mac_bytes(mac) if isinstance(mac, str) else mac)),
        binding(HR_DEVICE_DESCR, octets(hr_descr)),
    ]


def parse_request(data):
    """(pdu tag, request id element, request id, community), or None when it
    is no SNMP message: the element is echoed whole, whatever its width."""
    def element(pos, want=None):
        if pos + 2 > len(data):
            raise ValueError
        tag, first, pos = data[pos], data[pos + 1], pos + 2
        n = first
        if first >= 0x80:
            width = first & 0x7F
            if not 1 <= width <= 4 or pos + width > len(data):
                raise ValueError
            n, pos = int.from_bytes(data[pos:pos + width], "big"), pos + width
        if pos + n > len(data) or (want is not None and tag != want):
            raise ValueError
        return tag, pos, pos + n

    try:
        _, start, _ = element(0, 0x30)
        _, _, end = element(start, 0x02)
        _, s, end = element(end, 0x04)
        community = data[s:end]
        pdu, s, _ = element(end)
        _, rs, end = element(s, 0x02)
        return pdu, data[s:end], int.from_bytes(data[rs:end], "big"), community
    except ValueError:
        return None


# --- answers ----------------------------------------------------------------

def hostile_series(rid, community, addr):
    """[(verdict, kind, datagram)], the sentinel not included. Each builder
    gets the datagram's number, its sysDescr and its MAC."""
    out = []

    def add(verdict, kind, build):
        nn = len(out) + 1
        out.append((verdict, kind, build(nn, "Harlune hostile %02d %s" % (nn, kind), "02:00:00:00:fe:%02x" % nn)))

    def msg(bindings=None, descr=None, mac=None, **kw):
        return message(bindings if bindings is not None else printer_bindings(descr, mac, addr),
                       rid, community, **kw)

    def plain(verdict, kind, **kw):
        """The whole printer answer, its framing changed by kw."""
        add(verdict, kind, lambda nn, d, m: msg(descr=d, mac=m, **kw))

    def slot(verdict, kind, index, replacement):
        """The printer answer with binding index replaced by replacement(d)."""
        def build(nn, d, m):
            b = printer_bindings(d, m, addr)
            b[index] = replacement(d)
            return msg(b)
        add(verdict, kind, build)

    add("reject", "empty", lambda nn, d, m: b"")
    base_len = len(msg(descr="Harlune hostile 00 truncated", mac="02:00:00:00:fe:00"))
    cuts = [1, 2, 3, 4, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 30, 33, 36, 40, 45,
            50, 55, 60, 70, 80, 90, 100, 110, 120, 130, 140, base_len - 2, base_len - 1]
    for cut in sorted(c for c in set(cuts) if 0 < c < base_len):
        add("open", "truncated at %d" % cut,
            lambda nn, d, m, cut=cut: msg(descr="Harlune hostile %02d truncated" % nn, mac=m)[:cut])
    plain("reject", "version 1", version=1)
    plain("reject", "error-status 2", error=integer(2), error_index=1)
    plain("reject", "error-status 5 in two bytes", error=integer(5, width=2))
    for pdu in (0xA1, 0xA0, 0xA4):
        plain("reject", "pdu 0x%02X" % pdu, pdu=pdu)
    for first in (0x31, 0x04):
        add("reject", "first byte 0x%02x" % first,
            lambda nn, d, m, first=first: bytes([first]) + msg(descr=d, mac=m)[1:])
    add("reject", "2047 zero bytes", lambda nn, d, m: bytes(2047))
    plain("open", "message length 0x82 ffff", msg_kw={"form": 0x82, "claim": 0xFFFF})
    plain("open", "bindings list length 0x82 7fff", list_kw={"form": 0x82, "claim": 0x7FFF})
    plain("open", "pdu length 0x82 ffff", pdu_kw={"form": 0x82, "claim": 0xFFFF})
    add("open", "sysDescr claims 0x82 7fff, last binding",
        lambda nn, d, m: msg(printer_bindings(d, m, addr)[1:4]
                             + [binding(SYS_DESCR, octets(d, form=0x82, claim=0x7FFF))]))
    add("open", "sysDescr claims 2000 bytes, 60 present",
        lambda nn, d, m: msg([binding(SYS_DESCR, octets((d + " ").ljust(60, "x"), form=0x82, claim=2000))]))
    slot("open", "sysDescr claims 2000 bytes, first of five", 0,
         lambda d: binding(SYS_DESCR, octets(d, form=0x82, claim=2000)))
    for kind, name in (("name of 300 one-byte sub-identifiers", b"\x2b" + b"\x01" * 299),
                       ("name of 300 four-byte sub-identifiers", b"\x2b" + b"\xff\xff\xff\x7f" * 299),
                       ("name of five-byte sub-identifiers", b"\x2b\x06" + b"\x8f\xff\xff\xff\x7f" * 10),
                       ("name ending inside a sub-identifier", b"\x2b\x06\x01\x86\xff")):
        slot("open", kind, 0, lambda d, name=name: binding(tlv(0x06, name), octets(d)))
    slot("open", "name claims 0x82 1000", 0,
         lambda d: binding(tlv(0x06, oid_content(SYS_DESCR), form=0x82, claim=1000), octets(d)))
    slot("open", "sysObjectID of 300 sub-identifiers", 2,
         lambda d: binding(SYS_OBJECT_ID, tlv(0x06, b"\x2b" + b"\x81\x00" * 299)))
    for size in (255, 256, 300, 1000):
        add("valid" if size == 255 else "open", "description of %d bytes" % size,
            lambda nn, d, m, size=size: msg(descr=(d + " ").ljust(size, "x"), mac=m))
    add("open", "ifPhysAddress of 256 bytes", lambda nn, d, m: msg(descr=d, mac=mac_bytes(m) + b"\xee" * 250))
    add("open", "ifPhysAddress of 3 bytes", lambda nn, d, m: msg(descr=d, mac=mac_bytes(m)[3:]))
    for kind, value in (("IpAddress of 300 bytes", tlv(0x40, b"\xff" * 300)),
                        ("INTEGER of 9 bytes", tlv(0x02, b"\xff" * 9)),
                        ("INTEGER claims 0x82 ffff", tlv(0x02, b"\x01", form=0x82, claim=0xFFFF))):
        slot("open", kind, 1, lambda d, value=value: binding(IP_AD_ENT_ADDR + addr, value))
    plain("open", "message length 0x84", msg_kw={"form": 0x84})
    slot("open", "sysDescr length 0x84", 0, lambda d: binding(SYS_DESCR, octets(d, form=0x84)))
    slot("open", "binding length 0x84", 0, lambda d: binding(SYS_DESCR, octets(d), form=0x84))
    plain("open", "bindings list length 0x83", list_kw={"form": 0x83})
    slot("open", "sysDescr length 0x84 claims 4 GB", 0,
         lambda d: binding(SYS_DESCR, octets(d, form=0x84, claim=0xFFFFFFFF)))
    slot("open", "indefinite length 0x80", 0, lambda d: binding(SYS_DESCR, octets(d), form=0x80, claim=0))
    add("valid", "eight bindings",
        lambda nn, d, m: msg(printer_bindings(d, m, addr) + printer_bindings("Othermaker extra", m, addr)[:3]))
    slot("open", "binding tag 0x31", 0, lambda d: binding(SYS_DESCR, octets(d), tag=0x31))
    slot("open", "name tag 0x04", 0, lambda d: binding(octets(oid_content(SYS_DESCR)), octets(d)))
    slot("open", "sysDescr as INTEGER", 0, lambda d: binding(SYS_DESCR, integer(0x7FFFFFFF)))
    add("open", "unknown value tag 0x9f before the description",
        lambda nn, d, m: msg([binding(IP_AD_ENT_ADDR + addr, tlv(0x9F, b"\x01\x02"))]
                             + printer_bindings(d, m, addr)))
    slot("open", "nested SEQUENCE as a value", 1, lambda d: binding(IP_AD_ENT_ADDR + addr, tlv(0x30, octets(d))))
    add("open", "no sysDescr binding", lambda nn, d, m: msg(printer_bindings(d, m, addr)[1:]))

    def long_sixth(nn, d, m):
        def build(n):
            return msg(printer_bindings(d, m, addr) + [binding(HR_DEVICE_DESCR, octets("y" * n))])
        return build(3900 - (len(build(3900)) - 4000))

    add("open", "4000 bytes, a long sixth binding", long_sixth)
    add("open", "4000 bytes of 0xff after a SEQUENCE header", lambda nn, d, m: b"\x30\x82\x0f\x9c" + b"\xff" * 3996)
    return out


def answer(mode, socks, rid, community, requester, manifest):
    """Sends mode's answers to requester; returns how many."""
    addr, sock = socks[0]
    if mode == "many":
        for k, (addr, sock) in enumerate(socks, 1):
            sock.sendto(message(printer_bindings("Harlune LX-9000 responder #%d" % k,
                                                 "02:00:00:00:%02x:%02x" % (k >> 8 & 0xFF, k & 0xFF), addr),
                                rid, community), requester)
            time.sleep(0.002)
        return len(socks)
    if mode == "hrdevice":
        sock.sendto(message(printer_bindings("Othermaker Office Jet 9", "02:00:00:00:fd:01", addr),
                            rid, community), requester)
        return 1
    series = hostile_series(rid, community, addr)
    with open(manifest, "w") as f:
        for nn, (verdict, kind, datagram) in enumerate(series, 1):
            f.write("%02d %s %s bytes=%d mac=02:00:00:00:fe:%02x\n" % (nn, verdict, kind, len(datagram), nn))
    for _, _, datagram in series:
        sock.sendto(datagram, requester)
        time.sleep(0.005)
    # The sentinel follows after a longer pause, so that a reader knows every
    # hostile datagram was in its queue before it.
    time.sleep(0.05)
    sock.sendto(message(printer_bindings("Harlune sentinel", "02:00:00:00:ff:ff", addr), rid, community),
                requester)
    return len(series) + 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mode", required=True, choices=["many", "hostile", "hrdevice"])
    ap.add_argument("--dir", required=True)
    ap.add_argument("addrs", nargs="+")
    args = ap.parse_args()
    for a in args.addrs:
        if ipaddress.ip_address(a) not in LAB:
            sys.exit("snmp_responder: %s is outside %s" % (a, LAB))

    def udp(addr):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((addr, 161))
        return s

    try:
        socks = [(a, udp(a)) for a in args.addrs]
    except OSError as e:
        sys.exit("snmp_responder: cannot bind the lab addresses (%s): not in a lab namespace" % e)
    wild = udp("0.0.0.0")
    wild.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    log = open(os.path.join(args.dir, "responder.log"), "a", buffering=1)
    open(os.path.join(args.dir, "ready"), "w").close()

    while True:
        for r in select.select([wild] + [s for _, s in socks], [], [])[0]:
            if r is wild:
                data, anc, _, requester = r.recvmsg(4096, 64)
                dst = "?"
                for level, kind, value in anc:
                    if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(value) >= 12:
                        dst = socket.inet_ntoa(value[8:12])
            else:
                data, requester = r.recvfrom(4096)
                dst = r.getsockname()[0]
            pdu, rid, rid_value, community = parse_request(data) or (None, b"", "-", b"")
            log.write("request from %s:%d to %s id=%s pdu=%s bytes=%d\n" % (
                requester[0], requester[1], dst, rid_value,
                "0x%02X" % pdu if pdu is not None else "-", len(data)))
            if pdu != 0xA1:
                continue
            # Answers go to the requester alone, and only inside the lab.
            if ipaddress.ip_address(requester[0]) not in LAB or requester[0].endswith((".0", ".255")):
                log.write("not answered: requester outside the lab\n")
                continue
            n = answer(args.mode, socks, rid, community, requester, os.path.join(args.dir, "hostile.txt"))
            log.write("answered %d datagrams\n" % n)


if __name__ == "__main__":
    main()
