#!/usr/bin/env python3
"""A printer that misbehaves on purpose, for what no real server does.

--mode raw   reads each connection's bytes until the client closes.
--mode silent reads every connection at once, each in its own thread, and
             never sends a byte: a printer that takes the request and
             never answers. Connections stay open until the client closes.
--mode lpd   speaks the receive-job side of RFC 1179, including the
             announced length 125899906843000 (data until the client closes),
             which no Debian LPD server accepts.
--mode reset resets every connection as soon as it is accepted.
--mode continue reads an HTTP request's header and then answers
             "100 Continue" every half second, never a final status.
--mode ipp   an IPP printer, always idle: answers every request with
             success; the first Print-Job's body is read with the stall
             fault and kept in DIR/conn-K.data. A chunked body is kept
             without its framing, and the size line of each chunk, as sent,
             in DIR/conn-K.chunks; framing that is not exactly "%x\r\n",
             data, "\r\n" ends the connection unanswered.

Faults, on the first connection only:
  --reset-after N      reset the connection after N data bytes
  --stall-after N      stop reading after N data bytes for --stall-seconds,
                       --stall-count times, every N bytes
  --ack-delay S        (lpd) acknowledge the end of the data file S seconds
                       late, then count what else the client sends
  --chatty             (lpd) follow each acknowledgement with more bytes in
                       the same segment

Connection K's data goes to DIR/conn-K.data (and DIR/conn-K.control); one
line per event goes to standard output. Loopback only; stops on SIGTERM.
"""
import argparse
import os
import signal
import socket
import struct
import sys
import threading
import time

STREAMED = 125899906843000


def log(*words):
    print(*words, flush=True)


