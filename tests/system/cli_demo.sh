#!/usr/bin/env bash
# sorvantel-cli as installed and run from a shell: the README's two-line demo finds DGU, the
# JSON lines parse with a real JSON reader, and the exit statuses are 0, 1 and 2 as documented.
# Usage: cli_demo.sh <build dir>
set -euo pipefail

build=$(cd "${1:?usage: cli_demo.sh <build dir>}" && pwd)
prefix=$(mktemp -d)
work=$(mktemp -d)
trap 'rm -rf "$prefix" "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

[ -f "$build/src/cli/sorvantel-cli" ] || { echo "SKIP: sorvantel-cli is not built here"; exit 77; }
# Installed beside the program, in bin/.
cmake --install "$build" --prefix "$prefix" >/dev/null
cli="$prefix/bin/sorvantel-cli"
[ -x "$cli" ] || fail "sorvantel-cli is not installed in bin/"
cd "$work"

# The README demo, word for word.
"$cli" synth --ident DGU --tone 1015 --period 8 --snr -18 --minutes 10 demo.wav 2>synth.err
"$cli" analyse demo.wav >demo.out 2>demo.err || fail "analyse demo.wav exited with $?"
grep -q '^demo.wav: [0-9]\{8\} [0-9]\{4\} DGU offset' demo.out || fail "the demo did not find DGU: $(cat demo.out)"
[ "$(wc -l <demo.out)" -eq 1 ] || fail "the demo reported more than one ident"
grep -q '^demo.wav: 600.0 s, 18750 rows searched as a whole, 1 identification' demo.err || fail "no progress line on stderr: $(cat demo.err)"

# JSON lines, parsed by Python's json module; progress never reaches stdout. A stronger ident,
# so that the designed refinement score, which the line reports, passes its threshold.
"$cli" synth --ident DGU --tone 1015 --period 8 --snr -3 --minutes 5 strong.wav 2>/dev/null
"$cli" analyse --json --carrier 404 --usb strong.wav >demo.json 2>/dev/null
python3 - demo.json <<'PY' || fail "the JSON lines do not parse or lack fields"
import json, sys
lines = open(sys.argv[1]).read().splitlines()
assert len(lines) == 1, lines
o = json.loads(lines[0])
assert {"file", "segment_start_s", "ident", "line", "offset_hz", "rf_khz", "period_s", "wpm", "score",
        "stamp_utc", "recording_start", "recording_start_from"} <= set(o), o
# A synthesised file carries no start of its own: it began its duration before it was written.
assert o["recording_start_from"] == "the file's modification time less its duration", o
# A whole recording's identification is stamped where the ident was heard strongest.
from datetime import datetime, timedelta
t = lambda s: datetime.strptime(s, "%Y-%m-%dT%H:%M:%SZ")
assert abs(t(o["stamp_utc"]) - t(o["recording_start"]) - timedelta(seconds=o["heard_strongest_s"])) <= timedelta(seconds=1), o
assert o["ident"] == "DGU" and o["file"] == "strong.wav" and o["segment_start_s"] == 0
assert abs(o["rf_khz"] - (404 + o["offset_hz"] / 1000)) < 1e-9 and o["score"] > 80
PY

# Exit statuses: 1 for a file that cannot be read, the others still analysed; 2 for usage.
echo "not audio" >notes.wav
set +e
"$cli" analyse notes.wav strong.wav >mixed.out 2>mixed.err; status=$?
"$cli" analyse --bandwidth 1000 strong.wav >/dev/null 2>usage.err; usage=$?
"$cli" --help >help.out; help=$?
set -e
[ "$status" -eq 1 ] || fail "an unreadable file gave status $status"
grep -q '^sorvantel-cli: notes.wav: not an audio file' mixed.err || fail "the unreadable file was not named"
grep -q DGU mixed.out || fail "the readable file was not analysed after the unreadable one"
[ "$usage" -eq 2 ] || fail "a usage error gave status $usage"
grep -q -- "--help" usage.err || fail "no pointer to --help"
[ "$help" -eq 0 ] && grep -q '^Usage: sorvantel-cli' help.out || fail "--help"
# run: "com" writes through a real pty, "shell" starts a program, on the recording's input.
if command -v socat >/dev/null; then
    socat pty,raw,echo=0,link="$work/ttyA" pty,raw,echo=0,link="$work/ttyB" &
    socat_pid=$!
    for _ in $(seq 50); do [ -e "$work/ttyB" ] && break; sleep 0.1; done
    timeout 10 head -c 4 "$work/ttyB" >com.bytes &
    reader=$!
    printf '#!/bin/sh\ntouch "%s/started"\n' "$work" >marker.sh
    chmod +x marker.sh
    printf 'com %s/ttyA:9600 AB<crlf>\nshell %s/marker.sh\nexit\n' "$work" "$work" >script.txt
    "$cli" run script.txt --input strong.wav >run.out 2>run.err || fail "run exited with $?: $(cat run.err)"
    wait "$reader" || true
    kill "$socat_pid" 2>/dev/null || true
    [ "$(od -An -tx1 com.bytes | tr -d ' \n')" = "41420d0a" ] || fail "com sent $(od -An -tx1 com.bytes)"
    for _ in $(seq 50); do [ -e "$work/started" ] && break; sleep 0.1; done
    [ -e "$work/started" ] || fail "shell did not start the program"
fi
# "shell" finds a bare name in PATH, as the window does, and starts it without a shell.
mkdir -p "$work/bin"
printf '#!/bin/sh\ntouch "%s/started by name"\n' "$work" >"$work/bin/sorvantel-test-marker"
chmod +x "$work/bin/sorvantel-test-marker"
printf 'shell sorvantel-test-marker\nexit\n' >byname.txt
PATH="$work/bin:$PATH" "$cli" run byname.txt --input strong.wav >/dev/null 2>byname.err ||
    fail "run exited with $?: $(cat byname.err)"
for _ in $(seq 50); do [ -e "$work/started by name" ] && break; sleep 0.1; done
[ -e "$work/started by name" ] || fail "shell did not find the program in PATH"
echo "PASS"
