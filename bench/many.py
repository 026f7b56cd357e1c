#!/usr/bin/env python3
"""Many ports printing at once, for bench/many.sh.

  many.py run --out COST --log LOG --input LINES [--lpd-port 515] -- CMD...
      runs CMD (a vexaspool session) reading LINES; every output line goes to
      LOG after the seconds since the start. COST gets key=value lines: wall,
      rss_kb, exit, threads (the most any process of CMD had at once), and
      from the background prints' "[N] printed BYTES in MS ms" lines: printed (how many), span (first start to last end, seconds)
      and jobs (LINE:MS,...); with --lpd-port, fallbacks: how many connections
      to that port came from a source port outside 721-731, as the kernel's
      table of this network namespace showed them meanwhile. Exits with CMD's
      status.
  many.py report RECORDS
      the rows and the ratios, on standard output; exits 1 when a run failed.
"""

import argparse
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
RECORD_FIELDS = ("ports", "kind", "run", "ok", "rss_kb", "threads", "span", "bytes", "fallbacks",
                 "jobs")
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


def descendants(pid):
    """PID and the processes below it."""
    found, todo = [], [pid]
    while todo:
        pid = todo.pop()
        found.append(pid)
        try:
            with open(f"/proc/{pid}/task/{pid}/children") as f:
                todo += [int(child) for child in f.read().split()]
        except OSError:
            continue
    return found


