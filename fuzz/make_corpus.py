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
