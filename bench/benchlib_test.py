#!/usr/bin/env python3
"""Tests of bench/benchlib.py: python3 -m unittest discover -s bench -p '*_test.py'"""

import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import benchlib  # noqa: E402

BENCHLIB = os.path.join(os.path.dirname(os.path.abspath(__file__)), "benchlib.py")
# Burns CPU seconds of its own, however busy the machine is.
BURN = "import time\nwhile time.process_time() < {}: pass\n"


class ProcessAccounting(unittest.TestCase):
    def test_stat_fields_after_a_command_name_with_spaces_and_parentheses(self):
        fields = ["S", "1"] + ["0"] * 9 + ["7", "5"] + ["0"] * 6 + ["999", "0"]
        self.assertEqual(benchlib.parse_stat("42 (a) b (c)) " + " ".join(fields)), (12, 999))

    def test_both_kinds_of_context_switch_count(self):
        status = "Name:\tx\nvoluntary_ctxt_switches:\t10\nnonvoluntary_ctxt_switches:\t3\n"
        self.assertEqual(benchlib.context_switches(status), 13)

    def test_a_reused_pid_is_not_charged(self):
        before = {7: (100, 10, 5), 8: (300, 0, 0)}
        after = {7: (200, 500, 90), 8: (300, benchlib.TICK, 4)}
        self.assertEqual(benchlib.delta(before, after), (1.0, 4))

    def test_a_grandchilds_cpu_counts(self):
        cost = benchlib.measure(["sh", "-c", f"{sys.executable} -c '{BURN.format(0.3)}'"], [])
        self.assertGreaterEqual(cost["user"] + cost["sys"], 0.25)
        self.assertEqual(cost["exit"], 0)

    def test_peak_rss_is_the_commands_own_not_pythons(self):
        touch = "x = bytearray(96 << 20)\nx[::4096] = b'1' * (len(x) // 4096)\n"
        big = benchlib.measure([sys.executable, "-c", touch], [])["rss_kb"]
        small = benchlib.measure(["true"], [])["rss_kb"]
        self.assertGreaterEqual(big, 96 * 1024)
        self.assertLess(small, 8 * 1024)

    def test_the_command_gets_no_descriptor_3(self):
        # A CUPS backend writes its back channel to descriptor 3.
        cost = benchlib.measure(["sh", "-c", "[ ! -e /dev/fd/3 ] && [ ! -e /dev/fd/4 ]"], [])
        self.assertEqual(cost["exit"], 0)

    def test_a_watched_process_is_charged_for_what_it_spends_meanwhile(self):
        with tempfile.TemporaryDirectory() as folder:
            go, done = os.path.join(folder, "go"), os.path.join(folder, "done")
            os.mkfifo(go)
            os.mkfifo(done)
            worker = subprocess.Popen([sys.executable, "-c", (
                f"open({go!r}).read()\n{BURN.format(0.3)}open({done!r}, 'w').write('x')\n")])
            try:
                cost = benchlib.measure(["sh", "-c", f"echo > {go}; cat {done} >/dev/null"],
                                        [worker.pid])
            finally:
                worker.wait()
        self.assertGreaterEqual(cost["wine_cpu"], 0.25)
        self.assertLess(cost["user"] + cost["sys"], 0.25)

    def test_wine_processes_are_known_by_program_and_prefix(self):
        with tempfile.TemporaryDirectory() as folder:
            lookalike = os.path.join(folder, "wineserver-stand-in")
            shutil.copy(shutil.which("sleep"), lookalike)
            environment = dict(os.environ, WINEPREFIX=folder)
            wine = subprocess.Popen([lookalike, "30"], env=environment)
            other = subprocess.Popen(["sleep", "30"], env=environment)
            elsewhere = subprocess.Popen([lookalike, "30"], env=dict(environment,
                                                                     WINEPREFIX=folder + "x"))
            try:
                self.assertEqual(benchlib.wine_pids(folder), [wine.pid])
            finally:
                for process in (wine, other, elsewhere):
                    process.kill()
                    process.wait()

    def test_command_line_passes_status_and_errors_through(self):
        with tempfile.NamedTemporaryFile("r") as out:
            run = subprocess.run([sys.executable, BENCHLIB, "measure", "--out", out.name, "--",
                                  "sh", "-c", "echo oops >&2; exit 3"],
                                 capture_output=True, text=True)
            cost = dict(line.strip().split("=", 1) for line in out)
        self.assertEqual(run.returncode, 3)
        self.assertEqual(run.stderr, "oops\n")
        self.assertEqual(cost["exit"], "3")
        self.assertGreater(int(cost["rss_kb"]), 0)


