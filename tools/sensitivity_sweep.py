#!/usr/bin/python3
"""The sensitivity measurements in real-world noise, by hand (not in CI):

  table  SNR x duration x noise kind x generator, a few seeds per cell: correct / false
  false  hours of each kind of noise with no ident: every identification is false

Recordings come from `sorvantel-cli synth` ("synth") and from tools/independent_synth.py
("independent"), are analysed with `sorvantel-cli analyse --json` and judged against the truth.
Raw results go to a JSON-lines file, one object per recording; a run that is stopped and
started again with the same file skips what it holds. The tables are markdown for
docs/sensitivity.md (`report` prints them again from a results file).

Examples:
  nice tools/sensitivity_sweep.py table --kinds white,crashes --minutes 10,40 --snrs -18,-21,-24
  tools/sensitivity_sweep.py false --hours 20 --kinds white,impulsive,drifting,carriers --jobs 2
  tools/sensitivity_sweep.py report sweep-table.jsonl
"""

import argparse
import concurrent.futures
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
LINE_HZ = 15.625  # the spacing of the spectrogram's lines on the default band

# ident, tone (Hz), period (s), wpm: 1 to 4 characters, one with a digit, 6 to 10 wpm, periods
# 6 to 15 s, tones over the default range 900..1100 Hz: 905 at its lower edge (a line below
# the range's first), 1023.4 between two lines. No ident of a single key-down (E, T): those
# are never accepted, their speed cannot be told from their length.
IDENTS = [
    ("DGU", 1015.0, 8.0, 8.0),
    ("AB", 1023.4, 6.0, 6.0),
    ("K7X", 947.0, 10.5, 7.0),
    ("RAMS", 1090.0, 15.0, 6.0),
    ("SN", 905.0, 7.0, 8.0),
    ("YQ", 1062.5, 9.0, 10.0),
    ("OHM", 980.5, 12.0, 9.0),
    ("K", 1040.0, 6.5, 7.0),
]

# The kinds of noise: for each generator, the options beyond the ident(s), as a function of
# the ident's (tone, SNR) and the seed. Levels are over the background noise.
KINDS = ["white", "impulsive", "drifting", "coloured", "carrier", "crashes", "qsb-deep", "qsb-random", "neighbour"]
# With no ident: "carriers" are several steady ones at once.
FALSE_KINDS = ["white", "impulsive", "drifting", "coloured", "carriers", "crashes"]
KIND_TEXT = {
    "white": "white noise",
    "impulsive": "man-made clicks: 20 a second, 10-20 dB over the noise, 1 ms (ours) or damped oscillations (independent)",
    "drifting": "noise floor ramping by 10 dB over the recording, plus a 2 dB slow wander",
    "coloured": "noise tilted -3 dB/octave (pink) with 50 Hz hum, the fundamental 10 dB over the noise in 2500 Hz",
    "carrier": "a steady carrier 30 dB over the noise (SNR in 2500 Hz), 30-100 Hz from the ident",
    "crashes": "static crashes: 3 a second, 20-30 dB over the noise, a few ms each",
    "qsb-deep": "deep slow fade: 12 dB down and back over 10 minutes",
    "qsb-random": "random slow fading of 7 dB standard deviation, minutes long",
    "neighbour": "a second beacon 10 dB stronger, 70-150 Hz away, at another period",
}


def carrier_offset(seed):
    """30..100 Hz above or below, fixed by the seed."""
    return (30.0 + (seed * 37) % 71) * (1 if seed % 2 else -1)


def neighbour_of(index, seed):
    """Another of the idents, 70..150 Hz from the first, at a different period."""
    ident, tone, period, wpm = IDENTS[(index + 3) % len(IDENTS)]
    if period == IDENTS[index][2]:
        period += 1.5
    away = 70.0 + (seed * 53) % 81
    own = IDENTS[index][1]
    # Inside the default tone range 900..1100 Hz when it can be: on the side with more room,
    # no further than that room allows, but never nearer than 70 Hz.
    up, down = 1100.0 - own, own - 900.0
    away = max(70.0, min(away, max(up, down)))
    other = own + away if (up >= away or up >= down) else own - away
    return ident, other, period, wpm


