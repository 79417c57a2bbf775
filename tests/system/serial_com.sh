#!/usr/bin/env bash
# The script's "com" command against a real serial peer: a socat pseudo-terminal pair, the
# real Qt serial port on one end, the bytes read back on the other.
set -euo pipefail

build=${1:?usage: serial_com.sh BUILD_DIR}
peer=$build/tests/sorvantel_serial_peer
# A core-only build has no Qt serial port to test: skipped (77), not failed.
[ -x "$peer" ] || { echo "no $peer in this configuration"; exit 77; }
command -v socat >/dev/null || { echo "socat is not installed"; exit 1; }

work=$(mktemp -d)
socat_pid=
reader_pid=
cleanup() {
    [ -n "$reader_pid" ] && kill "$reader_pid" 2>/dev/null || true
    [ -n "$socat_pid" ] && kill "$socat_pid" 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

export QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data  # keep the user's settings out

# One script line through the program; prints the bytes that arrived at the far end.
send() {
    local line=$1 x=$work/X y=$work/Y
    rm -f "$x" "$y" "$work/got"
    socat -d -d pty,raw,echo=0,link="$x" pty,raw,echo=0,link="$y" 2>"$work/socat.log" &
    socat_pid=$!
    for _ in $(seq 100); do [ -e "$x" ] && [ -e "$y" ] && break; sleep 0.05; done
    [ -e "$x" ] && [ -e "$y" ] || { echo "socat made no pty pair"; cat "$work/socat.log"; exit 1; }
    cat "$y" >"$work/got" &
    reader_pid=$!
    sleep 0.2
    printf '%s\n' "${line//@X@/$x}" >"$work/script.txt"
    "${runner[@]}" "$work/script.txt" 2>"$work/peer.log" || { echo "the script failed:" >&2; cat "$work/peer.log" >&2; }
    sleep 0.5
    kill "$reader_pid" 2>/dev/null || true
    wait "$reader_pid" 2>/dev/null || true
    reader_pid=
    kill "$socat_pid" 2>/dev/null || true
    wait "$socat_pid" 2>/dev/null || true
    socat_pid=
    od -An -tu1 -v "$work/got" | xargs
}

check() {
    local got=$1 want=$2 what=$3
    if [ "$got" != "$want" ]; then
        echo "FAIL: $what: got [$got], want [$want]"
        exit 1
    fi
    echo "ok: $what -> $got"
}

runner=("$peer")
check "$(send 'com @X@:9600 AB<crlf>')" "65 66 13 10" "AB<crlf>"
check "$(send 'com @X@:9600 \41\\<cr>')" "65 92 13" '\41\\<cr>'
# A rate without a standard constant, taken by the window and the command line alike.
check "$(send 'com @X@:31250 AB<crlf>')" "65 66 13 10" "31250 baud"
cli=$build/src/cli/sorvantel-cli
if [ -x "$cli" ]; then
    "$cli" synth --ident DGU --tone 1015 --period 8 --seconds 5 "$work/in.wav" 2>/dev/null
    runner=("$cli" run --input "$work/in.wav")
    check "$(send 'com @X@:31250 AB<crlf>')" "65 66 13 10" "sorvantel-cli at 31250 baud"
    check "$(send 'com @X@:9600 \41\\<cr>')" "65 92 13" 'sorvantel-cli \41\\<cr>'
fi

# A port that does not exist ends the script with "Error opening port".
# (A script is read only from a regular file: a pipe such as <(...) is refused.)
printf 'com %s:9600 A\n' "$work/none" >"$work/missing-port.txt"
if "$peer" "$work/missing-port.txt" 2>"$work/err"; then
    echo "FAIL: a missing port was not reported"; exit 1
fi
grep -q "message: Error opening port" "$work/err" || { echo "FAIL: wrong message"; cat "$work/err"; exit 1; }
echo "ok: missing port -> Error opening port"
