#!/usr/bin/python3
"""Receiver recordings from a generator that shares nothing with `sorvantel-cli synth`.

The detector must not be tuned to one synthesiser's habits, so this one makes its own choices
everywhere: its own Morse table (the dichotomic tree), keying with a dash weight and soft
key edges (the keyed envelope convolved with a Hann window), a random start in the first
period, 16-bit stereo at 44100 Hz with the noise at -30 dBFS (as an SDR program writes a
demodulated channel at a moderate level), its own noise kinds:

  impulsive  lightning crashes: clusters of one to four strokes, each a damped oscillation
             at a random frequency, at a level over the noise (rms of a stroke's first
             millisecond over the noise rms), a Poisson number a second
  drifting   the noise level ramps linearly in dB from the start to the end, plus an optional
             slow wander (a sum of slow sinusoids)
  coloured   white noise through a long FIR filter of a slope in dB per octave (40 Hz..12 kHz),
             and optional mains hum (50/60 Hz with odd and even harmonics)
  carrier    steady carriers at an SNR of their own
  fading     random slow fading (QSB) of each ident: a sum of slow random sinusoids in dB with
             a standard deviation, normalised so that the mean power is the unfaded power; and
             a deep fade: down by a number of dB and back over some minutes, once

Levels: an SNR is the signal's power over the noise power in 2500 Hz around its tone, where the
noise power is the mean over the recording (so a drifting floor has the stated SNR on average)
of the background noise (crashes, hum and carriers are not counted).

The truth (idents, tones, periods, SNRs, the noise, and the gain that brings the noise to
16 counts of 8 bits unless strong carriers would then clip: `sorvantel-cli analyse --gain G`)
is printed as JSON and written beside the WAV as OUT.json.

Example: 30 minutes with three crashes a second and a carrier 30 dB above the noise:
  tools/independent_synth.py out.wav --minutes 30 --ident K7X:1012:9.5:7:-15 \\
      --crashes 3 --crash-db 20:30 --carrier 1060:30
"""

import argparse
import json
import math
import sys
import wave

import numpy as np

RATE = 44100
NOISE_DBFS = -30.0
FIR_TAPS = 4095
CHUNK = (1 << 20) - (FIR_TAPS - 1)  # samples per step (about 24 s): fills a 2^20-point FFT

# Morse by the dichotomic tree: a letter's place in the breadth-first tree (dot to the left,
# dash to the right) spells its code. Digits follow their rule: n dots then dashes, or dashes
# then dots, five elements in all.
_TREE = "**ETIANMSURWDKGOHVF*L*PJBXCYZQ**"


def morse(char):
    char = char.upper()
    if char.isdigit():
        n = int(char)
        return "." * n + "-" * (5 - n) if n <= 5 else "-" * (n - 5) + "." * (10 - n)
    index = _TREE.find(char)
    if index < 2:
        return None
    code = ""
    while index > 1:
        code = ("." if index % 2 == 0 else "-") + code
        index //= 2
    return code


def keying(text, wpm, weight):
    """Key-down intervals (seconds from the ident's start) and the ident's length."""
    dot = 1.2 / wpm
    marks, t = [], 0.0
    for li, char in enumerate(c for c in text if not c.isspace()):
        code = morse(char)
        if code is None:
            raise SystemExit(f"no Morse for {char!r} in {text!r}")
        if li:
            t += 2 * dot  # three dots between letters: one already follows every element
        for element in code:
            length = dot if element == "." else weight * dot
            marks.append((t, t + length))
            t += length + dot
    return marks, marks[-1][1]


class Ident:
    def __init__(self, spec, args, rng):
        parts = spec.split(":")
        if len(parts) != 5:
            raise SystemExit(f"--ident wants TEXT:TONE:PERIOD:WPM:SNR, not {spec!r}")
        self.text = parts[0]
        self.tone, self.period, self.wpm, self.snr = (float(p) for p in parts[1:])
        self.weight = args.weight
        self.marks, self.length = keying(self.text, self.wpm, args.weight)
        if self.length + 2 * args.edge_ms / 1000 >= self.period:
            raise SystemExit(f"{self.text} lasts {self.length:.2f} s, longer than its period")
        self.offset = rng.uniform(0, self.period)
        self.phase = rng.uniform(0, 2 * math.pi)
        # One period of the envelope, the soft edges made by a Hann window of edge_ms.
        n = int(round(self.period * RATE))
        env = np.zeros(n)
        for on, off in self.marks:
            env[int(round(on * RATE)):int(round(off * RATE))] = 1.0
        w = max(3, int(args.edge_ms / 1000 * RATE))
        hann = np.hanning(w)
        hann /= hann.sum()
        wrapped = np.concatenate([env[-w:], env, env[:w]])
        self.envelope = np.convolve(wrapped, hann, mode="same")[w:w + n]
        self.fading = None  # dB at 10 Hz over the recording

    def truth(self, amplitude_fs):
        return {"ident": self.text, "tone_hz": self.tone, "period_s": self.period, "wpm": self.wpm,
                "snr_db": self.snr, "offset_s": round(self.offset, 4), "ident_seconds": round(self.length, 3), "dash_weight": self.weight,
                "amplitude_fs": amplitude_fs}


