#!/usr/bin/env python3
"""Writes the band survey's benchmark recording with sorvantel-cli synth --iq: a 16-bit I/Q WAV
at 192 kHz around 400 kHz with 40 beacons spread over 168 kHz (tones of 400 and 1020 Hz on both
sidebands or the upper one only, every tenth keying its carrier, levels from +10 to -18 dB in
2500 Hz), two carriers without ident, and noise.

    bench/survey/band_recording.py CLI OUT.wav [MINUTES]     (60 minutes)

Prints the beacons it placed (carrier kHz and ident) on stdout, one a line, for comparing with
the survey's findings.
"""
import subprocess
import sys

MORSE = {
    "A": ".-", "B": "-...", "D": "-..", "E": ".", "G": "--.", "K": "-.-", "L": ".-..", "M": "--",
    "N": "-.", "O": "---", "P": ".--.", "R": ".-.", "S": "...", "T": "-", "U": "..-", "W": ".--",
    "X": "-..-", "Y": "-.--", "Z": "--..",
}
LETTERS = "ABDEGKLMNOPRSTUWXYZ"


def ident_seconds(ident, wpm):
    """Key-down to last key-up: dots 1, dashes 3, gaps 1 inside a letter, 3 between letters."""
    units = 0
    for i, letter in enumerate(ident):
        code = MORSE[letter]
        units += sum(1 if c == "." else 3 for c in code) + len(code) - 1
        if i:
            units += 3
    return units * 1.2 / wpm


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    cli, out = sys.argv[1], sys.argv[2]
    minutes = sys.argv[3] if len(sys.argv) > 3 else "60"
    args = [cli, "synth", "--iq", "--centre-khz", "400", "--rate", "192000", "--minutes", minutes,
            "--snr", "0", "--seed", "11"]
    placed = []
    for i in range(40):
        khz = 400.0 + (-84000.0 + i * 4300.0 + (i % 3) * 130.0) / 1000.0
        ident = LETTERS[i % 19] + LETTERS[(i * 7 + 3) % 19] + (LETTERS[(i * 5) % 19] if i % 2 else "")
        wpm = 6 + i % 5
        period = max(6.0 + (i % 9) * 0.75, float(int(ident_seconds(ident, wpm) + 2.5) + 1))
        keying = "carrier" if i % 10 == 9 else "upper" if i % 7 == 3 else "both"
        level = 10 - (i % 8) * 4
        args += ["--beacon", f"{khz:.2f}", "--ident", ident, "--tone", "400" if i % 2 else "1020",
                 "--keying", keying, "--period", f"{period:.2f}", "--wpm", str(wpm),
                 "--offset", f"{0.2 + (i % 4) * 0.9:.1f}", "--level", str(level)]
        placed.append(f"{khz:.2f} {ident}")
    args += ["--steady", "314", "--steady-level", "3", "--steady", "485.5", "--steady-level", "-6", out]
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL)
    print("\n".join(placed))


if __name__ == "__main__":
    main()
