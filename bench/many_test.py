#!/usr/bin/env python3
"""Tests of bench/many.py: python3 -m unittest discover -s bench -p '*_test.py'"""

import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import many  # noqa: E402

MB = 1 << 20

# /proc/net/tcp as the kernel writes it: ports in hex, state 01 established,
# 02 SYN sent, 06 TIME_WAIT, 0A listening.
TABLE = """\
  sl  local_address rem_address   st tx_queue rx_queue tr tm->when retrnsmt   uid
   0: 0100007F:0203 00000000:0000 0A 00000000:00000000 00:00000000 00000000     0
   1: 0100007F:02D1 0100007F:0203 01 00000000:00000000 00:00000000 00000000     0
   2: 0100007F:0203 0100007F:02D1 01 00000000:00000000 00:00000000 00000000     0
   3: 0100007F:A1B2 0100007F:0203 02 00000000:00000000 00:00000000 00000000     0
   4: 0100007F:02D2 0100007F:0203 06 00000000:00000000 00:00000000 00000000     0
   5: 0100007F:02D3 0100007F:238D 01 00000000:00000000 00:00000000 00000000     0
"""


class SourcePorts(unittest.TestCase):
    def test_the_clients_of_the_lpd_port_that_connect_or_are_connected(self):
        # 721 established and 41394 connecting; not the server's own side,
        # not 722 in TIME_WAIT, not 723 to another server.
        self.assertEqual(many.client_ports(TABLE, 515), {721, 41394})


def record(ports, kind, rss_mb, threads, span, jobs=(), fallbacks="-", ok=1):
    mb = len(jobs) * 16 if jobs else 16
    return {"ports": ports, "kind": kind, "run": 1, "ok": ok, "rss_kb": rss_mb * 1024,
            "threads": threads, "span": span, "bytes": mb * MB, "fallbacks": fallbacks,
            "jobs": list(jobs)}


class Report(unittest.TestCase):
    # Alone, 16 MB takes Raw 0.1 s, LPR 0.2 s, IPP 0.4 s; at once, 2 Raw,
    # 1 LPR and 1 IPP take 0.5 s where one port would take 0.8 s in turn.
    RECORDS = [
        record(1, "raw", 30, 4, 0.1), record(1, "lpr", 31, 4, 0.2), record(1, "ipp", 30, 4, 0.4),
        record(4, "mix", 37, 10, 0.5, [("raw", 100), ("raw", 120), ("lpr", 150), ("ipp", 460)], 1),
        record(1, "idle", 20, 3, 0), record(4, "idle", 23, 6, 0),
    ]

    def lines(self, records):
        lines, ok = many.report(records)
        return "\n".join(lines), ok

    def test_ratios_against_one_port_alone_and_the_cost_of_a_thread(self):
        text, ok = self.lines(self.RECORDS)
        self.assertTrue(ok)
        # 64 MB in 0.5 s against 64 MB in 0.8 s.
        self.assertIn("(80.0 MB/s for the same jobs in turn) (target >= 0.8): 1.600 met", text)
        # (37 - 31) / 3 = 2 MB a port over the LPR job; of it 2 threads a
        # port at 1 MB each, so nothing left.
        self.assertIn("over one LPR job alone, in MB (target < 1): 2.00 MISSED", text)
        self.assertIn("of it Wine's threads: 2.0 a port", text)
        self.assertIn("the rest, a port, in MB (target < 1): 0.00 met", text)
        # 460 ms against the median 135 ms.
        self.assertIn("(target <= 3): 3.41 MISSED", text)
        self.assertIn("not one of 721-731 (NonRFCPorts=1 lets them): 1 of 1", text)
        self.assertTrue(text.endswith("Targets of many ports at once: MISSED"))

    def test_a_run_with_a_bad_copy_does_not_count_and_fails_the_report(self):
        bad = record(4, "mix", 99, 10, 0.01, [("raw", 1)] * 4, 0, ok=0)
        text, ok = self.lines(self.RECORDS + [bad])
        self.assertFalse(ok)
        self.assertIn("1 run(s) failed or delivered a different copy", text)
        self.assertIn("1.600 met", text)

    def test_records_read_back_from_the_file_the_bench_writes(self):
        with tempfile.NamedTemporaryFile("w", suffix=".tsv", delete=False) as f:
            f.write("\t".join(many.RECORD_FIELDS) + "\n")
            f.write("32\tmix\t2\t1\t90000\t66\t2.5\t536870912\t1\traw:10,lpr:20\n")
            f.write("1\traw\t1\t1\t28000\t4\t0.1\t16777216\t-\traw:100\n")
        try:
            first, second = many.read_records(f.name)
        finally:
            os.unlink(f.name)
        self.assertEqual((first["ports"], first["fallbacks"], first["jobs"], first["span"]),
                         (32, 1, [("raw", 10), ("lpr", 20)], 2.5))
        self.assertIsNone(second["fallbacks"])


if __name__ == "__main__":
    unittest.main()
