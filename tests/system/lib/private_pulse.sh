# Sourced by the system tests that need a sound server of their own: a private PulseAudio
# daemon in a temporary runtime directory, stopped together with everything the test started.
#
#   require_check <program>      skip (77) when the check program is not part of this build
#   require_tools <tool>...      fail when a tool is missing
#   private_pulse_setup <name>   sets WORK, XDG_RUNTIME_DIR, PIDS and the clean-up on exit
#   start_pulse [--load=...]...  starts the daemon (with these modules) and waits for it
#   fail <text>                  prints the text, the files in FAIL_SHOW and the server's log

require_check() {
  CHECK=$1
  if [ ! -x "$CHECK" ]; then
    echo "SKIP: $CHECK is not built (core-only configuration)"
    exit 77
  fi
}

require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "FAIL: $tool is not installed (tools/install-deps.sh)"; exit 1; }
  done
}

private_pulse_setup() {
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/sorvantel-$1-XXXXXX")
  export XDG_RUNTIME_DIR="$WORK/run"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  export QT_QPA_PLATFORM=offscreen
  PIDS=()
  FAIL_SHOW=()
  trap private_pulse_cleanup EXIT
}

private_pulse_cleanup() {
  local pid
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  if [ -f "$XDG_RUNTIME_DIR/pulse/pid" ]; then
    kill "$(cat "$XDG_RUNTIME_DIR/pulse/pid")" 2>/dev/null || true
  fi
  wait 2>/dev/null || true
  rm -rf "$WORK"
}

fail() {
  echo "FAIL: $*"
  local f
  for f in "${FAIL_SHOW[@]}"; do [ -f "$f" ] && cat "$f"; done
  [ -f "$WORK/pa.log" ] && tail -n 20 "$WORK/pa.log"
  exit 1
}

start_pulse() {
  pulseaudio -n --daemonize=yes --exit-idle-time=-1 --log-target="file:$WORK/pa.log" \
    --load=module-native-protocol-unix "$@" || fail "pulseaudio did not start"
  for _ in $(seq 100); do pactl info >/dev/null 2>&1 && break; sleep 0.1; done
  pactl info >/dev/null 2>&1 || fail "pulseaudio does not answer"
}
