#!/usr/bin/env bash
# A serial port that disappears between two "com" lines of a script: a socat pseudo-terminal
# pair, the real Qt serial port on one end; after the first line has arrived at the far end,
# socat is ended (once politely, which removes the port's name, once with SIGKILL, which leaves
# the name dangling). The second line must give the designed "Error opening port" and the
# script must end there, at once and cleanly.
set -euo pipefail

build=${1:?usage: serial_vanish.sh BUILD_DIR}
peer=$build/tests/sorvantel_serial_peer
[ -x "$peer" ] || { echo "no $peer in this configuration"; exit 77; }
command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }

work=$(mktemp -d)
socat_pid=
reader_pid=
peer_pid=
cleanup() {
    for pid in $peer_pid $reader_pid $socat_pid; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data

fail() {
    echo "FAIL: $*"
    for f in "$work"/err "$work"/socat.log; do [ -f "$f" ] && cat "$f"; done
    exit 1
}

# run SIGNAL: one script run in which socat is ended with SIGNAL between the two lines.
run() {
    local signal=$1 x=$work/X y=$work/Y
    rm -f "$x" "$y" "$work/got" "$work/err"
    socat -d -d pty,raw,echo=0,link="$x" pty,raw,echo=0,link="$y" 2>"$work/socat.log" &
    socat_pid=$!
    for _ in $(seq 100); do [ -e "$x" ] && [ -e "$y" ] && break; sleep 0.05; done
    [ -e "$x" ] && [ -e "$y" ] || fail "socat made no pty pair"
    cat "$y" >"$work/got" 2>/dev/null &
    reader_pid=$!
    sleep 0.2
    printf 'com %s:9600 first<lf>\nwait for 0:0:4\ncom %s:9600 second<lf>\ncarrier 404\n' "$x" "$x" >"$work/script.txt"

    local started=$SECONDS status=0
    timeout 30 "$peer" "$work/script.txt" 2>"$work/err" &
    peer_pid=$!
    for _ in $(seq 100); do grep -q first "$work/got" 2>/dev/null && break; sleep 0.05; done
    grep -q first "$work/got" || fail "the first line never arrived"
    kill "-$signal" "$socat_pid"
    wait "$socat_pid" 2>/dev/null || true
    socat_pid=
    kill "$reader_pid" 2>/dev/null || true
    wait "$reader_pid" 2>/dev/null || true
    reader_pid=

    wait "$peer_pid" || status=$?
    peer_pid=
    [ "$status" -eq 124 ] && fail "the script hung after the port went ($signal)"
    [ "$status" -gt 128 ] && fail "the program died of signal $((status - 128)) ($signal)"
    # Exit status 1: the script did not end normally, because the port failed.
    [ "$status" -eq 1 ] || fail "status $status after the port went ($signal)"
    [ "$(grep -c '^message: ' "$work/err")" -eq 1 ] || fail "not exactly one message ($signal)"
    grep -qx "message: Error opening port" "$work/err" || fail "wrong message ($signal)"
    grep -q "title: Sorvantel from KELD - processing script command com $x:9600 second<lf>" "$work/err" \
        || fail "the title does not show the failing line ($signal)"
    [ $((SECONDS - started)) -lt 15 ] || fail "the script took too long to end ($signal)"
    echo "ok: port gone by SIG$signal -> Error opening port, script ended at that line"
}

run TERM
run KILL
