#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets: responses as a printer or
cupsd sends them. Run from anywhere; the files go beside this script."""
import os
import struct
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
# The BER writer of the discovery tests' SNMP agent.
sys.dont_write_bytecode = True
sys.path.insert(0, os.path.join(HERE, "..", "tests", "peers"))
from snmp_responder import binding, integer, message, oid, tlv  # noqa: E402


def attr(tag, name, value):
    value = value.encode() if isinstance(value, str) else value
    return bytes([tag]) + struct.pack(">H", len(name)) + name.encode() + struct.pack(">H", len(value)) + value


def enum(tag, name, n):
    return attr(tag, name, struct.pack(">I", n))


def response(status, request_id, groups):
    return (struct.pack(">BBHI", 1, 1, status, request_id)
            + b"".join(bytes([tag]) + b"".join(attrs) for tag, attrs in groups) + b"\x03")


OPERATION = [attr(0x47, "attributes-charset", "utf-8"), attr(0x48, "attributes-natural-language", "en-us")]
ipp = {
    "printer_idle": response(0, 1, [
        (0x01, OPERATION + [attr(0x41, "status-message", "successful-ok")]),
        (0x04, [enum(0x23, "printer-state", 3), attr(0x44, "printer-state-reasons", "none"),
                attr(0x22, "printer-is-accepting-jobs", b"\x01"),
                attr(0x41, "printer-make-and-model", "HP LaserJet 4 Plus, hpcups 3.22.10"),
                attr(0x45, "printer-uri-supported", "ipp://localhost:631/printers/lj4"),
                attr(0x45, "", "ipps://localhost:631/printers/lj4")])]),
    "printer_stopped": response(0, 2, [
        (0x01, OPERATION),
        (0x04, [enum(0x23, "printer-state", 4), enum(0x23, "printer-state", 5),
                attr(0x44, "printer-state-reasons", "media-empty-error"), attr(0x44, "", "toner-low-report"),
                attr(0x44, "", "cover-open-warning"),
                attr(0x36, "printer-info", b"\x00\x05de-de\x00\x0eB\xc3\xbcro Drucker")])]),
    "print_job": response(0, 3, [
        (0x01, OPERATION),
        (0x02, [attr(0x45, "job-uri", "ipp://localhost:631/jobs/17"), enum(0x21, "job-id", 17),
                enum(0x23, "job-state", 3), attr(0x44, "job-state-reasons", "none")])]),
    "not_found": response(0x0406, 4, [
        (0x01, OPERATION + [attr(0x41, "status-message", "The printer or class does not exist.")])]),
    "shift_jis": response(0, 5, [
        (0x01, [attr(0x47, "attributes-charset", "Shift_JIS"), attr(0x48, "attributes-natural-language", "ja-jp")]),
        (0x04, [attr(0x41, "printer-make-and-model", b"\x83\x76\x83\x8a\x83\x93\x83\x5e"),
                enum(0x23, "printer-state", 3)])]),
}


def http(status_line, fields, body=b""):
    return (status_line + "\r\n" + "".join(f + "\r\n" for f in fields) + "\r\n").encode() + body


def chunked(body, sizes):
    ends = [sum(sizes[:i + 1]) for i in range(len(sizes))]
    pieces = [body[end - size:end] for size, end in zip(sizes, ends)]
    return b"".join(b"%x\r\n" % len(p) + p + b"\r\n" for p in pieces) + b"0\r\n\r\n"


cups = ["Connection: Keep-Alive", "Content-Language: en_US", "Content-Type: application/ipp",
        "Date: Mon, 01 Jan 2024 00:00:00 GMT", "Keep-Alive: timeout=10", "Server: CUPS/2.4 IPP/2.1",
        "X-Frame-Options: DENY"]
not_found = ipp["not_found"]
# The first byte of each HTTP seed chooses how the fuzzer splits the rest into receives.
http_seeds = {
    "cups_content_length": b"\x00" + http("HTTP/1.1 200 OK", cups + ["Content-Length: %d" % len(ipp["printer_idle"])],
                                          ipp["printer_idle"]),
    "chunked_print_job": b"\x03" + http("HTTP/1.1 200 OK", cups + ["Transfer-Encoding: chunked"],
                                        chunked(ipp["print_job"], [8, 1, 40, 1000])),
    "continue_then_200": b"\x07" + http("HTTP/1.1 100 Continue", []) +
                         http("HTTP/1.1 200 OK", ["Transfer-Encoding: chunked"],
                              chunked(ipp["printer_stopped"], [16, 16, 16, 1000])),
    "unauthorized": b"\x01" + http("HTTP/1.1 401 Unauthorized",
                                   ["Content-Length: 0", 'WWW-Authenticate: Basic realm="CUPS"']),
    "trailer_and_lf": b"\x02" + b"HTTP/1.0 200 OK\nTransfer-Encoding: chunked\n\n" +
                      b"%X\n" % len(not_found) + not_found + b"\n0\nX-Trailer: 1\n\n",
}


def snmp_reply(bindings, error=0, error_index=0, version=0):
    return message([binding(name, value) for name, value in bindings], integer(0), b"public",
                   version=version, error=integer(error), error_index=error_index)


# Answers to the search's GetNextRequest, as an agent on a print server gives them.
search = [
    ("1.3.6.1.2.1.1.1.0", tlv(0x04, b"Vexa PS-110 Print Server")),
    ("1.3.6.1.2.1.4.20.1.1.192.168.0.10", tlv(0x40, bytes([192, 168, 0, 10]))),
    ("1.3.6.1.2.1.1.2.0", oid("1.3.6.1.4.1.99999.1.4")),
    ("1.3.6.1.2.1.2.2.1.6.1", tlv(0x04, bytes([0x00, 0x80, 0x92, 0x1A, 0x2B, 0x3C]))),
    ("1.3.6.1.2.1.25.3.2.1.3.1", tlv(0x04, b"")),
]
snmp_seeds = {
    "search_reply": snmp_reply(search),
    "numbers": snmp_reply([("1.3.6.1.2.1.1.3.0", tlv(0x43, b"\x00\xFF\xFF\xFF\xFE")),
                           ("1.3.6.1.2.1.2.2.1.10.1", tlv(0x41, b"\x12\x34")),
                           ("1.3.6.1.2.1.2.2.1.5.1", tlv(0x42, b"\x05\xF5\xE1\x00")),
                           ("2.999.1", tlv(0x02, b"\xFF\xFF\xFF\xFE")),
                           ("1.3.6.1.2.1.1.7.0", tlv(0x05, b""))]),
    "no_such_name": snmp_reply(search[:2], error=2, error_index=1),
    "snmpv2c": snmp_reply(search[:1], version=1),
    # Lengths in long forms where short ones would do, a 40-part name of 4-byte parts.
    "long_forms": bytes([0x30, 0x82, 0x01, 0x90, 0x02, 0x01, 0x00, 0x04, 0x82, 0x00, 0x06]) + b"public" +
                  bytes([0xA2, 0x82, 0x01, 0x7D]) + tlv(0x02, b"\x01\x02\x03\x04") + integer(0) + integer(0) +
                  tlv(0x30, binding("1.3.6.1.4.1.99999." + ".".join(["268435457"] * 40), tlv(0x04, b"d" * 300))),
}

for target, seeds in (("ipp_response_fuzz", ipp), ("http_response_fuzz", http_seeds),
                      ("snmp_response_fuzz", snmp_seeds)):
    os.makedirs(os.path.join(HERE, "corpus", target), exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(HERE, "corpus", target, name), "wb") as f:
            f.write(data)
