#!/usr/bin/env python3
"""Measuring and reporting for bench/run.sh.

  benchlib.py measure --out FILE [--wine-prefix DIR] [--watch PID]... -- CMD...
      runs CMD and writes what it cost to FILE (key=value lines); exits with
      CMD's status.
  benchlib.py report RECORDS OUT [--notes FILE]
      prints the results table and writes it to OUT; exits 1 when any run
      failed or delivered a copy that differed.
  benchlib.py strace CLIENT SERVER PIECES
      per-piece system call counts from two `strace -c` summaries.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time

MB = 1 << 20
GB = 1 << 30
TICK = os.sysconf("SC_CLK_TCK")

# Record columns, one tab-separated line per run (run.sh writes them).
FIELDS = ("group", "label", "bytes", "kind", "path", "variant", "run", "ok", "wall", "user",
          "sys", "wine_cpu", "cs", "rss_kb", "port_ms", "pieces")

# How the kinds and paths are shown, in table order.
KINDS = {"raw": "Raw", "lpr": "LPR", "ipp": "IPP", "ippc": "IPPchk", "sink": "limit",
         "wine": "Wine"}
PATHS = {
    ("raw", "monitor"): "monitor -> p910nd",
    ("raw", "cups"): "CUPS socket -> p910nd",
    ("lpr", "monitor"): "monitor -> LPRng",
    ("lpr", "cups"): "CUPS lpd -> LPRng",
    ("ipp", "monitor"): "monitor -> cupsd",
    ("ippc", "monitor"): "monitor -> cupsd",
    ("ippc", "cups"): "CUPS ipp -> cupsd",
    ("sink", "socat"): "socat -> p910nd",
}
RSS_TOLERANCE_KB = 2048
# The monitor's port MB/s over the probe's for the same calls.
CALLS_TARGET = 0.9
# Chunked IPP over counted IPP, both the monitor's.
CHUNKED_TARGET = 0.9


# --- process accounting -----------------------------------------------------

def parse_stat(text):
    """(cpu ticks, start time) from the text of /proc/PID/stat."""
    # The command name may hold spaces and parentheses: fields start after
    # the last closing one.
    rest = text[text.rindex(")") + 2:].split()
    return int(rest[11]) + int(rest[12]), int(rest[19])


def context_switches(status_text):
    total = 0
    for line in status_text.splitlines():
        if line.startswith(("voluntary_ctxt_switches:", "nonvoluntary_ctxt_switches:")):
            total += int(line.split()[1])
    return total


def snapshot(pids):
    """{pid: (start, cpu ticks, context switches)} for those still alive."""
    seen = {}
    for pid in pids:
        try:
            with open(f"/proc/{pid}/stat") as f:
                cpu, start = parse_stat(f.read())
            with open(f"/proc/{pid}/status") as f:
                switches = context_switches(f.read())
        except (FileNotFoundError, ProcessLookupError, ValueError):
            continue
        seen[pid] = (start, cpu, switches)
    return seen


def delta(before, after):
    """CPU seconds and context switches spent between two snapshots by the
    processes in both (the same process: a reused pid has another start)."""
    cpu = switches = 0
    for pid, (start, cpu0, cs0) in before.items():
        if pid in after and after[pid][0] == start:
            cpu += after[pid][1] - cpu0
            switches += after[pid][2] - cs0
    return cpu / TICK, switches


def wine_pids(prefix):
    """The wineserver and resident programs (services.exe, ...) of PREFIX.
    Other processes inherit WINEPREFIX from the bench shell, so the program
    file decides too."""
    wanted = b"WINEPREFIX=" + os.fsencode(prefix)
    pids = []
    for name in os.listdir("/proc"):
        if not name.isdigit() or int(name) == os.getpid():
            continue
        try:
            exe = os.path.basename(os.readlink(f"/proc/{name}/exe"))
            with open(f"/proc/{name}/environ", "rb") as f:
                environ = f.read().split(b"\0")
        except OSError:
            continue
        if exe.startswith("wine") and wanted in environ:
            pids.append(int(name))
    return pids


RSS_TAG = "bench-peak-rss-kb "
TIME_NOTES = ("Command exited with non-zero status ", "Command terminated by signal ")


def split_peak(stderr_text):
    """The command's own error output, and the peak RSS GNU time added at
    its end (0 if missing), with time's note on how the command ended."""
    lines = stderr_text.splitlines(keepends=True)
    for i in range(len(lines) - 1, -1, -1):
        if lines[i].startswith(RSS_TAG):
            value = lines[i][len(RSS_TAG):].strip()
            start = i
            if start > 0 and lines[start - 1].startswith(TIME_NOTES):
                start -= 1
            return "".join(lines[:start] + lines[i + 1:]), int(value) if value.isdigit() else 0
    return stderr_text, 0