def synth_command(cli, kind, case, snr, minutes, seed, out):
    ident, tone, period, wpm = case[:4]
    cmd = [cli, "synth", "--ident", ident, "--tone", str(tone), "--period", str(period), "--wpm", str(wpm),
           "--offset", str(0.5 + (seed * 1.7) % period * 0.5)] if ident else [cli, "synth"]
    cmd += ["--snr", str(snr), "--minutes", str(minutes), "--seed", str(seed)]
    if kind == "impulsive":
        cmd += ["--crashes", "20", "--crash-level", "15", "--crash-spread", "10", "--crash-ms", "1"]
    elif kind == "drifting":
        cmd += ["--noise-drift", "10", "--noise-wander", "2"]
    elif kind == "coloured":
        cmd += ["--noise-tilt", "-3", "--hum", "50", "--hum-level", "10"]
    elif kind in ("carrier", "carriers"):
        # With no ident (the false run), several: one 30 dB over the noise, one between two
        # lines, and a beating pair whose swell lies in the range of ident periods.
        if ident:
            cmd += ["--steady", str(tone + carrier_offset(seed)), "--steady-level", str(30 - snr)]
        else:
            cmd += ["--steady", "950", "--steady-level", "30", "--steady", "1031.25", "--steady-level", "6",
                    "--steady", "1070.3", "--steady-level", "0", "--steady", "1070.4", "--steady-level", "0"]
    elif kind == "crashes":
        cmd += ["--crashes", "3", "--crash-level", "25", "--crash-spread", "10", "--crash-ms", "5"]
    elif kind == "qsb-deep":
        cmd += ["--fade-depth", "12", "--fade-period", "600"]
    elif kind == "qsb-random":
        cmd += ["--qsb", "7", "--qsb-time", "180"]
    elif kind == "neighbour":
        n_ident, n_tone, n_period, n_wpm = case[4]
        cmd += ["--ident", n_ident, "--tone", str(n_tone), "--period", str(n_period), "--wpm", str(n_wpm),
                "--level", "10"]
    return cmd + [out]


def independent_command(kind, case, snr, minutes, seed, out):
    ident, tone, period, wpm = case[:4]
    cmd = [os.path.join(HERE, "independent_synth.py"), out, "--minutes", str(minutes), "--seed", str(seed)]
    if ident:
        cmd += ["--ident", f"{ident}:{tone}:{period}:{wpm}:{snr}"]
    if kind == "impulsive":
        cmd += ["--crashes", "20", "--crash-db", "10:20"]
    elif kind == "drifting":
        cmd += ["--drift-db", "10", "--wander-db", "2"]
    elif kind == "coloured":
        cmd += ["--tilt", "-3", "--hum", "50", "--hum-db", "10"]
    elif kind in ("carrier", "carriers"):
        if ident:
            cmd += ["--carrier", f"{tone + carrier_offset(seed)}:30"]
        else:
            cmd += ["--carrier", "950:30", "--carrier", "1031.25:6", "--carrier", "1070.3:0", "--carrier", "1070.4:0"]
    elif kind == "crashes":
        cmd += ["--crashes", "3", "--crash-db", "20:30"]
    elif kind == "qsb-deep":
        cmd += ["--deep-fade-db", "12", "--deep-fade-minutes", "10"]
    elif kind == "qsb-random":
        cmd += ["--qsb-db", "7", "--qsb-minutes", "3"]
    elif kind == "neighbour":
        n_ident, n_tone, n_period, n_wpm = case[4]
        cmd += ["--ident", f"{n_ident}:{n_tone}:{n_period}:{n_wpm}:{snr + 10}"]
    return cmd


def parse_identifications(stdout):
    """Every JSON object on stdout; other lines are ignored."""
    found = []
    for line in stdout.splitlines():
        line = line.strip()
        if not line.startswith("{"):
            continue
        try:
            obj = json.loads(line)
        except ValueError:
            continue
        if isinstance(obj, dict) and "ident" in obj:
            found.append(obj)
    return found


