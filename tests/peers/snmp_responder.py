#!/usr/bin/env python3
"""A hand-written SNMPv1 agent for printer discovery tests.

Run inside a namespace made by lan.sh, never in the host's: it refuses any
address outside 10.77.0.0/16, and binding one proves it is in the lab.

    snmp_responder.py --mode many|hostile|hrdevice --dir DIR [--gap-ms MS] ADDR...

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
import struct
import sys
import time

LAB = ipaddress.ip_network("10.77.0.0/16")
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)

SYS_DESCR = "1.3.6.1.2.1.1.1.0"
SYS_OBJECT_ID = "1.3.6.1.2.1.1.2.0"
IF_PHYS_ADDRESS = "1.3.6.1.2.1.2.2.1.6.2"
HR_DEVICE_DESCR = "1.3.6.1.2.1.25.3.2.1.3.1"
IP_AD_ENT_ADDR = "1.3.6.1.2.1.4.20.1.1."
MAKER_OBJECT_ID = "1.3.6.1.4.1.64999.1.1"


# --- BER encoding -----------------------------------------------------------

def length_bytes(n, form=None):
    """BER definite length: shortest unless form says 'short', 0x81..0x84."""
    if form is None:
        form = "short" if n < 0x80 else 0x81 if n < 0x100 else 0x82 if n < 0x10000 else 0x84
    if form == "short":
        return bytes([n & 0x7F])
    width = form - 0x80
    return bytes([form]) + n.to_bytes(width, "big")


def tlv(tag, content, form=None, claim=None):
    """Tag, length, content; claim writes a length other than the true one."""
    return bytes([tag]) + length_bytes(len(content) if claim is None else claim, form) + content


def integer(value, width=None):
    if width is None:
        width = max(1, (value.bit_length() + 8) // 8)
    return tlv(0x02, value.to_bytes(width, "big", signed=value < 0))


def octets(data, **kw):
    if isinstance(data, str):
        data = data.encode("latin-1")
    return tlv(0x04, data, **kw)


def subid(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def oid_content(text):
    parts = [int(p) for p in text.split(".")]
    return subid(40 * parts[0] + parts[1]) + b"".join(subid(p) for p in parts[2:])


def oid(text, **kw):
    return tlv(0x06, oid_content(text), **kw)


def ip_value(addr):
    return tlv(0x40, ipaddress.ip_address(addr).packed)


def binding(name, value, tag=0x30, **kw):
    if isinstance(name, str):
        name = oid(name)
    return tlv(tag, name + value, **kw)


def message(bindings, request_id=0, community=b"mevola", version=0, error=0,
            error_index=0, pdu=0xA2, list_kw=None, pdu_kw=None, msg_kw=None,
            request_id_bytes=None, error_bytes=None):
    body = b"".join(bindings)
    rid = request_id_bytes if request_id_bytes is not None else integer(request_id)
    err = error_bytes if error_bytes is not None else integer(error)
    pdu_bytes = tlv(pdu, rid + err + integer(error_index)
                    + tlv(0x30, body, **(list_kw or {})), **(pdu_kw or {}))
    return tlv(0x30, integer(version) + octets(community) + pdu_bytes, **(msg_kw or {}))


def mac_bytes(text):
    return bytes(int(h, 16) for h in text.split(":"))


def printer_bindings(descr, mac, addr, hr_descr="Harlune print engine"):
    return [
        binding(SYS_DESCR, octets(descr)),
        binding(IP_AD_ENT_ADDR + addr, ip_value(addr)),
        binding(SYS_OBJECT_ID, oid(MAKER_OBJECT_ID)),
        binding(IF_PHYS_ADDRESS, octets(mac_bytes(mac) if isinstance(mac, str) else mac)),
        binding(HR_DEVICE_DESCR, octets(hr_descr)),
    ]


# --- request decoding -------------------------------------------------------

def read_tlv(data, pos):
    """(tag, content start, content end) of the element at pos; ValueError if cut."""
    if pos + 2 > len(data):
        raise ValueError("cut")
    tag, first = data[pos], data[pos + 1]
    pos += 2
    if first < 0x80:
        n = first
    else:
        width = first & 0x7F
        if not 1 <= width <= 4 or pos + width > len(data):
            raise ValueError("length")
        n = int.from_bytes(data[pos:pos + width], "big")
        pos += width
    if pos + n > len(data):
        raise ValueError("cut")
    return tag, pos, pos + n


def parse_request(data):
    """(pdu tag, request id element, request id, community), or None when it
    is no SNMP message: the element is echoed whole, whatever its width."""
    try:
        tag, start, end = read_tlv(data, 0)
        if tag != 0x30:
            return None
        tag, s, e = read_tlv(data, start)
        if tag != 0x02:
            return None
        tag, s, e = read_tlv(data, e)
        if tag != 0x04:
            return None
        community = data[s:e]
        pdu, s, e = read_tlv(data, e)
        tag, rs, re_ = read_tlv(data, s)
        if tag != 0x02:
            return None
        return pdu, data[s:re_], int.from_bytes(data[rs:re_], "big"), community
    except ValueError:
        return None


# --- answers ----------------------------------------------------------------

def mac_for(k):
    return "02:00:00:00:%02x:%02x" % (k >> 8 & 0xFF, k & 0xFF)


def hostile_series(rid, community, addr):
    """[(verdict, kind, datagram)], the sentinel not included."""
    out = []

    def add(verdict, kind, build):
        nn = len(out) + 1
        descr = "Harlune hostile %02d %s" % (nn, kind)
        mac = "02:00:00:00:fe:%02x" % nn
        out.append((verdict, kind, build(nn, descr, mac)))

    def msg(bindings=None, descr=None, mac=None, **kw):
        return message(bindings if bindings is not None else printer_bindings(descr, mac, addr),
                       request_id_bytes=rid, community=community, **kw)

    def with_slot(nn, descr, mac, index, replacement):
        b = printer_bindings(descr, mac, addr)
        b[index] = replacement
        return msg(b)

    add("reject", "empty", lambda nn, d, m: b"")
    base_len = len(msg(descr="Harlune hostile 00 truncated", mac="02:00:00:00:fe:00"))
    cuts = [1, 2, 3, 4, 5, 7, 9, 11, 13, 15, 17, 19, 21, 23, 25, 27, 30, 33, 36, 40, 45,
            50, 55, 60, 70, 80, 90, 100, 110, 120, 130, 140, base_len - 2, base_len - 1]
    for cut in sorted(c for c in set(cuts) if 0 < c < base_len):
        add("open", "truncated at %d" % cut,
            lambda nn, d, m, cut=cut: msg(descr="Harlune hostile %02d truncated" % nn, mac=m)[:cut])
    add("reject", "version 1", lambda nn, d, m: msg(descr=d, mac=m, version=1))
    add("reject", "error-status 2", lambda nn, d, m: msg(descr=d, mac=m, error=2, error_index=1))
    add("reject", "error-status 5 in two bytes",
        lambda nn, d, m: msg(descr=d, mac=m, error_bytes=integer(5, width=2)))
    add("reject", "pdu 0xA1", lambda nn, d, m: msg(descr=d, mac=m, pdu=0xA1))
    add("reject", "pdu 0xA0", lambda nn, d, m: msg(descr=d, mac=m, pdu=0xA0))
    add("reject", "pdu 0xA4", lambda nn, d, m: msg(descr=d, mac=m, pdu=0xA4))
    add("reject", "first byte 0x31", lambda nn, d, m: b"\x31" + msg(descr=d, mac=m)[1:])
    add("reject", "first byte 0x04", lambda nn, d, m: b"\x04" + msg(descr=d, mac=m)[1:])
    add("reject", "2047 zero bytes", lambda nn, d, m: bytes(2047))
    add("open", "message length 0x82 ffff",
        lambda nn, d, m: msg(descr=d, mac=m, msg_kw={"form": 0x82, "claim": 0xFFFF}))
    add("open", "bindings list length 0x82 7fff",
        lambda nn, d, m: msg(descr=d, mac=m, list_kw={"form": 0x82, "claim": 0x7FFF}))
    add("open", "pdu length 0x82 ffff",
        lambda nn, d, m: msg(descr=d, mac=m, pdu_kw={"form": 0x82, "claim": 0xFFFF}))
    add("open", "sysDescr claims 0x82 7fff, last binding",
        lambda nn, d, m: msg(printer_bindings(d, m, addr)[1:4]
                             + [binding(SYS_DESCR, octets(d, form=0x82, claim=0x7FFF))]))
    add("open", "sysDescr claims 2000 bytes, 60 present",
        lambda nn, d, m: msg([binding(SYS_DESCR, octets((d + " ").ljust(60, "x"), form=0x82, claim=2000))]))
    add("open", "sysDescr claims 2000 bytes, first of five",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, octets(d, form=0x82, claim=2000))))
    add("open", "name of 300 one-byte sub-identifiers",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(
            tlv(0x06, b"\x2b" + b"\x01" * 299), octets(d))))
    add("open", "name of 300 four-byte sub-identifiers",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(
            tlv(0x06, b"\x2b" + b"\xff\xff\xff\x7f" * 299), octets(d))))
    add("open", "name of five-byte sub-identifiers",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(
            tlv(0x06, b"\x2b\x06" + b"\x8f\xff\xff\xff\x7f" * 10), octets(d))))
    add("open", "name ending inside a sub-identifier",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(tlv(0x06, b"\x2b\x06\x01\x86\xff"), octets(d))))
    add("open", "name claims 0x82 1000",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(
            tlv(0x06, oid_content(SYS_DESCR), form=0x82, claim=1000), octets(d))))
    add("open", "sysObjectID of 300 sub-identifiers",
        lambda nn, d, m: with_slot(nn, d, m, 2, binding(SYS_OBJECT_ID, tlv(0x06, b"\x2b" + b"\x81\x00" * 299))))
    add("valid", "description of 255 bytes",
        lambda nn, d, m: msg(descr=(d + " ").ljust(255, "x"), mac=m))
    add("open", "description of 256 bytes",
        lambda nn, d, m: msg(descr=(d + " ").ljust(256, "x"), mac=m))
    add("open", "description of 300 bytes",
        lambda nn, d, m: msg(descr=(d + " ").ljust(300, "x"), mac=m))
    add("open", "description of 1000 bytes",
        lambda nn, d, m: msg(descr=(d + " ").ljust(1000, "x"), mac=m))
    add("open", "ifPhysAddress of 256 bytes",
        lambda nn, d, m: msg(descr=d, mac=mac_bytes(m) + b"\xee" * 250))
    add("open", "ifPhysAddress of 3 bytes", lambda nn, d, m: msg(descr=d, mac=mac_bytes(m)[3:]))
    add("open", "IpAddress of 300 bytes",
        lambda nn, d, m: with_slot(nn, d, m, 1, binding(IP_AD_ENT_ADDR + addr, tlv(0x40, b"\xff" * 300))))
    add("open", "INTEGER of 9 bytes",
        lambda nn, d, m: with_slot(nn, d, m, 1, binding(IP_AD_ENT_ADDR + addr, tlv(0x02, b"\xff" * 9))))
    add("open", "INTEGER claims 0x82 ffff",
        lambda nn, d, m: with_slot(nn, d, m, 1, binding(IP_AD_ENT_ADDR + addr, tlv(0x02, b"\x01", form=0x82, claim=0xFFFF))))
    add("open", "message length 0x84", lambda nn, d, m: msg(descr=d, mac=m, msg_kw={"form": 0x84}))
    add("open", "sysDescr length 0x84",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, octets(d, form=0x84))))
    add("open", "binding length 0x84",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, octets(d), form=0x84)))
    add("open", "bindings list length 0x83", lambda nn, d, m: msg(descr=d, mac=m, list_kw={"form": 0x83}))
    add("open", "sysDescr length 0x84 claims 4 GB",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, octets(d, form=0x84, claim=0xFFFFFFFF))))
    add("open", "indefinite length 0x80",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, octets(d), form=0x80, claim=0)))
    add("valid", "eight bindings",
        lambda nn, d, m: msg(printer_bindings(d, m, addr) + printer_bindings("Othermaker extra", m, addr)[:3]))
    add("open", "binding tag 0x31",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, octets(d), tag=0x31)))
    add("open", "name tag 0x04",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(octets(oid_content(SYS_DESCR)), octets(d))))
    add("open", "sysDescr as INTEGER",
        lambda nn, d, m: with_slot(nn, d, m, 0, binding(SYS_DESCR, integer(0x7FFFFFFF))))
    add("open", "unknown value tag 0x9f before the description",
        lambda nn, d, m: msg([binding(IP_AD_ENT_ADDR + addr, tlv(0x9F, b"\x01\x02"))]
                             + printer_bindings(d, m, addr)))
    add("open", "nested SEQUENCE as a value",
        lambda nn, d, m: with_slot(nn, d, m, 1, binding(IP_AD_ENT_ADDR + addr, tlv(0x30, octets(d)))))
    add("open", "no sysDescr binding",
        lambda nn, d, m: msg(printer_bindings(d, m, addr)[1:]))

    def long_sixth(nn, d, m, size=4000):
        def build(n):
            return msg(printer_bindings(d, m, addr) + [binding(HR_DEVICE_DESCR, octets("y" * n))])
        return build(3900 - (len(build(3900)) - size))

    add("open", "4000 bytes, a long sixth binding", long_sixth)
    add("open", "4000 bytes of 0xff after a SEQUENCE header",
        lambda nn, d, m: b"\x30\x82\x0f\x9c" + b"\xff" * 3996)
    return out


def answer_many(socks, rid, community, requester, gap):
    for k, (addr, sock) in enumerate(socks, 1):
        datagram = message(printer_bindings("Harlune LX-9000 responder #%d" % k, mac_for(k), addr),
                           request_id_bytes=rid, community=community)
        sock.sendto(datagram, requester)
        if gap:
            time.sleep(gap)
    return len(socks)


def answer_hostile(socks, rid, community, requester, gap, manifest):
    addr, sock = socks[0]
    series = hostile_series(rid, community, addr)
    if manifest:
        with open(manifest, "w") as f:
            for nn, (verdict, kind, datagram) in enumerate(series, 1):
                f.write("%02d %s %s bytes=%d mac=02:00:00:00:fe:%02x\n"
                        % (nn, verdict, kind, len(datagram), nn))
    for verdict, kind, datagram in series:
        sock.sendto(datagram, requester)
        time.sleep(gap)
    # The sentinel follows after a longer pause, so that a reader knows every
    # hostile datagram was in its queue before it.
    time.sleep(max(gap, 0.05))
    sock.sendto(message(printer_bindings("Harlune sentinel", "02:00:00:00:ff:ff", addr),
                        request_id_bytes=rid, community=community), requester)
    return len(series) + 1


def answer_hrdevice(socks, rid, community, requester):
    addr, sock = socks[0]
    sock.sendto(message(printer_bindings("Othermaker Office Jet 9", "02:00:00:00:fd:01", addr,
                                         hr_descr="Harlune print engine"),
                        request_id_bytes=rid, community=community), requester)
    return 1


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--mode", required=True, choices=["many", "hostile", "hrdevice"])
    ap.add_argument("--dir", required=True)
    ap.add_argument("--gap-ms", type=float, default=None,
                    help="pause between datagrams (default 2 for many, 5 for hostile)")
    ap.add_argument("--port", type=int, default=161)
    ap.add_argument("addrs", nargs="+")
    args = ap.parse_args()
    if args.gap_ms is None:
        args.gap_ms = 5 if args.mode == "hostile" else 2
    gap = args.gap_ms / 1000

    for a in args.addrs:
        if ipaddress.ip_address(a) not in LAB:
            sys.exit("snmp_responder: %s is outside %s" % (a, LAB))

    def udp(addr):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind((addr, args.port))
        return s

    try:
        socks = [(a, udp(a)) for a in args.addrs]
    except OSError as e:
        sys.exit("snmp_responder: cannot bind the lab addresses (%s): not in a lab namespace" % e)
    wild = udp("0.0.0.0")
    wild.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
    log = open(os.path.join(args.dir, "responder.log"), "a", buffering=1)
    open(os.path.join(args.dir, "ready"), "w").close()

    readers = [wild] + [s for _, s in socks]
    while True:
        ready, _, _ = select.select(readers, [], [])
        for r in ready:
            if r is wild:
                data, anc, _, requester = r.recvmsg(4096, 64)
                dst = "?"
                for level, kind, value in anc:
                    if level == socket.IPPROTO_IP and kind == IP_PKTINFO and len(value) >= 12:
                        dst = socket.inet_ntoa(value[8:12])
            else:
                data, requester = r.recvfrom(4096)
                dst = r.getsockname()[0]
            parsed = parse_request(data)
            pdu, rid, rid_value, community = parsed if parsed else (None, b"", "-", b"")
            log.write("request from %s:%d to %s id=%s pdu=%s bytes=%d\n" % (
                requester[0], requester[1], dst, rid_value,
                "0x%02X" % pdu if pdu is not None else "-", len(data)))
            if pdu != 0xA1:
                continue
            # Answers go to the requester alone, and only inside the lab.
            peer = ipaddress.ip_address(requester[0])
            if peer not in LAB or requester[0].endswith((".0", ".255")):
                log.write("not answered: requester outside the lab\n")
                continue
            if args.mode == "many":
                n = answer_many(socks, rid, community, requester, gap)
            elif args.mode == "hostile":
                n = answer_hostile(socks, rid, community, requester, gap,
                                   os.path.join(args.dir, "hostile.txt"))
            else:
                n = answer_hrdevice(socks, rid, community, requester)
            log.write("answered %d datagrams\n" % n)


if __name__ == "__main__":
    main()