def measure(command, watch):
    """Runs COMMAND; its own and its waited-for descendants' costs, plus
    what the watched processes spent meanwhile."""
    # A program started straight from Python inherits Python's peak RSS
    # through the fork; GNU time is small, so the peak it reports is the
    # command's own. Not `time -o`: the command would inherit that file as
    # descriptor 3, which a CUPS backend takes for its back channel.
    # A backend passes on what a printer said, which need not be UTF-8.
    with tempfile.TemporaryFile("w+", errors="replace") as errors:
        before = snapshot(watch)
        start = time.monotonic()
        child = subprocess.Popen(["/usr/bin/time", "-f", RSS_TAG + "%M"] + command, stderr=errors)
        _, status, usage = os.wait4(child.pid, 0)
        wall = time.monotonic() - start
        child.returncode = os.waitstatus_to_exitcode(status)
        wine_cpu, wine_cs = delta(before, snapshot(watch))
        errors.seek(0)
        text, peak = split_peak(errors.read())
    sys.stderr.write(text)
    return {
        "wall": wall,
        "user": usage.ru_utime,
        "sys": usage.ru_stime,
        "rss_kb": peak,
        "cs": usage.ru_nvcsw + usage.ru_nivcsw + wine_cs,
        "wine_cpu": wine_cpu,
        "exit": child.returncode,
    }


# --- results ------------------------------------------------------------------

def read_records(path):
    records = []
    with open(path) as f:
        for line in f:
            values = line.rstrip("\n").split("\t")
            if not line.strip() or values[0] == FIELDS[0]:
                continue
            record = dict(zip(FIELDS, values))
            for key in ("bytes", "run", "ok", "rss_kb"):
                record[key] = int(record[key])
            for key in ("wall", "user", "sys", "wine_cpu", "cs", "port_ms", "pieces"):
                record[key] = None if record[key] in ("", "-") else float(record[key])
            records.append(record)
    return records


def rate(record):
    return record["bytes"] / MB / record["wall"]


def port_rate(record):
    ms = record["port_ms"]
    return record["bytes"] / MB / (ms / 1000) if ms else None


def cpu_per_gb(record):
    return (record["user"] + record["sys"] + record["wine_cpu"]) / (record["bytes"] / GB)


def median(values):
    values = [v for v in values if v is not None]
    return statistics.median(values) if values else None


def summarise(records):
    """One summary per (group, label, kind, path, variant), over verified
    runs only."""
    groups = {}
    for r in records:
        groups.setdefault((r["group"], r["label"], r["kind"], r["path"], r["variant"]),
                          []).append(r)
    summaries = {}
    for key, runs in groups.items():
        good = [r for r in runs if r["ok"]]
        summaries[key] = {
            "runs": len(runs),
            "good": len(good),
            "rate": median(rate(r) for r in good),
            "port_rate": median(port_rate(r) for r in good),
            "cpu": median(cpu_per_gb(r) for r in good),
            "wine_cpu": median(r["wine_cpu"] / (r["bytes"] / GB) for r in good),
            "rss_kb": max((r["rss_kb"] for r in good), default=None),
            "us_per_piece": median((r["user"] + r["sys"] + r["wine_cpu"]) * 1e6 / r["pieces"]
                                   for r in good if r["pieces"]),
            "cs_per_piece": median(r["cs"] / r["pieces"] for r in good
                                   if r["pieces"] and r["cs"] is not None),
        }
    return summaries


def fmt(value, digits=1):
    return "-" if value is None else f"{value:.{digits}f}"


def ratio(numerator, denominator):
    if numerator is None or not denominator:
        return None
    return numerator / denominator


