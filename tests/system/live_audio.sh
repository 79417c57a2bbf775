#!/usr/bin/env bash
# Live audio end to end on a real sound server of our own: a private PulseAudio daemon with a
# null sink and a source remapped from its monitor. A 1500 Hz tone played into the sink must
# come out of the program's live capture as rows peaking in line 95, from the remapped source
# and from the sink's own monitor, which the cards list as well; its recordings must be
# valid WAV files to readers we did not write, also after a kill; and what playback sends to
# the sink must carry the designated line's tone with the integrand's keying.
# Usage: live_audio.sh <build dir>. Skips (77) when the check program was not built.
set -euo pipefail

BUILD=${1:?usage: live_audio.sh <build dir>}
source "$(dirname "$0")/lib/private_pulse.sh"
require_check "$BUILD/tests/sorvantel_live_audio_check"
require_tools pulseaudio pactl paplay parec sox soxi python3 timeout
private_pulse_setup live-audio

# ---- the sound server: vsink is played into, vmic captures what vsink plays
start_pulse \
  --load="module-null-sink sink_name=vsink rate=48000 channels=1 sink_properties=device.description=VirtualSink" \
  --load="module-remap-source master=vsink.monitor source_name=vmic source_properties=device.description=VirtualMic"
pactl set-default-sink vsink
pactl set-default-source vmic

# ---- analysis of WAV and raw files, with readers we did not write
cat > "$WORK/check.py" <<'PY'
import struct, sys, wave, os

def crossings_hz(samples, rate=48000):
    ups = [i for i in range(1, len(samples)) if samples[i - 1] < 128 <= samples[i]]
    if len(ups) < 2:
        return 0.0
    return (len(ups) - 1) * rate / (ups[-1] - ups[0])

def check_wav(path, nbytes):
    nbytes = int(nbytes)
    raw = open(path, 'rb').read()
    assert len(raw) == 46 + nbytes, f"file is {len(raw)} bytes, expected 46 + {nbytes}"
    riff, fmt_size, data_size = struct.unpack_from('<I', raw, 4)[0], struct.unpack_from('<I', raw, 16)[0], struct.unpack_from('<I', raw, 42)[0]
    assert raw[0:4] == b'RIFF' and raw[8:16] == b'WAVEfmt ' and raw[38:42] == b'data', "not a RIFF/WAVE layout"
    assert fmt_size == 18, f"format chunk is {fmt_size} bytes"
    assert riff == nbytes + 38, f"RIFF size {riff}, expected {nbytes + 38}"
    assert data_size == nbytes, f"data size {data_size}, expected {nbytes}"
    with wave.open(path, 'rb') as w:
        assert (w.getnchannels(), w.getsampwidth(), w.getframerate()) == (1, 1, 48000), "wrong format"
        assert w.getnframes() == nbytes, f"wave reads {w.getnframes()} frames"
        frames = w.readframes(w.getnframes())
    assert len(frames) == nbytes
    hz = crossings_hz(frames)
    assert abs(hz - 1500.0) < 2.0, f"recorded tone is {hz:.2f} Hz"
    print(f"wav ok: {os.path.basename(path)} {nbytes} bytes, tone {hz:.2f} Hz")

