#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: responses as a printer or
cupsd sends them. Run from anywhere; the files go beside this script."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def attr(tag, name, value):
    if isinstance(value, str):
        value = value.encode()
    name = name.encode()
    return bytes([tag]) + struct.pack(">H", len(name)) + name + struct.pack(">H", len(value)) + value


def integer(tag, name, n):
    return attr(tag, name, struct.pack(">I", n))


def response(status, request_id, groups):
    out = struct.pack(">BBHI", 1, 1, status, request_id)
    for tag, attrs in groups:
        out += bytes([tag]) + b"".join(attrs)
    return out + b"\x03"


OPERATION = [attr(0x47, "attributes-charset", "utf-8"),
             attr(0x48, "attributes-natural-language", "en-us")]

printer_idle = response(0, 1, [
    (0x01, OPERATION + [attr(0x41, "status-message", "successful-ok")]),
    (0x04, [integer(0x23, "printer-state", 3),
            attr(0x44, "printer-state-reasons", "none"),
            attr(0x22, "printer-is-accepting-jobs", b"\x01"),
            attr(0x41, "printer-make-and-model", "HP LaserJet 4 Plus, hpcups 3.22.10"),
            attr(0x45, "printer-uri-supported", "ipp://localhost:631/printers/lj4"),
            attr(0x45, "", "ipps://localhost:631/printers/lj4")]),
])
printer_stopped = response(0, 2, [
    (0x01, OPERATION),
    (0x04, [integer(0x23, "printer-state", 4),
            integer(0x23, "printer-state", 5),
            attr(0x44, "printer-state-reasons", "media-empty-error"),
            attr(0x44, "", "toner-low-report"),
            attr(0x44, "", "cover-open-warning"),
            attr(0x36, "printer-info", b"\x00\x05de-de\x00\x0eB\xc3\xbcro Drucker")]),
])
print_job = response(0, 3, [
    (0x01, OPERATION),
    (0x02, [attr(0x45, "job-uri", "ipp://localhost:631/jobs/17"),
            integer(0x21, "job-id", 17),
            integer(0x23, "job-state", 3),
            attr(0x44, "job-state-reasons", "none")]),
])
not_found = response(0x0406, 4, [
    (0x01, OPERATION + [attr(0x41, "status-message", "The printer or class does not exist.")]),
])
shift_jis = response(0, 5, [
    (0x01, [attr(0x47, "attributes-charset", "Shift_JIS"),
            attr(0x48, "attributes-natural-language", "ja-jp")]),
    (0x04, [attr(0x41, "printer-make-and-model", b"\x83\x76\x83\x8a\x83\x93\x83\x5e"),
            integer(0x23, "printer-state", 3)]),
])


def write(target, name, data):
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


for name, body in [("printer_idle", printer_idle), ("printer_stopped", printer_stopped),
                   ("print_job", print_job), ("not_found", not_found), ("shift_jis", shift_jis)]:
    write("ipp_response_fuzz", name, body)


def http(status_line, fields, body=b""):
    return (status_line + "\r\n" + "".join(f + "\r\n" for f in fields) + "\r\n").encode() + body


def chunked(body, sizes):
    out = b""
    at = 0
    for size in sizes:
        piece = body[at:at + size]
        at += size
        out += b"%x\r\n" % len(piece) + piece + b"\r\n"
    return out + b"0\r\n\r\n"


cups = ["Connection: Keep-Alive", "Content-Language: en_US", "Content-Type: application/ipp",
        "Date: Mon, 01 Jan 2024 00:00:00 GMT", "Keep-Alive: timeout=10", "Server: CUPS/2.4 IPP/2.1",
        "X-Frame-Options: DENY"]