def label_order(labels):
    return sorted(labels, key=lambda label: -float(label.split()[0]))


def main_paths(summaries):
    """{(label, kind, path): summary} of the main runs."""
    return {(label, kind, path): s for (group, label, kind, path, _), s in summaries.items()
            if group == "main"}


def main_table(summaries):
    lines = [f"{'size':<8}{'kind':<7}{'path':<24}{'runs':>5}{'MB/s':>9}{'port MB/s':>11}"
             f"{'CPU s/GB':>10}{'peak RSS MB':>13}"]
    labels = label_order({key[0] for key in summaries})
    for label in labels:
        for (kind, path), name in PATHS.items():
            s = summaries.get((label, kind, path))
            if s is None:
                continue
            rss = None if s["rss_kb"] is None else s["rss_kb"] / 1024
            runs = f"{s['good']}/{s['runs']}"
            lines.append(f"{label:<8}{KINDS[kind]:<7}{name:<24}{runs:>5}{fmt(s['rate']):>9}"
                         f"{fmt(s['port_rate']):>11}{fmt(s['cpu'], 2):>10}"
                         f"{fmt(rss):>13}")
    return lines, labels


def ratio_table(summaries, labels):
    """Monitor over CUPS and over socat, by median MB/s; the CUPS ratios
    have a target of 1.0. The same again with the monitor timed from
    StartDocPort to EndDocPort: a real spooler does not start Wine per job."""
    lines = [f"{'':<48}" + "".join(f"{label:>16}" for label in labels)]
    verdicts = []
    rows = (("raw", "raw", "cups", "Raw  monitor / CUPS socket", 1.0),
            ("raw", "sink", "socat", "Raw  monitor / socat", None),
            ("lpr", "lpr", "cups", "LPR  monitor / CUPS lpd", 1.0),
            ("lpr", "sink", "socat", "LPR  monitor / socat", None),
            # The ipp backend always sends chunked: both bodies against it.
            ("ipp", "ippc", "cups", "IPP counted monitor / CUPS ipp", 1.0),
            ("ippc", "ippc", "cups", "IPP chunked monitor / CUPS ipp", 1.0))
    for measure, title in (("rate", None), ("port_rate", "Monitor timed from StartDocPort "
                                                        "to EndDocPort (no Wine start-up):")):
        if title:
            lines.append(title)
        for kind, other_kind, other, name, target in rows:
            target = target if measure == "rate" else None
            if target is not None:
                name += f" (target >= {target:.1f})"
            cells = ""
            for label in labels:
                mine = summaries.get((label, kind, "monitor"), {}).get(measure)
                theirs = summaries.get((label, other_kind, other), {}).get("rate")
                value = ratio(mine, theirs)
                cell = fmt(value, 3)
                if target is not None and value is not None:
                    met = value >= target
                    cell += " met" if met else " MISSED"
                    verdicts.append(met)
                cells += f"{cell:>16}"
            lines.append(f"{name:<48}{cells}")
    return lines, verdicts


def rss_lines(summaries, labels):
    """The monitor streams through a fixed buffer: the host's peak RSS must
    not grow with the job."""
    peaks = {}
    for label in labels:
        values = [summaries.get((label, kind, "monitor"), {}).get("rss_kb")
                  for kind in ("raw", "lpr", "ipp", "ippc")]
        values = [v for v in values if v is not None]
        if values:
            peaks[label] = max(values)
    if len(peaks) < 2:
        return ["vexaspool.exe peak RSS: not enough verified monitor runs to compare"]
    text = ", ".join(f"{label} job {kb / 1024:.1f} MB" for label, kb in peaks.items())
    spread = max(peaks.values()) - min(peaks.values())
    verdict = ("the same (within 2 MB): the job streams through a fixed buffer"
               if spread <= RSS_TOLERANCE_KB else
               f"GROWS by {spread / 1024:.1f} MB with the job")
    return [f"vexaspool.exe peak RSS: {text}: {verdict}"]


