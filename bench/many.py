#!/usr/bin/env python3
"""Many ports printing at once, for bench/many.sh.

  many.py run --out COST --log LOG --input LINES [--lpd-port 515] -- CMD...
      runs CMD (a vexaspool session) reading LINES; every output line goes to
      LOG after the seconds since the start. COST gets key=value lines: wall,
      rss_kb, exit, and from the background prints' "[N] printed BYTES in MS
      ms" lines: printed (how many), span (first start to last end, seconds)
      and jobs (LINE:MS,...); with --lpd-port, fallbacks: how many connections
      to that port came from a source port outside 721-731, as the kernel's
      table of this network namespace showed them meanwhile. Exits with CMD's
      status.
  many.py report RECORDS
      the rows and the ratios, on standard output; exits 1 when a run failed.
"""

import argparse
import os
import re
import statistics
import subprocess
import sys
import tempfile
import threading
import time

from benchlib import RSS_TAG, split_peak

MB = 1 << 20
PRINTED = re.compile(r"^\[(\d+)\] printed (\d+) in (\d+) ms$")
KINDS = {"raw": "Raw", "lpr": "LPR", "ipp": "IPP"}
RECORD_FIELDS = ("ports", "kind", "run", "ok", "rss_kb", "span", "bytes", "fallbacks", "jobs")
TARGET_RATE = 0.8     # aggregate over one port alone
TARGET_RSS_KB = 1024  # growth a port
TARGET_SLOWEST = 3.0  # slowest job over the median one


RESERVED = range(721, 732)
SAMPLE_SECONDS = 0.005


def client_ports(table_text, server_port):
    """Local ports of the connections in a /proc/net/tcp text whose far end
    is SERVER_PORT and that are connecting or connected."""
    ports = set()
    for row in table_text.splitlines()[1:]:
        fields = row.split()
        if len(fields) < 4:
            continue
        local, remote, state = fields[1], fields[2], fields[3]
        # 01 established, 02 SYN sent
        if int(remote.split(":")[1], 16) == server_port and state in ("01", "02"):
            ports.add(int(local.split(":")[1], 16))
    return ports


class SourcePorts:
    """Samples the connections to an LPD port while a session runs. An LPR
    job's connection lives for its whole data file, far longer than the
    sampling period."""

    def __init__(self, server_port):
        self.server_port = server_port
        self.seen = set()
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._sample, daemon=True)
        self.thread.start()

    def _sample(self):
        while not self.done.is_set():
            with open("/proc/net/tcp") as f:
                self.seen |= client_ports(f.read(), self.server_port)
            self.done.wait(SAMPLE_SECONDS)

    def outside_reserved(self):
        self.done.set()
        self.thread.join()
        return sum(1 for port in self.seen if port not in RESERVED)


def run(command, input_path, log_path, lpd_port=None):
    """Runs COMMAND with its output lines timed as they come; the costs."""
    ports = SourcePorts(lpd_port) if lpd_port else None
    with tempfile.TemporaryFile("w+") as errors, open(input_path) as lines, \
            open(log_path, "w") as log:
        start = time.monotonic()
        child = subprocess.Popen(["/usr/bin/time", "-f", RSS_TAG + "%M"] + command,
                                 stdin=lines, stdout=subprocess.PIPE, stderr=errors)
        jobs = []
        for raw in child.stdout:
            now = time.monotonic() - start
            line = raw.decode("latin-1").rstrip("\r\n")
            log.write(f"{now:.3f}\t{line}\n")
            match = PRINTED.match(line)
            if match:
                ms = int(match.group(3))
                jobs.append((int(match.group(1)), ms, now - ms / 1000, now))
        status = child.wait()
        wall = time.monotonic() - start
        errors.seek(0)
        text, peak = split_peak(errors.read())
    sys.stderr.write(text)
    span = max(j[3] for j in jobs) - min(j[2] for j in jobs) if jobs else 0.0
    return {
        "fallbacks": ports.outside_reserved() if ports else "-",
        "wall": f"{wall:.3f}",
        "rss_kb": peak,
        "exit": status,
        "printed": len(jobs),
        "span": f"{span:.3f}",
        "jobs": ",".join(f"{line}:{ms}" for line, ms, _, _ in sorted(jobs)) or "-",
    }


# --- the report -------------------------------------------------------------------

def read_records(path):
    records = []
    with open(path) as f:
        for text in f:
            values = text.rstrip("\n").split("\t")
            if not text.strip() or values[0] == RECORD_FIELDS[0]:
                continue
            r = dict(zip(RECORD_FIELDS, values))
            for key in ("ports", "run", "ok", "rss_kb", "bytes"):
                r[key] = int(r[key])
            r["span"] = float(r["span"])
            r["fallbacks"] = None if r["fallbacks"] == "-" else int(r["fallbacks"])
            r["jobs"] = [] if r["jobs"] == "-" else [
                (kind, int(ms)) for kind, ms in (job.split(":") for job in r["jobs"].split(","))]
            records.append(r)
    return records


def fmt(value, digits=1):
    return "-" if value is None else f"{value:.{digits}f}"


def verdict(met):
    return "met" if met else "MISSED"