def run_record(label="256 MB", kind="raw", path="monitor", rate=100.0, ok=1, group="main",
               variant="v", cpu=(0.5, 0.5, 0.0), rss_kb=20000, port_ms=None, pieces=None):
    size = int(label.split()[0]) * benchlib.MB
    return {"group": group, "label": label, "bytes": size, "kind": kind, "path": path,
            "variant": variant, "run": 1, "ok": ok, "wall": size / benchlib.MB / rate,
            "user": cpu[0], "sys": cpu[1], "wine_cpu": cpu[2], "cs": 0, "rss_kb": rss_kb,
            "port_ms": port_ms, "pieces": pieces}


def full_set(monitor_raw=50.0, monitor_lpr=200.0, rss_small=20000, rss_big=20000):
    records = []
    for label, rss in (("256 MB", rss_big), ("16 MB", rss_small)):
        records += [run_record(label, "raw", "monitor", monitor_raw, rss_kb=rss),
                    run_record(label, "raw", "cups", 100.0),
                    run_record(label, "lpr", "monitor", monitor_lpr, rss_kb=rss),
                    run_record(label, "lpr", "cups", 100.0),
                    run_record(label, "sink", "socat", 400.0)]
    return records


class Report(unittest.TestCase):
    def summary(self, records, key=("main", "256 MB", "raw", "monitor", "v")):
        return benchlib.summarise(records)[key]

    def test_a_wrong_copy_never_counts_however_fast(self):
        records = [run_record(rate=100.0), run_record(rate=120.0),
                   run_record(rate=99999.0, ok=0)]
        s = self.summary(records)
        self.assertEqual((s["good"], s["runs"]), (2, 3))
        self.assertAlmostEqual(s["rate"], 110.0)
        lines, ok = benchlib.report(records)
        self.assertFalse(ok)
        self.assertIn("  256 MB raw monitor v run 1", lines)

    def test_cpu_per_gb_counts_the_wine_processes(self):
        s = self.summary([run_record(cpu=(1.0, 1.0, 2.0))])
        self.assertAlmostEqual(s["cpu"], 16.0)  # 4 CPU seconds for a quarter GB
        self.assertAlmostEqual(s["wine_cpu"], 8.0)

    def test_port_rate_and_per_piece_costs(self):
        s = self.summary([run_record(port_ms=1000.0, pieces=1000, cpu=(0.5, 0.25, 0.25))])
        self.assertAlmostEqual(s["port_rate"], 256.0)
        self.assertAlmostEqual(s["us_per_piece"], 1000.0)

    def test_ratios_against_cups_have_a_target(self):
        lines, ok = benchlib.report(full_set(monitor_raw=50.0, monitor_lpr=200.0))
        text = "\n".join(lines)
        self.assertTrue(ok)
        raw = next(line for line in lines if line.startswith("Raw  monitor / CUPS socket"))
        lpr = next(line for line in lines if line.startswith("LPR  monitor / CUPS lpd"))
        self.assertEqual(raw.split()[-4:], ["0.500", "MISSED", "0.500", "MISSED"])
        self.assertEqual(lpr.split()[-4:], ["2.000", "met", "2.000", "met"])
        self.assertIn("Targets: MISSED", text)
        self.assertIn("Targets: all met", "\n".join(benchlib.report(full_set(200.0, 200.0))[0]))

    def test_ratios_by_the_monitors_own_time_have_no_target(self):
        records = full_set(monitor_raw=50.0)
        records[0]["port_ms"] = 1000.0  # 256 MB in a second: 2.56 x CUPS socket
        lines, _ = benchlib.report(records)
        title = lines.index("Monitor timed from StartDocPort to EndDocPort (no Wine start-up):")
        raw = next(line for line in lines[title:] if line.startswith("Raw  monitor / CUPS"))
        self.assertEqual(raw.split()[-2:], ["2.560", "-"])
        self.assertEqual(sum("MISSED" in line or " met" in line for line in lines[title:]), 1)

    def test_socat_is_the_limit_for_both_kinds(self):
        lines, _ = benchlib.report(full_set(monitor_raw=100.0, monitor_lpr=200.0))
        raw = next(line for line in lines if line.startswith("Raw  monitor / socat"))
        lpr = next(line for line in lines if line.startswith("LPR  monitor / socat"))
        self.assertEqual(raw.split()[-2:], ["0.250", "0.250"])
        self.assertEqual(lpr.split()[-2:], ["0.500", "0.500"])

    def test_host_memory_must_not_grow_with_the_job(self):
        same = "\n".join(benchlib.report(full_set(rss_small=20000, rss_big=21000))[0])
        grows = "\n".join(benchlib.report(full_set(rss_small=20000, rss_big=300000))[0])
        self.assertIn("the same (within 2 MB)", same)
        self.assertIn("GROWS by 273.4 MB", grows)

    def test_a_path_without_a_verified_run_shows_no_figures(self):
        records = full_set()
        records[1]["ok"] = 0  # the only 256 MB CUPS socket run
        lines, ok = benchlib.report(records)
        row = next(line for line in lines if "CUPS socket" in line and "256 MB" in line)
        self.assertFalse(ok)
        self.assertEqual(row.split()[-5:], ["0/1", "-", "-", "-", "-"])

    def test_records_file_round_trip_and_output_file(self):
        with tempfile.TemporaryDirectory() as folder:
            tsv, out = os.path.join(folder, "r.tsv"), os.path.join(folder, "results.txt")
            with open(tsv, "w") as f:
                f.write("\t".join(benchlib.FIELDS) + "\n")
                for r in full_set():
                    f.write("\t".join("-" if r[k] is None else str(r[k])
                                      for k in benchlib.FIELDS) + "\n")
            records = benchlib.read_records(tsv)
            self.assertEqual(len(records), 10)
            self.assertIsNone(records[0]["port_ms"])
            run = subprocess.run([sys.executable, BENCHLIB, "report", tsv, out, "--header", "H"],
                                 capture_output=True, text=True)
            with open(out) as f:
                self.assertEqual(f.read(), run.stdout)
        self.assertEqual(run.returncode, 0)
        self.assertTrue(run.stdout.startswith("H\n"))