def check_playback(path):
    s = open(path, 'rb').read()
    win = 480  # 10 ms
    peaks = [max(abs(b - 128) for b in s[i:i + win]) for i in range(0, len(s) - win + 1, win)]
    on = [p > 30 for p in peaks]
    runs = []
    for v in on:
        if runs and runs[-1][0] == v:
            runs[-1][1] += 1
        else:
            runs.append([v, 1])
    runs = runs[1:-1]  # the first and last are cut by the start and end of the recording
    # "dah dit" over 1.6 s: on 0.48 s, off 0.16 s, on 0.16 s, off 0.80 s (in 10 ms windows)
    pattern = [(True, 48), (False, 16), (True, 16), (False, 80)]
    best = 0
    for start in range(len(runs)):
        for phase in range(4):
            n = 0
            while start + n < len(runs):
                v, length = runs[start + n]
                pv, plen = pattern[(phase + n) % 4]
                if v != pv or abs(length - plen) > 2:
                    break
                n += 1
            best = max(best, n)
    assert best >= 12, f"keying does not follow the integrand: runs {runs}"
    on_peaks = sorted(p for p, o in zip(peaks, on) if o)
    level = on_peaks[len(on_peaks) // 2]
    assert 60 <= level <= 64, f"tone level {level}, expected 63"
    off_peaks = [p for p, o in zip(peaks, on) if not o]
    noisy = sum(1 for p in off_peaks if p > 3)  # only windows that touch a mark's edge
    assert noisy <= len(off_peaks) // 10, f"{noisy} of {len(off_peaks)} spaces are not silent"
    # the frequency inside the long marks, away from their edges
    hzs = []
    i = 0
    while i < len(on):
        if on[i]:
            j = i
            while j < len(on) and on[j]:
                j += 1
            if j - i >= 40 and i > 0 and j < len(on):
                hzs.append(crossings_hz(s[(i + 3) * win:(j - 3) * win]))
            i = j
        else:
            i += 1
    assert hzs, "no long marks found"
    for hz in hzs:
        assert abs(hz - 1484.375) < 2.0, f"playback tone is {hz:.2f} Hz, expected 1484.375"
    print(f"playback ok: {best} keying runs in pattern, level {level}, tone {sum(hzs) / len(hzs):.2f} Hz")

globals()[sys.argv[1]](*sys.argv[2:])
PY

# ---- capture: rows, line 95, a recording read back by python and sox
sox -n -r 48000 -c 1 -b 8 -e unsigned-integer "$WORK/tone.wav" synth 60 sine 1500 vol 0.3
paplay -d vsink "$WORK/tone.wav" &
PIDS+=($!)

timeout 60 "$CHECK" capture "$WORK/capture" > "$WORK/capture.out" || { cat "$WORK/capture.out"; fail "capture check"; }
cat "$WORK/capture.out"
grep -qx "CARD2 VirtualMic" "$WORK/capture.out" || fail "card 2 is not the virtual source"
read -r _ WAV BYTES < <(grep '^WAV ' "$WORK/capture.out")
[ -n "${WAV:-}" ] || fail "no recording reported"
python3 "$WORK/check.py" check_wav "$WAV" "$BYTES" || fail "recording $WAV"
[ "$(soxi -s "$WAV")" = "$BYTES" ] || fail "soxi counts $(soxi -s "$WAV") samples, expected $BYTES"
[ "$(soxi -r "$WAV")" = 48000 ] && [ "$(soxi -c "$WAV")" = 1 ] && [ "$(soxi -b "$WAV")" = 8 ] \
  || fail "soxi reads another format"

# ---- the sink's monitor itself: listed among the cards and captured without the remap
timeout 60 "$CHECK" monitor "$WORK/monitor" > "$WORK/monitor.out" || { cat "$WORK/monitor.out"; fail "monitor check"; }
cat "$WORK/monitor.out"
grep -q '^MONITOR [234] Monitor of VirtualSink$' "$WORK/monitor.out" || fail "the monitor is not listed as a card"

# ---- a recording cut off by a kill is still a valid file with every second written
"$CHECK" killed "$WORK/killed" > "$WORK/killed.out" &
KILLED=$!
PIDS+=($KILLED)
for _ in $(seq 400); do grep -q '^KILL ' "$WORK/killed.out" && break; sleep 0.1; done
grep -q '^KILL ' "$WORK/killed.out" || { cat "$WORK/killed.out"; fail "the killed run never recorded"; }
kill -9 "$KILLED"
wait "$KILLED" 2>/dev/null || true
read -r _ WAV BYTES < <(grep '^KILL ' "$WORK/killed.out")
case "$WAV" in *_404500hz.wav) ;; *) fail "recording name $WAV lacks the carrier" ;; esac
python3 "$WORK/check.py" check_wav "$WAV" "$BYTES" || fail "killed recording $WAV"
[ "$(soxi -s "$WAV")" = "$BYTES" ] || fail "soxi counts $(soxi -s "$WAV") samples in the killed recording"

kill "${PIDS[0]}" 2>/dev/null || true  # the tone

# ---- playback: what the program plays, heard from the sink's monitor
sleep 0.5
parec -d vsink.monitor --format=u8 --channels=1 --rate=48000 --raw > "$WORK/played.raw" &
PAREC=$!
PIDS+=($PAREC)
sleep 0.5
timeout 40 "$CHECK" playback "$WORK/playback" 8 > "$WORK/playback.out" || { cat "$WORK/playback.out"; fail "playback check"; }
sleep 0.5
kill "$PAREC"
wait "$PAREC" 2>/dev/null || true
python3 "$WORK/check.py" check_playback "$WORK/played.raw" || fail "played audio"
echo "live audio: all checks passed"