def report(records):
    """Rows for one port alone by kind and for all ports at once, then the
    ratios against their targets."""
    alone = {}
    for kind in KINDS:
        good = [r for r in records if r["ports"] == 1 and r["kind"] == kind and r["ok"]]
        runs = [r for r in records if r["ports"] == 1 and r["kind"] == kind]
        alone[kind] = {
            "runs": f"{len(good)}/{len(runs)}",
            # One job: its own StartDocPort to EndDocPort.
            "rate": statistics.median(r["bytes"] / MB / r["span"] for r in good) if good else None,
            "rss_kb": statistics.median(r["rss_kb"] for r in good) if good else None,
        }
    many = [r for r in records if r["ports"] > 1]
    good = [r for r in many if r["ok"]]
    lines = [f"{'ports':<7}{'what':<30}{'runs':>6}{'MB/s':>9}{'peak RSS MB':>13}"
             f"{'slowest/median':>16}{'LPR fallbacks':>15}"]
    for kind, s in alone.items():
        rss = None if s["rss_kb"] is None else s["rss_kb"] / 1024
        lines.append(f"{1:<7}{KINDS[kind] + ' alone':<30}{s['runs']:>6}{fmt(s['rate']):>9}"
                     f"{fmt(rss):>13}{'-':>16}{'-':>15}")
    if not many:
        return lines + ["no run of many ports at once"], bool(records) and all(
            r["ok"] for r in records)
    ports = many[0]["ports"]
    mix = ", ".join(f"{sum(1 for k, _ in many[0]['jobs'] if k == kind)} {name}"
                    for kind, name in KINDS.items())
    rate = slowest = rss = fallbacks = None
    if good:
        rate = statistics.median(r["bytes"] / MB / r["span"] for r in good)
        rss = statistics.median(r["rss_kb"] for r in good)
        slowest = max(max(ms for _, ms in r["jobs"]) / statistics.median(ms for _, ms in r["jobs"])
                      for r in good)
        fallbacks = [r["fallbacks"] for r in good]
    shown = "-" if fallbacks is None else "/".join(
        "-" if f is None else str(f) for f in fallbacks)
    lines.append(f"{ports:<7}{mix + ' at once':<30}{len(good)}/{len(many):<4}{fmt(rate):>9}"
                 f"{fmt(None if rss is None else rss / 1024):>13}{fmt(slowest, 2):>16}"
                 f"{shown:>15}")
    lines.append("")
    verdicts = []
    # One port alone printing the same jobs one after the other, each at
    # its kind's rate alone.
    alone_seconds = None
    if good and all(alone[kind]["rate"] for kind in KINDS):
        alone_seconds = sum(good[0]["bytes"] / len(good[0]["jobs"]) / MB / alone[kind]["rate"]
                            for kind, _ in good[0]["jobs"])
    if rate is not None and alone_seconds:
        baseline = good[0]["bytes"] / MB / alone_seconds
        ratio = rate / baseline
        verdicts.append(ratio >= TARGET_RATE)
        lines.append(f"aggregate MB/s / one port alone ({fmt(baseline)} MB/s for the same jobs in turn)"
                     f" (target >= {TARGET_RATE}): {ratio:.3f} {verdict(verdicts[-1])}")
    heaviest = max((s["rss_kb"] for s in alone.values() if s["rss_kb"]), default=None)
    if rss is not None and heaviest:
        growth = (rss - heaviest) / (ports - 1)
        verdicts.append(growth < TARGET_RSS_KB)
        lines.append(f"peak RSS growth a port over one job alone (the heaviest kind's, "
                     f"{heaviest / 1024:.1f} MB) (target < 1 MB): {growth / 1024:.2f} MB "
                     f"{verdict(verdicts[-1])}")
    if slowest is not None:
        verdicts.append(slowest <= TARGET_SLOWEST)
        lines.append(f"slowest job / median job, worst run (target <= {TARGET_SLOWEST:.0f}): "
                     f"{slowest:.2f} {verdict(verdicts[-1])}")
    if fallbacks:
        lpr = sum(1 for k, _ in good[0]["jobs"] if k == "lpr")
        lines.append(f"LPR jobs whose source port was not one of 721-731 (NonRFCPorts=1 lets them): "
                     f"{'/'.join(str(f) for f in fallbacks)} of {lpr} in the runs")
    bad = [r for r in records if not r["ok"]]
    if bad:
        lines.append(f"{len(bad)} run(s) failed or delivered a different copy; they do not count: "
                     + ", ".join(f"{r['ports']} {r['kind']} run {r['run']}" for r in bad))
    if verdicts:
        lines.append("Targets of many ports at once: " + ("all met" if all(verdicts) else "MISSED"))
    return lines, not bad


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    r = commands.add_parser("run")
    r.add_argument("--out", required=True)
    r.add_argument("--log", required=True)
    r.add_argument("--input", required=True)
    r.add_argument("--lpd-port", type=int)
    r.add_argument("argv", nargs="+", metavar="COMMAND")
    p = commands.add_parser("report")
    p.add_argument("records")
    args = parser.parse_args(argv)
    if args.command == "run":
        cost = run(args.argv, args.input, args.log, args.lpd_port)
        with open(args.out, "w") as f:
            f.writelines(f"{key}={value}\n" for key, value in cost.items())
        return cost["exit"] & 0xFF
    lines, ok = report(read_records(args.records))
    print("\n".join(lines))
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