def slow_sines(rng, seconds, deviation_db, typical_s, count=8):
    """A slow random level in dB on a 10 Hz grid: a sum of sinusoids of random periods around
    typical_s and random phases, with the given standard deviation."""
    t = np.arange(int(seconds * 10) + 2) / 10.0
    level = np.zeros_like(t)
    for _ in range(count):
        period = typical_s * math.exp(rng.uniform(math.log(0.5), math.log(2.0)))
        level += math.sqrt(2.0 / count) * np.sin(2 * math.pi * t / period + rng.uniform(0, 2 * math.pi))
    return deviation_db * level


def tilt_filter(slope_db_per_octave):
    """A linear-phase FIR whose response falls by the slope per octave from 40 Hz to 12 kHz
    (flat outside), and its power response on a fine grid."""
    n = 8192
    f = np.fft.rfftfreq(n, 1.0 / RATE)
    fc = np.clip(f, 40.0, 12000.0)
    gain = 10 ** (slope_db_per_octave * np.log2(fc / 1000.0) / 20.0)
    h = np.fft.irfft(gain, n)
    h = np.roll(h, FIR_TAPS // 2)[:FIR_TAPS] * np.hanning(FIR_TAPS)
    response = np.abs(np.fft.rfft(h, 1 << 16)) ** 2
    grid = np.fft.rfftfreq(1 << 16, 1.0 / RATE)
    return h, grid, response


def band_density(grid, response, tone):
    """The mean power response over 2500 Hz around a tone (the part below 0 Hz folds)."""
    band = np.abs(grid - tone) <= 1250.0
    folded = grid <= 1250.0 - tone
    return (response[band].sum() + response[folded].sum()) / (band.sum() + folded.sum())


def crash_strokes(rng, args, seconds):
    """(start sample, frequency, decay s, level dB) of every stroke."""
    strokes, t = [], 0.0
    lo, hi = args.crash_db
    while args.crashes > 0:
        t += rng.exponential(1.0 / args.crashes)
        if t >= seconds:
            break
        start = t
        for _ in range(int(rng.integers(1, 5))):
            strokes.append((int(start * RATE), rng.uniform(300, 3000), rng.uniform(0.5e-3, 3e-3), rng.uniform(lo, hi)))
            start += rng.uniform(0.005, 0.06)
    return sorted(strokes)  # a cluster's last strokes may follow the next cluster's first


def add_strokes(out, first, strokes, noise_rms, state):
    """Adds the strokes that touch out (samples first..first+len) and returns the count."""
    n = len(out)
    while state["next"] < len(strokes) and strokes[state["next"]][0] < first + n:
        state["live"].append(strokes[state["next"]])
        state["next"] += 1
    keep = []
    for start, hz, decay, db in state["live"]:
        length = int(decay * RATE * 7)  # 60 dB down
        a, b = max(start, first), min(start + length, first + n)
        if a < b:
            k = np.arange(a - start, b - start) / RATE
            # A stroke's first millisecond has the rms of its level over the noise.
            first_ms = min(1e-3, 7 * decay)
            mean_square = decay / 2 * (1 - math.exp(-2 * first_ms / decay)) / first_ms * 0.5
            amp = noise_rms * 10 ** (db / 20) / math.sqrt(mean_square)
            phase = (start * 0.618034) % (2 * math.pi)  # fixed by the stroke, so chunks agree
            out[a - first:b - first] += amp * np.exp(-k / decay) * np.sin(2 * math.pi * hz * k + phase)
        if start + length > first + n:
            keep.append((start, hz, decay, db))
    state["live"] = keep


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    p.add_argument("out")
    p.add_argument("--minutes", type=float, default=10.0)
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--ident", action="append", default=[], metavar="TEXT:TONE:PERIOD:WPM:SNR")
    p.add_argument("--carrier", action="append", default=[], metavar="HZ:SNR")
    p.add_argument("--weight", type=float, default=3.0, help="dash length in dots (3)")
    p.add_argument("--edge-ms", type=float, default=8.0, help="key edges' Hann window (8 ms)")
    p.add_argument("--crashes", type=float, default=0.0, help="crashes a second (0)")
    p.add_argument("--crash-db", type=lambda s: tuple(float(x) for x in s.split(":")), default=(20.0, 30.0),
                   metavar="LO:HI", help="stroke levels over the noise (20:30)")
    p.add_argument("--drift-db", type=float, default=0.0, help="noise level change start to end (0)")
    p.add_argument("--wander-db", type=float, default=0.0, help="slow wander of the noise level, std (0)")
    p.add_argument("--tilt", type=float, default=0.0, help="noise slope in dB per octave (0: white)")
    p.add_argument("--hum", type=float, default=0.0, help="mains hum at 50 or 60 Hz (0: none)")
    p.add_argument("--hum-db", type=float, default=0.0, help="hum fundamental's SNR in 2500 Hz (0)")
    p.add_argument("--qsb-db", type=float, default=0.0, help="random fading of each ident, std in dB (0)")
    p.add_argument("--qsb-minutes", type=float, default=3.0, help="its typical period (3)")
    p.add_argument("--deep-fade-db", type=float, default=0.0, help="one deep fade of each ident (0)")
    p.add_argument("--deep-fade-minutes", type=float, default=10.0)
    args = p.parse_args()

    seconds = args.minutes * 60.0
    total = int(round(seconds * RATE))
    streams = np.random.SeedSequence(args.seed).spawn(6)
    layout_rng, noise_rng, crash_rng, fade_rng, wander_rng, hum_rng = (np.random.default_rng(s) for s in streams)

    idents = [Ident(s, args, layout_rng) for s in args.ident]
    carriers = [tuple(float(x) for x in c.split(":")) + (layout_rng.uniform(0, 2 * math.pi),) for c in args.carrier]

    # The noise floor in dB on a 10 Hz grid, and its mean power (the SNRs' reference).
    grid_t = np.arange(int(seconds * 10) + 2) / 10.0
    floor_db = args.drift_db * grid_t / seconds
    if args.wander_db > 0:
        floor_db = floor_db + slow_sines(wander_rng, seconds, args.wander_db, 600.0)
    mean_power = float(np.mean(10 ** (floor_db / 10)))

    if args.tilt != 0.0:
        fir, grid, response = tilt_filter(args.tilt)
        total_power = float(np.mean(response))
    else:
        fir, grid, response, total_power = None, None, None, 1.0
    # White noise of rms 1 through the filter has total_power; scale it to NOISE_DBFS.
    noise_rms = 10 ** (NOISE_DBFS / 20)
    noise_scale = noise_rms / math.sqrt(total_power)

    def density_at(tone):  # noise power per Hz around a tone, at the mean floor
        rel = band_density(grid, response, tone) if fir is not None else 1.0
        return noise_scale ** 2 * rel * mean_power / (RATE / 2)

    def amplitude(tone, snr):
        return math.sqrt(2 * 10 ** (snr / 10) * density_at(tone) * 2500.0)

    for ident in idents:
        ident.amplitude = amplitude(ident.tone, ident.snr)
        db = np.zeros_like(grid_t)
        if args.qsb_db > 0:
            db = slow_sines(fade_rng, seconds, args.qsb_db, args.qsb_minutes * 60.0)
            db -= 10 * math.log10(np.mean(10 ** (db / 10)))  # the mean power is the unfaded power
        if args.deep_fade_db > 0:
            width = args.deep_fade_minutes * 60.0
            centre = fade_rng.uniform(min(width / 2, seconds / 2), max(seconds - width / 2, seconds / 2))
            x = np.clip((grid_t - centre) / width, -0.5, 0.5)
            db = db - args.deep_fade_db * (0.5 + 0.5 * np.cos(2 * math.pi * x))
        ident.fading = db if (args.qsb_db > 0 or args.deep_fade_db > 0) else None
    carrier_amps = [(hz, amplitude(hz, snr), ph) for hz, snr, ph in carriers]
    # Hum: one period is a whole number of samples at 50 and 60 Hz, so it plays from a table.
    hum_table, hum_peak = None, 0.0
    if args.hum > 0:
        if args.hum not in (50.0, 60.0):
            raise SystemExit("--hum must be 50 or 60")
        a1 = amplitude(args.hum, args.hum_db)
        period = int(round(RATE / args.hum))
        i = np.arange(period)
        hum_table = np.zeros(period)
        for k in range(1, int(4000 // args.hum) + 1):
            a = a1 / k ** 1.3 * (1.5 if k % 2 else 1.0)
            hum_table += a * np.sin(2 * math.pi * k * i / period + hum_rng.uniform(0, 2 * math.pi))
        hum_peak = float(np.abs(hum_table).max())
    strokes = crash_strokes(crash_rng, args, seconds)

    # Peaks must fit 16 bits: lower everything together when they would not (crashes clip).
    peak = 4.5 * noise_rms * 10 ** (max(0.0, float(floor_db.max())) / 20)
    peak += sum(i.amplitude * 10 ** (max(0.0, float(i.fading.max()) if i.fading is not None else 0.0) / 20)
                for i in idents)
    peak += sum(a for _, a, _ in carrier_amps) + hum_peak
    scale = min(1.0, 0.95 / peak)

    clipped = 0
    tail = np.zeros(FIR_TAPS - 1)
    fir_spectra = {}
    stroke_state = {"next": 0, "live": []}
    with wave.open(args.out, "wb") as w:
        w.setnchannels(2)
        w.setsampwidth(2)
        w.setframerate(RATE)
        for first in range(0, total, CHUNK):
            n = min(CHUNK, total - first)
            idx = np.arange(first, first + n)
            t = idx / RATE
            white = noise_rng.standard_normal(n)
            if fir is not None:
                x = np.concatenate([tail, white])
                tail = x[-(FIR_TAPS - 1):]
                size = 1 << int(math.ceil(math.log2(len(x) + FIR_TAPS)))
                if size not in fir_spectra:
                    fir_spectra[size] = np.fft.rfft(fir, size)
                noise = np.fft.irfft(np.fft.rfft(x, size) * fir_spectra[size], size)[FIR_TAPS - 1:FIR_TAPS - 1 + n]
            else:
                noise = white
            out = noise * noise_scale
            if args.drift_db != 0 or args.wander_db > 0:
                out *= 10 ** (np.interp(t, grid_t, floor_db) / 20)
            for ident in idents:
                pos = np.floor(np.mod(t - ident.offset, ident.period) * RATE).astype(np.int64)
                env = ident.envelope[np.minimum(pos, len(ident.envelope) - 1)] * (t >= ident.offset)
                if ident.fading is not None:
                    env = env * 10 ** (np.interp(t, grid_t, ident.fading) / 20)
                out += ident.amplitude * env * np.sin(2 * math.pi * ident.tone * t + ident.phase)
            for hz, a, ph in carrier_amps:
                out += a * np.sin(2 * math.pi * hz * t + ph)
            if hum_table is not None:
                out += hum_table[idx % len(hum_table)]
            add_strokes(out, first, strokes, noise_rms, stroke_state)
            samples = np.round(out * scale * 32767.0)
            clipped += int(np.count_nonzero(np.abs(samples) > 32767))
            mono = np.clip(samples, -32768, 32767).astype("<i2")
            w.writeframes(np.repeat(mono, 2).tobytes())

    noise_fs = noise_rms * scale * math.sqrt(mean_power)
    truth = {
        "file": args.out, "generator": "independent_synth.py", "seconds": seconds, "rate": RATE, "channels": 2,
        "bits": 16, "seed": args.seed,
        "noise": {"dbfs": round(20 * math.log10(noise_fs), 2), "tilt_db_per_octave": args.tilt,
                  "drift_db": args.drift_db, "wander_db": args.wander_db, "crashes_per_s": args.crashes,
                  "crash_db": list(args.crash_db), "strokes": len(strokes), "hum_hz": args.hum, "hum_db": args.hum_db,
                  "qsb_db": args.qsb_db, "qsb_minutes": args.qsb_minutes, "deep_fade_db": args.deep_fade_db,
                  "deep_fade_minutes": args.deep_fade_minutes},
        # The analyse --gain that brings the mean background noise to 16 counts of 8 bits, or
        # less when the steady peaks (not the crashes) would then pass 124 counts.
        "gain_db": round(20 * math.log10(min(16.0 / 128.0 / noise_fs, 124.0 / 128.0 / (peak * scale))), 2),
        "gain_db_noise_16": round(20 * math.log10(16.0 / 128.0 / noise_fs), 2),
        "clipped_samples": clipped,
        "idents": [i.truth(i.amplitude * scale) for i in idents],
        "carriers": [{"tone_hz": hz, "snr_db": snr} for hz, snr, _ in carriers],
    }
    text = json.dumps(truth)
    with open(args.out.rsplit(".", 1)[0] + ".json", "w") as f:
        f.write(text + "\n")
    print(text)


if __name__ == "__main__":
    sys.exit(main())