def calls_run(kind, path, variant, run, port_ms, ok=1, group="calls"):
    return dict(run_record(kind=kind, path=path, variant=variant, ok=ok, group=group,
                           port_ms=port_ms), run=run)


class Calls(unittest.TestCase):
    COUNTED = "write 4096, SendBufSize 16384"
    CHUNKED = COUNTED + ", MaxChunk 4096"

    def test_monitor_over_probe_is_taken_round_by_round(self):
        # Round 2 was a slow spell for both; round 3's probe copy was wrong.
        records = [calls_run("raw", "monitor", self.COUNTED, 1, 1000.0, group="main"),
                   calls_run("raw", "probe", self.COUNTED, 1, 1000.0),
                   calls_run("raw", "before", self.COUNTED, 1, 2000.0),
                   calls_run("raw", "monitor", self.COUNTED, 2, 4000.0, group="main"),
                   calls_run("raw", "probe", self.COUNTED, 2, 3000.0),
                   calls_run("raw", "before", self.COUNTED, 2, 8000.0),
                   calls_run("raw", "monitor", self.COUNTED, 3, 1000.0, group="main"),
                   calls_run("raw", "probe", self.COUNTED, 3, 100.0, ok=0)]
        lines, verdicts = benchlib.calls_table(records)
        row = next(line for line in lines if line.startswith("256 MB  Raw"))
        # Pairs 1.0 and 0.75, not 256 over 170.7; before 128 and 32.
        self.assertEqual(row.split()[-6:], ["256.0", "170.7", "0.875", "MISSED", "80.0", "2.00"])
        self.assertEqual(verdicts, [False])

    def test_chunked_is_set_against_counted_with_the_same_buffers(self):
        records = []
        for run in (1, 2):
            records += [calls_run("ipp", "monitor", self.COUNTED, run, 1000.0, group="main"),
                        calls_run("ipp", "probe", self.COUNTED, run, 1000.0),
                        calls_run("ipp", "monitor", self.COUNTED.replace("16384", "65536"), run,
                                  500.0),
                        calls_run("ippc", "monitor", self.CHUNKED, run, 1100.0),
                        calls_run("ippc", "probe", self.CHUNKED, run, 1050.0)]
        lines, verdicts = benchlib.calls_table(records)
        chunked = lines[lines.index(next(l for l in lines if l.startswith("Chunked IPP"))) + 1:]
        self.assertEqual(len(chunked), 1)
        self.assertIn(self.CHUNKED, chunked[0])
        self.assertEqual(chunked[0].split()[-2:], ["0.909", "met"])
        self.assertEqual(verdicts, [True, True, True])
        # A configuration without a probe run has no ratio and no verdict.
        alone = next(line for line in lines if "SendBufSize 65536" in line)
        self.assertEqual(alone.split()[-5:], ["512.0", "-", "-", "-", "-"])


class Strace(unittest.TestCase):
    SUMMARY = """% time     seconds  usecs/call     calls    errors syscall
------ ----------- ----------- --------- --------- ----------------
 47.81    2.784494          91     30591           read
 34.64    2.017344        3806       530         1 pselect6
  0.02    0.000902         451         2           clone
------ ----------- ----------- --------- --------- ----------------
100.00    5.823968          36    203960      1076 total
"""

    def test_calls_are_read_with_or_without_errors(self):
        self.assertEqual(benchlib.strace_counts(self.SUMMARY),
                         {"read": 30591, "pselect6": 530, "clone": 2})

    def test_calls_per_piece_busiest_first(self):
        lines = benchlib.strace_lines(self.SUMMARY, self.SUMMARY, 100, top=2)
        self.assertEqual(lines[0].split(None, 1)[1], "read 305.9, pselect6 5.3")


if __name__ == "__main__":
    unittest.main()