def sweep_table(summaries):
    """The monitor's main runs beside its other settings and Wine alone."""
    summaries = {key: s for key, s in summaries.items() if key[0] != "calls"}
    if not any(key[0] != "main" for key in summaries):
        return []
    kinds = list(KINDS)
    rows = [(key[1:], s) for key, s in summaries.items()
            if key[0] != "main" or key[3] == "monitor"]
    # By kind, then size, then in the order they ran.
    rows = [row for _, row in sorted(enumerate(rows), key=lambda item: (
        kinds.index(item[1][0][1]), -float(item[1][0][0].split()[0]), item[0]))]
    lines = [f"{'size':<8}{'kind':<6}{'what':<40}{'MB/s':>8}{'port MB/s':>11}{'CPU s/GB':>10}"
             f"{'of it Wine':>11}{'CPU us/piece':>14}{'switches/piece':>16}"]
    for (label, kind, path, variant), s in rows:
        what = variant if s["good"] == s["runs"] else f"{variant} ({s['good']}/{s['runs']} ok)"
        lines.append(f"{label:<8}{KINDS[kind]:<6}{what:<40}{fmt(s['rate']):>8}"
                     f"{fmt(s['port_rate']):>11}{fmt(s['cpu'], 2):>10}{fmt(s['wine_cpu'], 2):>11}"
                     f"{fmt(s['us_per_piece']):>14}{fmt(s['cs_per_piece']):>16}")
    return lines


def paired_ratio(records, top, bottom):
    """Median over the rounds of top's port MB/s over bottom's, each
    (kind, path, variant), in the rounds where both delivered their copy."""
    rounds = {}
    for r in records:
        for name, (kind, path, variant) in (("top", top), ("bottom", bottom)):
            if (r["group"] in ("main", "calls") and r["ok"] and r["kind"] == kind
                    and r["path"] == path and r["variant"] == variant):
                rounds.setdefault((r["label"], r["run"]), {})[name] = port_rate(r)
    by_label = {}
    for (label, _), pair in rounds.items():
        if pair.get("top") and pair.get("bottom"):
            by_label.setdefault(label, []).append(pair["top"] / pair["bottom"])
    return {label: median(values) for label, values in by_label.items()}


def verdict(value, target):
    if value is None:
        return "-", None
    met = value >= target
    return f"{value:.3f} {'met' if met else 'MISSED'}", met


def calls_table(records):
    """Each configuration of the monitor beside probe.exe making the same
    calls and, where measured, an older build's monitor; then chunked IPP
    beside counted IPP. Rates: StartDocPort to EndDocPort for the monitors,
    the probe's own job for the probe."""
    configs = []
    for r in records:
        key = (r["kind"], r["variant"])
        if r["group"] in ("main", "calls") and r["path"] == "monitor" and key not in configs:
            configs.append(key)
    if not configs:
        return [], []
    summaries = summarise([r for r in records if r["group"] in ("main", "calls")])
    rates = {}
    for (_, label, kind, path, variant), s in summaries.items():
        rates[(label, kind, path, variant)] = s["port_rate"]
    labels = label_order({label for label, *_ in rates})
    lines = [f"{'size':<8}{'kind':<7}{'configuration':<48}{'monitor':>8}{'probe':>8}"
             f"{'monitor/probe':>16}{'before':>8}{'now/before':>12}"]
    verdicts = []
    for kind, variant in configs:
        calls = paired_ratio(records, (kind, "monitor", variant), (kind, "probe", variant))
        gain = paired_ratio(records, (kind, "monitor", variant), (kind, "before", variant))
        for label in labels:
            mine = rates.get((label, kind, "monitor", variant))
            if mine is None:
                continue
            cell, met = verdict(calls.get(label), CALLS_TARGET)
            if met is not None:
                verdicts.append(met)
            lines.append(f"{label:<8}{KINDS[kind]:<7}{variant:<48}{fmt(mine):>8}"
                         f"{fmt(rates.get((label, kind, 'probe', variant))):>8}{cell:>16}"
                         f"{fmt(rates.get((label, kind, 'before', variant))):>8}"
                         f"{fmt(gain.get(label), 2):>12}")
    lines += ["", f"Chunked IPP over counted IPP, the monitor's, same rounds (target >= "
                  f"{CHUNKED_TARGET:.1f} on the largest job; a chunked job waits 50 ms more, which"
                  f" weighs on small ones):"]
    for kind, variant in configs:
        if kind != "ippc":
            continue
        counted = variant[:variant.rindex(", MaxChunk")]
        ratios = paired_ratio(records, ("ippc", "monitor", variant), ("ipp", "monitor", counted))
        for label in labels:
            if label not in ratios:
                continue
            cell, met = verdict(ratios[label], CHUNKED_TARGET)
            if label == labels[0]:
                verdicts.append(met)
            else:
                cell = fmt(ratios[label], 3)
            lines.append(f"{label:<8}{'':<7}{variant:<48}{cell:>16}")
    return lines, verdicts