def thread_count(pid):
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("Threads:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return 0


class Sampler:
    """While a session runs: the source ports of the connections to an LPD
    port (an LPR job's connection lives for its whole data file, far longer
    than the period), and the most threads a process of the session had."""

    def __init__(self, root_pid, lpd_port):
        self.root_pid = root_pid
        self.lpd_port = lpd_port
        self.ports = set()
        self.threads = 0
        self.done = threading.Event()
        self.thread = threading.Thread(target=self._sample, daemon=True)
        self.thread.start()

    def _sample(self):
        while not self.done.is_set():
            if self.lpd_port:
                with open("/proc/net/tcp") as f:
                    self.ports |= client_ports(f.read(), self.lpd_port)
            counts = [thread_count(pid) for pid in descendants(self.root_pid)]
            self.threads = max([self.threads] + counts)
            self.done.wait(SAMPLE_SECONDS)

    def stop(self):
        self.done.set()
        self.thread.join()

    def outside_reserved(self):
        return sum(1 for port in self.ports if port not in RESERVED)


def run(command, input_path, log_path, lpd_port=None):
    """Runs COMMAND with its output lines timed as they come; the costs."""
    with tempfile.TemporaryFile("w+") as errors, open(input_path) as lines, \
            open(log_path, "w") as log:
        start = time.monotonic()
        child = subprocess.Popen(["/usr/bin/time", "-f", RSS_TAG + "%M"] + command,
                                 stdin=lines, stdout=subprocess.PIPE, stderr=errors)
        sampler = Sampler(child.pid, lpd_port)
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
        sampler.stop()
        errors.seek(0)
        text, peak = split_peak(errors.read())
    sys.stderr.write(text)
    span = max(j[3] for j in jobs) - min(j[2] for j in jobs) if jobs else 0.0
    return {
        "fallbacks": sampler.outside_reserved() if lpd_port else "-",
        "threads": sampler.threads,
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
            for key in ("ports", "run", "ok", "rss_kb", "threads", "bytes"):
                r[key] = int(r[key])
            r["span"] = float(r["span"])
            r["fallbacks"] = None if r["fallbacks"] == "-" else int(r["fallbacks"])
            r["jobs"] = [] if r["jobs"] == "-" else [
                (kind, int(ms)) for kind, ms in (job.split(":") for job in r["jobs"].split(","))]
            records.append(r)
    return records


def fmt(value, digits=1):
    return "-" if value is None else f"{value:.{digits}f}"


def summary(runs):
    """Medians of the verified runs among RUNS."""
    good = [r for r in runs if r["ok"]]
    pick = lambda f: statistics.median(f(r) for r in good) if good else None
    return {
        "runs": f"{len(good)}/{len(runs)}",
        "good": good,
        # The bytes over first StartDocPort to last EndDocPort.
        "rate": pick(lambda r: r["bytes"] / MB / r["span"]) if good and all(
            r["span"] for r in good) else None,
        "rss_kb": pick(lambda r: r["rss_kb"]),
        "threads": pick(lambda r: r["threads"]),
    }


def row(ports, what, s, slowest=None, fallbacks="-"):
    rss = None if s["rss_kb"] is None else s["rss_kb"] / 1024
    return (f"{ports:<7}{what:<32}{s['runs']:>6}{fmt(s['rate']):>9}{fmt(rss):>13}"
            f"{fmt(s['threads'], 0):>9}{fmt(slowest, 2):>16}{fallbacks:>15}")


def report(records):
    """Rows for one port alone by kind, all ports at once and idle
    background lines; then the ratios against their targets."""
    select = lambda ports, kind: [r for r in records if (ports == 1) == (r["ports"] == 1)
                                  and r["kind"] == kind]
    alone = {kind: summary(select(1, kind)) for kind in KINDS}
    many, idle1, idle = summary(select(2, "mix")), summary(select(1, "idle")), summary(
        select(2, "idle"))
    lines = [f"{'ports':<7}{'what':<32}{'runs':>6}{'MB/s':>9}{'peak RSS MB':>13}{'threads':>9}"
             f"{'slowest/median':>16}{'LPR fallbacks':>15}"]
    lines += [row(1, KINDS[kind] + " alone", s) for kind, s in alone.items()]
    good = many["good"]
    if not good:
        return lines + ["no verified run of many ports at once"], False
    first = good[0]
    ports = first["ports"]
    mix = ", ".join(f"{sum(1 for k, _ in first['jobs'] if k == kind)} {name}"
                    for kind, name in KINDS.items())
    slowest = max(max(ms for _, ms in r["jobs"]) / statistics.median(ms for _, ms in r["jobs"])
                  for r in good)
    fallbacks = [r["fallbacks"] for r in good]
    lines.append(row(ports, mix + " at once", many, slowest,
                     "/".join("-" if f is None else str(f) for f in fallbacks)))
    lines.append(row(1, "idle background line (sleep)", idle1))
    lines.append(row(idle["good"][0]["ports"] if idle["good"] else "-",
                     "idle background lines (sleep)", idle))
    lines.append("")
    checks = []

    def check(text, value, met, digits=3):
        checks.append(met)
        lines.append(f"{text}: {value:.{digits}f} {'met' if met else 'MISSED'}")

    # One port alone printing the same jobs one after another, each at its
    # kind's rate alone.
    job_mb = first["bytes"] / len(first["jobs"]) / MB
    if all(alone[kind]["rate"] for kind, _ in first["jobs"]):
        baseline = first["bytes"] / MB / sum(job_mb / alone[kind]["rate"]
                                             for kind, _ in first["jobs"])
        check(f"aggregate MB/s / one port alone ({fmt(baseline)} MB/s for the same jobs in turn)"
              f" (target >= {TARGET_RATE})", many["rate"] / baseline, many["rate"] / baseline >=
              TARGET_RATE)
    heaviest = max((k for k in KINDS if alone[k]["rss_kb"]), key=lambda k: alone[k]["rss_kb"],
                   default=None)
    if heaviest:
        one = alone[heaviest]
        growth = (many["rss_kb"] - one["rss_kb"]) / (ports - 1)
        check(f"peak RSS growth a port over one {KINDS[heaviest]} job alone, in MB "
              f"(target < {TARGET_RSS_KB // 1024})", growth / 1024, growth < TARGET_RSS_KB, 2)
        if idle["good"] and idle1["good"] and idle["threads"] > idle1["threads"]:
            # Wine maps each thread a stack and a kernel stack of its own and
            # touches about a megabyte of them, whatever the stack size asked.
            per_thread = (idle["rss_kb"] - idle1["rss_kb"]) / (idle["threads"] - idle1["threads"])
            threads = (many["threads"] - one["threads"]) / (ports - 1)
            rest = growth - threads * per_thread
            lines.append(f"  of it Wine's threads: {threads:.1f} a port (its printing thread and "
                         f"the monitor's for its job) x {per_thread / 1024:.2f} MB each (idle "
                         f"background lines)")
            check(f"  the rest, a port, in MB (target < {TARGET_RSS_KB // 1024})", rest / 1024,
                  rest < TARGET_RSS_KB, 2)
    check(f"slowest job / median job, worst run (target <= {TARGET_SLOWEST:.0f})", slowest,
          slowest <= TARGET_SLOWEST, 2)
    lpr = sum(1 for k, _ in first["jobs"] if k == "lpr")
    lines.append(f"LPR jobs whose source port was not one of 721-731 (NonRFCPorts=1 lets them): "
                 f"{'/'.join(str(f) for f in fallbacks)} of {lpr} in the runs")
    bad = [r for r in records if not r["ok"]]
    if bad:
        lines.append(f"{len(bad)} run(s) failed or delivered a different copy; they do not count: "
                     + ", ".join(f"{r['ports']} {r['kind']} run {r['run']}" for r in bad))
    lines.append("Targets of many ports at once: " + ("all met" if all(checks) else "MISSED"))
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
