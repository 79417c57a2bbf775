#!/usr/bin/env bash
# A capture device that disappears mid-run: a private PulseAudio with a null sink and a source
# remapped from its monitor (as live_audio.sh), the program capturing and recording from that
# source, and the source's module unloaded under it. The program must neither crash nor hang;
# Stop must work, the recording must be a valid WAV of what was captured, and Start again
# must report the step that failed.
# Usage: capture_vanish.sh <build dir>. Skips (77) when the check program was not built.
set -euo pipefail

BUILD=${1:?usage: capture_vanish.sh <build dir>}
source "$(dirname "$0")/lib/private_pulse.sh"
require_check "$BUILD/tests/sorvantel_capture_vanish_check"
require_tools pulseaudio pactl paplay sox python3 timeout
private_pulse_setup capture-vanish
FAIL_SHOW=("$WORK/check.out" "$WORK/check.err")
start_pulse
# Loaded one by one, so that each module can be unloaded alone.
SINK=$(pactl load-module module-null-sink sink_name=vsink rate=48000 channels=1 \
  sink_properties=device.description=VirtualSink) || fail "no null sink"
REMAP=$(pactl load-module module-remap-source master=vsink.monitor source_name=vmic \
  source_properties=device.description=VirtualMic) || fail "no remapped source"
pactl set-default-sink vsink
pactl set-default-source vmic

sox -n -r 48000 -c 1 -b 8 -e unsigned-integer "$WORK/tone.wav" synth 120 sine 1500 vol 0.3
paplay -d vsink "$WORK/tone.wav" &
PIDS+=($!)

timeout 90 "$CHECK" "$WORK" >"$WORK/check.out" 2>"$WORK/check.err" &
RUN=$!
for _ in $(seq 600); do grep -q '^CAPTURING ' "$WORK/check.out" && break; sleep 0.1; done
grep -q '^CAPTURING ' "$WORK/check.out" || fail "the program never captured"
sleep 1
# The source goes; the server moves the program's stream to the sink's monitor. Then the sink
# goes too, and with it every source there was: the stream is cut off.
pactl unload-module "$REMAP" || fail "could not unload the remapped source"
echo "source unloaded while capturing"
sleep 2
pactl unload-module "$SINK" || fail "could not unload the null sink"
echo "sink and its monitor unloaded while capturing"

status=0
wait "$RUN" || status=$?
[ "$status" -eq 124 ] && fail "the program hung (killed by timeout)"
[ "$status" -gt 128 ] && fail "the program died of signal $((status - 128))"
[ "$status" -eq 0 ] || fail "the program ended with status $status"
cat "$WORK/check.out"
grep -q '^DONE$' "$WORK/check.out" || fail "the check did not finish"

# The recording holds what was captured before the source went, described by its header.
read -r _ WAV BYTES < <(grep '^WAV ' "$WORK/check.out")
[ -f "$WAV" ] || fail "no recording at $WAV"
python3 - "$WAV" "$BYTES" <<'PY' || fail "recording $WAV"
import struct, sys, wave
path, n = sys.argv[1], int(sys.argv[2])
raw = open(path, 'rb').read()
assert len(raw) == 46 + n, f"file is {len(raw)} bytes, expected 46 + {n}"
assert struct.unpack_from('<I', raw, 4)[0] == n + 38 and struct.unpack_from('<I', raw, 42)[0] == n, "header sizes"
with wave.open(path, 'rb') as w:
    assert w.getnframes() == n and w.getframerate() == 48000
assert n >= 2 * 48000, f"only {n} bytes recorded"
print(f"wav ok: {n} bytes")
PY

# The second Start names the step that failed.
MSG=$(grep '^STARTMSG ' "$WORK/check.out" | cut -d' ' -f2-)
case "$MSG" in
  "On opening the audio device.."*|"On starting audio processing.."*) echo "start reported: $MSG" ;;
  *) fail "Start without the device reported: $MSG" ;;
esac
echo "capture vanish: all checks passed"
