#!/usr/bin/env python3
"""A few hand-made IPP/1.0 requests, to prove the peers with no IPP library.

  ipp_probe.py print --port P [--via PROXYPORT] [--chunked] [--auth U:P] --doc FILE
      Print-Job with no document-format. Prints one line:
      "http=200 version=1.0 ipp=0x0000 job=3 www-authenticate=-"
  ipp_probe.py attrs --port P
      Get-Printer-Attributes; prints "STATE REASONS ACCEPTING", like peer_ipp_attrs.
  ipp_probe.py silent --port P [--wait S]
      Two connections that each send a request; exits 0 when both stay open
      and neither gets a byte within S seconds: "silent for S s on 2
      connections, N bytes sent on each".

--via sends the absolute-form request line to a proxy on 127.0.0.1:PROXYPORT.
"""
import argparse
import base64
import socket
import struct
import sys
import time


def attribute(tag, name, value):
    name = name.encode()
    return bytes([tag]) + struct.pack(">H", len(name)) + name + struct.pack(">H", len(value)) + value


def request(op, uri, extra=b""):
    return (struct.pack(">BBHI", 1, 0, op, 7) + b"\x01"
            + attribute(0x47, "attributes-charset", b"utf-8")
            + attribute(0x48, "attributes-natural-language", b"en-us")
            + attribute(0x45, "printer-uri", uri.encode())
            + attribute(0x42, "requesting-user-name", b"vexa") + extra + b"\x03")


def parse(body):
    """Version, status and {name: [values]} of an IPP response."""
    major, minor, status = struct.unpack(">BBH", body[:4])
    attrs, pos, name = {}, 8, None
    while pos < len(body):
        tag = body[pos]
        pos += 1
        if tag == 0x03:
            break
        if tag < 0x10:
            continue
        (n,) = struct.unpack(">H", body[pos:pos + 2])
        if n:
            name = body[pos + 2:pos + 2 + n].decode()
        pos += 2 + n
        (n,) = struct.unpack(">H", body[pos:pos + 2])
        value = body[pos + 2:pos + 2 + n]
        pos += 2 + n
        if tag in (0x21, 0x23):
            value = struct.unpack(">i", value)[0]
        elif tag == 0x22:
            value = "true" if value == b"\x01" else "false"
        else:
            value = value.decode(errors="replace")
        attrs.setdefault(name, []).append(value)
    return "%d.%d" % (major, minor), status, attrs


def exchange(args, body):
    """Sends one POST and returns (http status, headers, body)."""
    target = "/printers/q"
    port = args.port
    if args.via:
        target = "http://127.0.0.1:%d/printers/q" % args.port
        port = args.via
    head = ["POST %s HTTP/1.1" % target, "Host: 127.0.0.1:%d" % args.port,
            "Content-Type: application/ipp", "Connection: close"]
    if args.auth:
        head.append("Authorization: Basic " + base64.b64encode(args.auth.encode()).decode())
    sock = socket.create_connection(("127.0.0.1", port), timeout=10)
    if args.chunked:
        head.append("Transfer-Encoding: chunked")
        sock.sendall(("\r\n".join(head) + "\r\n\r\n").encode())
        # Uneven chunks, one of them splitting the IPP header from the data.
        pos, size = 0, 100
        while pos < len(body):
            piece = body[pos:pos + size]
            sock.sendall(b"%x\r\n" % len(piece) + piece + b"\r\n")
            pos += len(piece)
            size = size * 7 + 13
        sock.sendall(b"0\r\n\r\n")
    else:
        head.append("Content-Length: %d" % len(body))
        sock.sendall(("\r\n".join(head) + "\r\n\r\n").encode() + body)
    # Read by the response's own framing: after a 401, cupsd says
    # "Connection: close" but leaves the connection open.
    reply = b""
    while b"\r\n\r\n" not in reply:
        chunk = sock.recv(65536)
        if not chunk:
            raise EOFError("connection closed before the response's headers")
        reply += chunk
    top, _, rest = reply.partition(b"\r\n\r\n")
    lines = top.decode(errors="replace").split("\r\n")
    headers = {}
    for line in lines[1:]:
        key, _, value = line.partition(":")
        headers[key.strip().lower()] = value.strip()

    def more():
        chunk = sock.recv(65536)
        if not chunk:
            raise EOFError("connection closed inside the response's body")
        return chunk

    if headers.get("transfer-encoding", "").lower() == "chunked":
        data = b""
        while True:
            while b"\r\n" not in rest:
                rest += more()
            size, _, rest = rest.partition(b"\r\n")
            size = int(size.split(b";")[0], 16)
            if not size:
                break
            while len(rest) < size + 2:
                rest += more()
            data += rest[:size]
            rest = rest[size + 2:]
        rest = data
    elif "content-length" in headers:
        while len(rest) < int(headers["content-length"]):
            rest += more()
    else:
        while True:
            chunk = sock.recv(65536)
            if not chunk:
                break
            rest += chunk
    sock.close()
    return int(lines[0].split()[1]), headers, rest


def do_print(args):
    with open(args.doc, "rb") as f:
        doc = f.read()
    uri = "ipp://127.0.0.1:%d/printers/q" % args.port
    status, headers, body = exchange(args, request(0x0002, uri, attribute(0x42, "job-name", b"probe")) + doc)
    version, ipp, job = "-", "-", "-"
    if headers.get("content-type") == "application/ipp":
        version, code, attrs = parse(body)
        ipp = "0x%04x" % code
        job = attrs.get("job-id", ["-"])[0]
    print("http=%d version=%s ipp=%s job=%s www-authenticate=%s"
          % (status, version, ipp, job, headers.get("www-authenticate", "-")))


def do_attrs(args):
    uri = "ipp://127.0.0.1:%d/printers/q" % args.port
    wanted = b"printer-state"
    extra = attribute(0x44, "requested-attributes", wanted)
    for more in (b"printer-state-reasons", b"printer-is-accepting-jobs"):
        extra += attribute(0x44, "", more)
    status, _, body = exchange(args, request(0x000B, uri, extra))
    version, code, attrs = parse(body)
    if status != 200 or code != 0 or version != "1.0":
        sys.exit("attrs: http %d, ipp 0x%04x, version %s" % (status, code, version))
    print(attrs["printer-state"][0], ",".join(attrs["printer-state-reasons"]),
          attrs["printer-is-accepting-jobs"][0])


def do_silent(args):
    head = ("POST /printers/q HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Type: application/ipp\r\n"
            "Content-Length: 9\r\n\r\n\x01\x00\x00\x02\x00\x00\x00\x07\x03" % args.port).encode()
    socks = []
    for _ in range(2):
        sock = socket.create_connection(("127.0.0.1", args.port), timeout=5)
        sock.sendall(head)
        socks.append(sock)
    start = time.monotonic()
    for sock in socks:
        sock.settimeout(max(0.01, args.wait - (time.monotonic() - start)))
        try:
            got = sock.recv(1)
        except socket.timeout:
            continue
        sys.exit("silent: got %r" % got if got else "silent: the peer closed the connection")
    for sock in socks:
        sock.close()
    print("silent for %.1f s on 2 connections, %d bytes sent on each" % (time.monotonic() - start, len(head)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("what", choices=["print", "attrs", "silent"])
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--via", type=int)
    parser.add_argument("--chunked", action="store_true")
    parser.add_argument("--auth")
    parser.add_argument("--doc")
    parser.add_argument("--wait", type=float, default=1.5)
    args = parser.parse_args()
    {"print": do_print, "attrs": do_attrs, "silent": do_silent}[args.what](args)


if __name__ == "__main__":
    main()