def on_its_line(report, tone):
    """The report sits on the tone's line: its measured tone when the output has one, or
    else a line label within two lines below the tone (the producer's lines carry a tone a
    line above their label)."""
    measured = report.get("tone_hz")
    if isinstance(measured, (int, float)):
        return abs(measured - tone) <= LINE_HZ / 2
    label = report.get("offset_hz")
    if not isinstance(label, (int, float)):
        return True
    return tone - 2 * LINE_HZ <= label <= tone + 0.5


def judge(reports, expected):
    """expected: [(ident, tone, period)], the first the one measured. Returns (correct,
    duplicates, false, others_ok): correct 1 when the first is reported at its period on its
    line; other expected beacons must each be reported once on their own line."""
    seen = [0] * len(expected)
    false = 0
    for r in reports:
        period = r.get("period_s")
        matched = False
        for i, (ident, tone, p) in enumerate(expected):
            if r.get("ident") == ident and isinstance(period, (int, float)) and abs(period - p) <= max(0.05, 0.005 * p):
                if on_its_line(r, tone):
                    seen[i] += 1
                    matched = True
                break
        if not matched:
            false += 1
    correct = 1 if expected and seen[0] > 0 else 0
    duplicates = sum(max(0, s - 1) for s in seen)
    others_ok = all(s == 1 for s in seen[1:])
    return correct, duplicates, false, others_ok


class Runner:
    def __init__(self, args):
        self.args = args
        self.lock = threading.Lock()
        self.done = {}
        if os.path.exists(args.results):
            with open(args.results) as f:
                for line in f:
                    try:
                        r = json.loads(line)
                        self.done[r["id"]] = r
                    except (ValueError, KeyError):
                        pass
        if args.work:
            os.makedirs(args.work, exist_ok=True)
        self.work = tempfile.mkdtemp(prefix="sorvantel-sweep-", dir=args.work)

    def analyse(self, wav, gain):
        cmd = [self.args.cli, "analyse", "--json", "--detector", self.args.detector]
        if gain is not None:
            cmd += ["--gain", f"{gain:.2f}"]
        cmd += self.args.analyse_args.split() + [wav]
        p = subprocess.run(cmd, capture_output=True, text=True)
        return p.returncode, parse_identifications(p.stdout), p.stderr.strip().splitlines()[-3:]

    def run_one(self, job):
        if job["id"] in self.done:
            return self.done[job["id"]]
        wav = os.path.join(self.work, job["id"].replace("/", "_") + ".wav")
        started = time.time()
        if job["generator"] == "synth":
            cmd = synth_command(self.args.cli, job["kind"], job["case"], job["snr"], job["minutes"], job["seed"], wav)
        else:
            cmd = independent_command(job["kind"], job["case"], job["snr"], job["minutes"], job["seed"], wav)
        made = subprocess.run(cmd, capture_output=True, text=True)
        result = dict(job)
        if made.returncode != 0:
            result.update(error="generator failed: " + made.stderr.strip()[-300:])
        else:
            gain = None
            if job["generator"] == "independent":
                with open(wav[:-4] + ".json") as f:
                    gain = json.load(f)["gain_db"]
            status, reports, tail = self.analyse(wav, gain)
            expected = job["expected"]
            correct, dup, false, others = judge(reports, [tuple(e) for e in expected])
            result.update(status=status, reports=reports, correct=correct, duplicates=dup, false=false,
                          others_ok=others, stderr_tail=tail)
        for path in (wav, wav[:-4] + ".json"):
            if os.path.exists(path):
                os.remove(path)
        result["seconds_taken"] = round(time.time() - started, 1)
        with self.lock:
            with open(self.args.results, "a") as f:
                f.write(json.dumps(result) + "\n")
            self.done[job["id"]] = result
            n = len(self.done)
        sys.stderr.write(f"[{n}] {job['id']}: " + (result.get("error") or
                         f"correct {result['correct']} false {result['false']} dup {result['duplicates']}") +
                         f" ({result['seconds_taken']} s)\n")
        return result

    def run(self, jobs):
        try:
            with concurrent.futures.ThreadPoolExecutor(max_workers=self.args.jobs) as pool:
                return list(pool.map(self.run_one, jobs))
        finally:
            try:
                os.rmdir(self.work)
            except OSError:
                pass


