#!/usr/bin/env bash
# The independent test generator (tools/independent_synth.py): its Morse table is Morse, its
# file is 16-bit stereo at 44100 Hz with the truth beside it, and sorvantel-cli reads the ident
# at the period the truth states, at the gain the truth gives.
# Usage: independent_synth.sh <build dir>
set -euo pipefail

build=$(cd "${1:?usage: independent_synth.sh <build dir>}" && pwd)
tools=$(cd "$(dirname "$0")/../../tools" && pwd)
cli="$build/src/cli/sorvantel-cli"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

[ -x "$cli" ] || { echo "SKIP: sorvantel-cli is not built here"; exit 77; }
/usr/bin/python3 -c "import numpy" 2>/dev/null || { echo "SKIP: python3-numpy is not installed"; exit 77; }
cd "$work"

/usr/bin/python3 - "$tools" <<'PY' || fail "the generator's Morse table or keying is wrong"
import sys
sys.path.insert(0, sys.argv[1])
import independent_synth as g
table = ("A.- B-... C-.-. D-.. E. F..-. G--. H.... I.. J.--- K-.- L.-.. M-- N-. O--- P.--. Q--.- R.-. S... "
         "T- U..- V...- W.-- X-..- Y-.-- Z--.. 0----- 1.---- 2..--- 3...-- 4....- 5..... 6-.... 7--... "
         "8---.. 9----.")
for entry in table.split():
    assert g.morse(entry[0]) == entry[1:], (entry, g.morse(entry[0]))
    assert g.morse(entry[0].lower()) == entry[1:]
assert g.morse("?") is None and g.morse("*") is None
# AB at 10 wpm: .- -... is 1+1+3, 3, 3+1+1+1+1+1+1 dots of 0.12 s; a heavier dash lengthens it.
marks, length = g.keying("AB", 10, 3.0)
assert len(marks) == 6 and abs(length - 17 * 0.12) < 1e-9, (marks, length)
assert abs(marks[2][0] - 8 * 0.12) < 1e-9
assert abs(g.keying("AB", 10, 3.5)[1] - 18 * 0.12) < 1e-9
PY

"$tools/independent_synth.py" k7x.wav --minutes 3 --seed 4 --ident K7X:1012:9.5:7:-6 >truth.out \
  || fail "the generator failed"
/usr/bin/python3 - <<'PY' || fail "the file or its truth is not what it says"
import json, wave
truth = json.load(open("k7x.json"))
assert json.loads(open("truth.out").read()) == truth
with wave.open("k7x.wav") as w:
    assert (w.getnchannels(), w.getsampwidth(), w.getframerate()) == (2, 2, 44100)
    assert w.getnframes() == 3 * 60 * 44100
    frames = w.readframes(44100)
    assert frames[0::4] == frames[2::4] and frames[1::4] == frames[3::4]  # both channels alike
i = truth["idents"][0]
assert (i["ident"], i["tone_hz"], i["period_s"], i["wpm"], i["snr_db"]) == ("K7X", 1012, 9.5, 7, -6), i
assert 0 <= i["offset_s"] < 9.5 and truth["clipped_samples"] == 0
assert abs(truth["noise"]["dbfs"] + 30) < 0.01 and abs(truth["gain_db"] - 11.94) < 0.01, truth
PY

gain=$(/usr/bin/python3 -c 'import json; print(json.load(open("k7x.json"))["gain_db"])')
"$cli" analyse --json --gain "$gain" k7x.wav >found.json 2>found.err || fail "analyse failed: $(cat found.err)"
/usr/bin/python3 - <<'PY' || fail "the ident was not read: $(cat found.json) $(cat found.err)"
import json
found = [json.loads(line) for line in open("found.json") if line.strip()]
assert len(found) == 1 and found[0]["ident"] == "K7X" and abs(found[0]["period_s"] - 9.5) < 0.05, found
PY
grep -q "clipped" found.err && fail "the import clipped: $(cat found.err)"
echo "PASS"