def report(records, header=(), notes=()):
    summaries = summarise(records)
    main = main_paths(summaries)
    table, labels = main_table(main)
    ratios, verdicts = ratio_table(main, labels)
    lines = list(header) + [""] + table + [""] + ratios + [""] + rss_lines(main, labels)
    calls, calls_verdicts = calls_table(records)
    if calls:
        lines += ["", f"The monitor against Wine making the same calls (probe.exe; target >= "
                      f"{CALLS_TARGET:.1f}), port MB/s:"] + calls
    sweep = sweep_table(summaries)
    if sweep:
        lines += ["", "Where the time goes (one configuration per line):"] + sweep
    lines += list(notes)
    bad = [r for r in records if not r["ok"]]
    if bad:
        lines += ["", f"{len(bad)} run(s) failed or delivered a different copy; they do not count:"]
        lines += [f"  {r['label']} {r['kind']} {r['path']} {r['variant']} run {r['run']}"
                  for r in bad]
    if verdicts:
        lines += ["", "Targets: " + ("all met" if all(verdicts) else "MISSED")]
    if calls_verdicts:
        lines += ["Own cost targets (monitor / probe, chunked / counted): " +
                  ("all met" if all(calls_verdicts) else "MISSED")]
    return lines, not bad


# --- strace summaries -----------------------------------------------------------

def strace_counts(text):
    """{syscall: calls} from a `strace -c` summary."""
    counts = {}
    for line in text.splitlines():
        parts = line.split()
        if len(parts) >= 5 and parts[0].replace(".", "", 1).isdigit() and parts[-1] != "total":
            try:
                counts[parts[-1]] = int(parts[3])
            except ValueError:
                continue
    return counts


def strace_lines(client, server, pieces, top=6):
    lines = []
    for who, text in (("vexaspool.exe", client), ("wineserver", server)):
        counts = strace_counts(text)
        busiest = sorted(counts.items(), key=lambda item: -item[1])[:top]
        lines.append(f"  {who:<14}" + ", ".join(f"{name} {calls / pieces:.1f}"
                                                for name, calls in busiest))
    return lines


# --- command line ------------------------------------------------------------------

def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    m = commands.add_parser("measure")
    m.add_argument("--out", required=True)
    m.add_argument("--wine-prefix")
    m.add_argument("--watch", type=int, action="append", default=[])
    m.add_argument("argv", nargs="+", metavar="COMMAND")
    r = commands.add_parser("report")
    r.add_argument("records")
    r.add_argument("out")
    r.add_argument("--header", action="append", default=[])
    r.add_argument("--notes")
    s = commands.add_parser("strace")
    s.add_argument("client")
    s.add_argument("server")
    s.add_argument("pieces", type=int)
    args = parser.parse_args(argv)

    if args.command == "measure":
        watch = list(args.watch)
        if args.wine_prefix:
            watch += wine_pids(args.wine_prefix)
        result = measure(args.argv, watch)
        with open(args.out, "w") as f:
            for key, value in result.items():
                f.write(f"{key}={value}\n")
        return result["exit"] & 0xFF
    if args.command == "report":
        notes = []
        if args.notes and os.path.exists(args.notes):
            with open(args.notes) as f:
                notes = [""] + f.read().rstrip("\n").splitlines()
        lines, ok = report(read_records(args.records), args.header, notes)
        text = "\n".join(lines) + "\n"
        sys.stdout.write(text)
        with open(args.out, "w") as f:
            f.write(text)
        return 0 if ok else 1
    with open(args.client) as c, open(args.server) as s:
        print("\n".join(strace_lines(c.read(), s.read(), args.pieces)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