def table_jobs(args):
    jobs = []
    for gi, generator in enumerate(args.generators):
        for ki, kind in enumerate(args.kinds):
            for minutes in args.minutes:
                for snr in args.snrs:
                    for seed in range(1, args.seeds + 1):
                        # Each seed of a cell a different ident; over the SNRs every ident.
                        index = int(seed - 1 + ki + abs(snr) + minutes // 10) % len(IDENTS)
                        case = list(IDENTS[index])
                        ident, tone, period, _ = case
                        expected = [(ident, tone, period)]
                        if kind == "neighbour":
                            case.append(neighbour_of(index, seed))
                            expected.append(tuple(case[4][:3]))
                        rec_seed = seed + 100 * gi
                        jobs.append({"id": f"table/{generator}/{kind}/{minutes:g}/{snr:g}/{seed}", "mode": "table",
                                     "generator": generator, "kind": kind, "minutes": minutes, "snr": snr,
                                     "seed": rec_seed, "case": case, "expected": expected})
    return jobs


def false_jobs(args):
    jobs = []
    chunks = max(1, int(round(args.hours * 60 / args.chunk_minutes)))
    for generator in args.generators:
        for kind in args.kinds:
            for c in range(chunks):
                jobs.append({"id": f"false/{generator}/{kind}/{c}", "mode": "false", "generator": generator,
                             "kind": kind, "minutes": args.chunk_minutes, "snr": 0, "seed": 1000 + c,
                             "case": [None, 0, 0, 0], "expected": []})
    return jobs


def cell_text(rows):
    n = len(rows)
    if any("error" in r for r in rows):
        return "error"
    c = sum(r["correct"] for r in rows)
    f = sum(r["false"] for r in rows)
    d = sum(r["duplicates"] for r in rows)
    text = f"{c}/{n}"
    if f:
        text += f", {f} false"
    if d:
        text += f", {d} dup"
    if any(r["kind"] == "neighbour" and not r["others_ok"] for r in rows):
        bad = sum(1 for r in rows if not r["others_ok"])
        text += f", strong one wrong {bad}x"
    return text


def report_table(results):
    rows = [r for r in results if r.get("mode") == "table"]
    out = []
    for generator in sorted({r["generator"] for r in rows}):
        for kind in [k for k in KINDS if any(r["kind"] == k and r["generator"] == generator for r in rows)]:
            sel = [r for r in rows if r["generator"] == generator and r["kind"] == kind]
            minutes = sorted({r["minutes"] for r in sel})
            snrs = sorted({r["snr"] for r in sel}, reverse=True)
            out.append(f"### {kind} ({generator}): {KIND_TEXT[kind]}\n")
            out.append("| SNR (dB in 2500 Hz) | " + " | ".join(f"{m:g} min" for m in minutes) + " |")
            out.append("|---|" + "---|" * len(minutes))
            for snr in snrs:
                cells = []
                for m in minutes:
                    cell = [r for r in sel if r["minutes"] == m and r["snr"] == snr]
                    cells.append(cell_text(cell) if cell else "")
                out.append(f"| {snr:g} | " + " | ".join(cells) + " |")
            # The lowest SNR at which every seed was correct, with nothing false, per length.
            best = []
            for m in minutes:
                ok = [s for s in snrs if all(r["correct"] and not r["false"] for r in sel if r["minutes"] == m
                                             and r["snr"] == s) and any(r["minutes"] == m and r["snr"] == s for r in sel)]
                best.append(f"{m:g} min: {min(ok):g} dB" if ok else f"{m:g} min: none")
            out.append("\nCorrect in every seed down to: " + ", ".join(best) + "\n")
    return "\n".join(out)


def report_false(results):
    rows = [r for r in results if r.get("mode") == "false"]
    if not rows:
        return ""
    out = ["| Noise | Generator | Length | Recordings | Identifications |", "|---|---|---|---|---|"]
    for generator in sorted({r["generator"] for r in rows}):
        for kind in sorted({r["kind"] for r in rows if r["generator"] == generator}):
            sel = [r for r in rows if r["generator"] == generator and r["kind"] == kind and "error" not in r]
            hours = sum(r["minutes"] for r in sel) / 60
            found = sum(len(r["reports"]) for r in sel)
            out.append(f"| {kind} | {generator} | {hours:.1f} h | {len(sel)} | {found} |")
    errors = [r for r in rows if "error" in r]
    if errors:
        out.append(f"\n{len(errors)} recordings failed: {errors[0]['error']}")
    idents = [(r["id"], x.get("ident"), x.get("period_s"), x.get("offset_hz")) for r in rows for x in r.get("reports", [])]
    for i in idents:
        out.append(f"- {i[0]}: {i[1]} at {i[2]} s, line {i[3]} Hz")
    return "\n".join(out)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("mode", choices=["table", "false", "report"])
    p.add_argument("results_file", nargs="?", help="for report: the results to print")
    p.add_argument("--cli", default=os.environ.get("CLI", os.path.join(ROOT, "build/src/cli/sorvantel-cli")))
    p.add_argument("--detector", default="sensitive")
    p.add_argument("--analyse-args", default="", help="more options for analyse, e.g. \"--tone-min 890\"")
    p.add_argument("--generators", default="synth,independent")
    p.add_argument("--kinds", default=None, help="table: " + ",".join(KINDS) + " (all); false: " +
                   ",".join(FALSE_KINDS) + " (white,impulsive,drifting,carriers)")
    p.add_argument("--minutes", default="10,40,120")
    p.add_argument("--snrs", default="-18,-21,-24,-27,-30")
    p.add_argument("--seeds", type=int, default=3)
    p.add_argument("--hours", type=float, default=20.0, help="false: hours of each kind")
    p.add_argument("--chunk-minutes", type=float, default=120.0, help="false: minutes per recording")
    p.add_argument("--jobs", type=int, default=int(os.environ.get("JOBS", "2")))
    p.add_argument("--nice", type=int, default=10)
    p.add_argument("--results", default=None, help="JSON lines of raw results (default sweep-MODE.jsonl)")
    p.add_argument("--work", default=None, help="folder for the recordings (a 2 h 16-bit file is 1.3 GB)")
    args = p.parse_args()

    if args.mode == "report":
        if not args.results_file:
            p.error("report needs a results file")
        with open(args.results_file) as f:
            results = [json.loads(line) for line in f if line.strip()]
        print(report_table(results))
        print(report_false(results))
        return 0

    args.generators = [g for g in args.generators.split(",") if g]
    for g in args.generators:
        if g not in ("synth", "independent"):
            p.error(f"unknown generator {g}")
    default_kinds = KINDS if args.mode == "table" else ["white", "impulsive", "drifting", "carriers"]
    args.kinds = args.kinds.split(",") if args.kinds else default_kinds
    allowed = KINDS if args.mode == "table" else FALSE_KINDS
    for k in args.kinds:
        if k not in allowed:
            p.error(f"unknown noise kind {k} for {args.mode}: one of " + ",".join(allowed))
    args.minutes = [float(m) for m in args.minutes.split(",")]
    args.snrs = [float(s) for s in args.snrs.split(",")]
    args.results = args.results or f"sweep-{args.mode}.jsonl"
    if not os.access(args.cli, os.X_OK):
        p.error(f"no {args.cli}: build sorvantel-cli first, or give --cli")
    if args.nice:
        os.nice(args.nice)

    runner = Runner(args)
    jobs = table_jobs(args) if args.mode == "table" else false_jobs(args)
    sys.stderr.write(f"{len(jobs)} recordings, {len([j for j in jobs if j['id'] in runner.done])} already done; "
                     f"results in {args.results}\n")
    results = runner.run(jobs)
    print(report_table(results) if args.mode == "table" else report_false(results))
    return 0


if __name__ == "__main__":
    sys.exit(main())