# The first byte of each HTTP seed chooses how the fuzzer splits the rest into receives.
seeds = {
    "cups_content_length": b"\x00" + http("HTTP/1.1 200 OK", cups + ["Content-Length: %d" % len(printer_idle)],
                                          printer_idle),
    "chunked_print_job": b"\x03" + http("HTTP/1.1 200 OK", cups + ["Transfer-Encoding: chunked"],
                                        chunked(print_job, [8, 1, 40, 1000])),
    "continue_then_200": b"\x07" + http("HTTP/1.1 100 Continue", []) +
                         http("HTTP/1.1 200 OK", ["Transfer-Encoding: chunked"],
                              chunked(printer_stopped, [16, 16, 16, 1000])),
    "unauthorized": b"\x01" + http("HTTP/1.1 401 Unauthorized",
                                   ["Content-Length: 0", 'WWW-Authenticate: Basic realm="CUPS"']),
    "trailer_and_lf": b"\x02" + b"HTTP/1.0 200 OK\nTransfer-Encoding: chunked\n\n" +
                      b"%X\n" % len(not_found) + not_found + b"\n0\nX-Trailer: 1\n\n",
}
for name, data in seeds.items():
    write("http_response_fuzz", name, data)


def ber(tag, content):
    n = len(content)
    if n < 128:
        length = bytes([n])
    elif n < 256:
        length = bytes([0x81, n])
    else:
        length = bytes([0x82]) + struct.pack(">H", n)
    return bytes([tag]) + length + content


def oid(text):
    parts = [int(p) for p in text.split(".")]
    out = b""
    for n in [parts[0] * 40 + parts[1]] + parts[2:]:
        groups = [n & 0x7F]
        n >>= 7
        while n:
            groups.append(0x80 | (n & 0x7F))
            n >>= 7
        out += bytes(reversed(groups))
    return ber(0x06, out)


def snmp_reply(bindings, error_status=0, error_index=0, version=0, request_id=0):
    varbinds = b"".join(ber(0x30, oid(name) + value) for name, value in bindings)
    pdu = (ber(0x02, bytes([request_id])) + ber(0x02, bytes([error_status])) +
           ber(0x02, bytes([error_index])) + ber(0x30, varbinds))
    return ber(0x30, ber(0x02, bytes([version])) + ber(0x04, b"public") + ber(0xA2, pdu))


# Answers to the search's GetNextRequest, as an agent on a print server gives them.
search_bindings = [
    ("1.3.6.1.2.1.1.1.0", ber(0x04, b"Vexa PS-110 Print Server")),
    ("1.3.6.1.2.1.4.20.1.1.192.168.0.10", ber(0x40, bytes([192, 168, 0, 10]))),
    ("1.3.6.1.2.1.1.2.0", oid("1.3.6.1.4.1.99999.1.4")),
    ("1.3.6.1.2.1.2.2.1.6.1", ber(0x04, bytes([0x00, 0x80, 0x92, 0x1A, 0x2B, 0x3C]))),
    ("1.3.6.1.2.1.25.3.2.1.3.1", ber(0x04, b"")),
]
long_forms = bytes([0x30, 0x82, 0x01, 0x90, 0x02, 0x01, 0x00, 0x04, 0x82, 0x00, 0x06]) + b"public" + \
    bytes([0xA2, 0x82, 0x01, 0x7D]) + ber(0x02, b"\x01\x02\x03\x04") + ber(0x02, b"\x00") + \
    ber(0x02, b"\x00") + ber(0x30, ber(0x30, oid("1.3.6.1.4.1.99999." + ".".join(["268435457"] * 40)) +
                                       ber(0x04, b"d" * 300)))
snmp_seeds = {
    "search_reply": snmp_reply(search_bindings),
    "numbers": snmp_reply([("1.3.6.1.2.1.1.3.0", ber(0x43, b"\x00\xFF\xFF\xFF\xFE")),
                           ("1.3.6.1.2.1.2.2.1.10.1", ber(0x41, b"\x12\x34")),
                           ("1.3.6.1.2.1.2.2.1.5.1", ber(0x42, b"\x05\xF5\xE1\x00")),
                           ("2.999.1", ber(0x02, b"\xFF\xFF\xFF\xFE")),
                           ("1.3.6.1.2.1.1.7.0", ber(0x05, b""))]),
    "no_such_name": snmp_reply(search_bindings[:2], error_status=2, error_index=1),
    "snmpv2c": snmp_reply(search_bindings[:1], version=1),
    "long_forms": long_forms,
}
for name, data in snmp_seeds.items():
    write("snmp_response_fuzz", name, data)