class Conn:
    def __init__(self, sock, index, args):
        self.sock = sock
        self.index = index
        self.args = args
        self.faulty = index == 1
        self.taken = 0
        self.pending = b""
        self.arm()

    def arm(self):
        """The stall fault, counted from the data taken so far."""
        self.stalls = self.args.stall_count if self.faulty and self.args.stall_after else 0
        self.next_stall = self.taken + (self.args.stall_after or 0)

    def path(self, suffix):
        return os.path.join(self.args.dir, "conn-%d.%s" % (self.index, suffix))

    def read_some(self, n):
        """Up to n bytes, those read past an HTTP header first; b"" once
        the client has closed."""
        if self.pending:
            chunk, self.pending = self.pending[:n], self.pending[n:]
            return chunk
        return self.sock.recv(n)

    def recv(self, n):
        chunk = self.read_some(n)
        if not chunk:
            raise EOFError
        return chunk

    def line(self):
        out = b""
        while not out.endswith(b"\n"):
            out += self.recv(1)
            if len(out) > 4096:
                raise EOFError
        return out

    def exactly(self, n):
        out = b""
        while len(out) < n:
            out += self.recv(min(65536, n - len(out)))
        return out

    def ack(self, ok=True):
        self.sock.sendall((b"\x00" if ok else b"\x01") + (b"ok\n" if self.args.chatty else b""))

    def take_data(self, out, limit=None):
        """Reads data into `out` until `limit` bytes or the client closes,
        applying the stall and reset faults, which count the data of every
        call on the connection. Returns the count of this call."""
        taken = self.taken
        count = self.taken
        if limit is not None:
            limit += count
        stalls = self.stalls
        next_stall = self.next_stall
        while limit is None or count < limit:
            want = 65536 if limit is None else min(65536, limit - count)
            if stalls:
                want = min(want, next_stall - count)
            if self.faulty and self.args.reset_after is not None:
                if count >= self.args.reset_after:
                    log("conn", self.index, "reset after", count)
                    self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    self.sock.close()
                    raise ConnectionResetError
                want = min(want, self.args.reset_after - count)
            try:
                chunk = self.read_some(want)
            except ConnectionError:
                break
            if not chunk:
                break
            out.write(chunk)
            out.flush()
            count += len(chunk)
            if stalls and count == next_stall:
                log("conn", self.index, "stall at", count)
                time.sleep(self.args.stall_seconds)
                log("conn", self.index, "reading again")
                stalls -= 1
                next_stall += self.args.stall_after
        self.taken, self.stalls, self.next_stall = count, stalls, next_stall
        return count - taken

    def reset(self):
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))

    def continue_forever(self):
        head = b""
        while b"\r\n\r\n" not in head:
            head += self.recv(4096)
        while True:
            self.sock.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
            time.sleep(0.5)

    def ipp(self):
        head = b""
        while b"\r\n\r\n" not in head:
            head += self.recv(4096)
        head, body = head.split(b"\r\n\r\n", 1)
        length = 0
        chunked = False
        for line in head.split(b"\r\n"):
            name, _, value = line.partition(b":")
            if name.strip().lower() == b"content-length":
                length = int(value)
            if name.strip().lower() == b"transfer-encoding":
                chunked = value.strip().lower() == b"chunked"
        if chunked:
            self.pending = body
            return self.ipp_chunked()
        body += self.exactly(8 - len(body)) if len(body) < 8 else b""
        operation, request_id = self.operation(body)
        with open(self.path("data"), "wb") as out:
            out.write(body)
            self.take_data(out, length - len(body))
        self.answer(request_id)

    def operation(self, body):
        operation, request_id = struct.unpack(">HI", body[2:8])
        log("conn", self.index, "operation", operation)
        self.faulty = operation == 2 and self.args.stall_after and not self.args.stalled
        if self.faulty:
            self.args.stalled = True
        self.arm()
        return operation, request_id

    def ipp_chunked(self):
        """The first chunk holds the IPP request; the stall fault counts the
        chunks' data."""
        request_id = None
        with open(self.path("data"), "wb") as out, open(self.path("chunks"), "wb") as sizes:
            while True:
                line = self.line()
                sizes.write(line[:-2] + b"\n")
                sizes.flush()
                digits = line[:-2]
                if (not line.endswith(b"\r\n") or not digits or
                        digits.strip(b"0123456789abcdef") or digits != b"%x" % int(digits, 16)):
                    log("conn", self.index, "bad chunk size line", repr(line))
                    return
                n = int(digits, 16)
                if n == 0:
                    break
                if request_id is None:
                    data = self.exactly(n)
                    out.write(data)
                    _, request_id = self.operation(data)
                else:
                    self.take_data(out, n)
                if self.exactly(2) != b"\r\n":
                    log("conn", self.index, "no CR LF after a chunk")
                    return
            if self.exactly(2) != b"\r\n":
                log("conn", self.index, "no empty line after the last chunk")
                return
        log("conn", self.index, "chunked body complete")
        self.answer(request_id)

    def answer(self, request_id):
        def attr(tag, name, value):
            return bytes([tag]) + struct.pack(">H", len(name)) + name + struct.pack(">H", len(value)) + value
        answer = (struct.pack(">HHI", 0x0100, 0, request_id) + b"\x01" +
                  attr(0x47, b"attributes-charset", b"utf-8") +
                  attr(0x48, b"attributes-natural-language", b"en-us") + b"\x04" +
                  attr(0x23, b"printer-state", struct.pack(">I", 3)) +
                  attr(0x22, b"printer-is-accepting-jobs", b"\x01") +
                  attr(0x44, b"printer-state-reasons", b"none") + b"\x03")
        self.sock.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n"
                          b"Content-Length: %d\r\nConnection: close\r\n\r\n" % len(answer) + answer)

    def raw(self):
        with open(self.path("data"), "wb") as out:
            n = self.take_data(out)
        log("conn", self.index, "raw bytes", n)

    def lpd(self):
        command = self.line()
        log("conn", self.index, "command", repr(command))
        if command[:1] != b"\x02":
            return
        self.ack()
        while True:
            sub = self.line()
            log("conn", self.index, "subcommand", repr(sub))
            kind = sub[:1]
            length = int(sub[1:].split(b" ")[0])
            self.ack()
            if kind == b"\x02":
                control = self.exactly(length + 1)
                with open(self.path("control"), "wb") as out:
                    out.write(control[:-1])
                self.ack(control[-1:] == b"\x00")
            elif kind == b"\x03":
                with open(self.path("data"), "wb") as out:
                    if length == STREAMED:
                        n = self.take_data(out)
                        log("conn", self.index, "streamed bytes", n)
                        return
                    n = self.take_data(out, length)
                log("conn", self.index, "data bytes", n)
                end = self.exactly(1)
                if self.faulty and self.args.ack_delay:
                    time.sleep(self.args.ack_delay)
                self.ack(end == b"\x00")
                log("conn", self.index, "job complete")
                extra = 0
                try:
                    while True:
                        extra += len(self.recv(65536))
                except (EOFError, ConnectionError):
                    pass
                log("conn", self.index, "after the end", extra, "bytes")
                return
            else:
                return


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--dir", required=True)
    parser.add_argument("--mode", choices=["raw", "lpd", "silent", "reset", "continue", "ipp"],
                        required=True)
    parser.add_argument("--reset-after", type=int)
    parser.add_argument("--stall-after", type=int)
    parser.add_argument("--stall-seconds", type=float, default=30)
    parser.add_argument("--stall-count", type=int, default=1)
    parser.add_argument("--ack-delay", type=float)
    parser.add_argument("--chatty", action="store_true")
    args = parser.parse_args()
    args.stalled = False
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    server = socket.socket()
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", args.port))
    server.listen(8)
    index = 0
    while True:
        sock, peer = server.accept()
        index += 1
        log("conn", index, "from port", peer[1])
        if args.mode in ("silent", "continue", "ipp"):
            threading.Thread(target=serve, args=(sock, index, args), daemon=True).start()
        else:
            serve(sock, index, args)


def serve(sock, index, args):
    conn = Conn(sock, index, args)
    try:
        {"lpd": conn.lpd, "reset": conn.reset, "continue": conn.continue_forever,
         "ipp": conn.ipp}.get(
            args.mode, conn.raw)()
    except (EOFError, ConnectionError, ValueError, OSError) as error:
        log("conn", index, "ended:", type(error).__name__)
    finally:
        try:
            sock.close()
        except OSError:
            pass
    log("conn", index, "closed")


if __name__ == "__main__":
    main()
