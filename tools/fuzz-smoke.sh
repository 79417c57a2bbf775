#!/usr/bin/env bash
# Builds the libFuzzer harnesses of fuzz/ with clang-14 and runs each for a while (60 s by
# default) on its committed corpus. Any finding -- a crash, a sanitizer report, a failed
# check, a leak, an input that runs past the time-out -- stops with a non-zero status, and the
# input that caused it is kept in <build>/fuzz-findings/<harness>/.
#
#   tools/fuzz-smoke.sh                      # all harnesses, 60 s each
#   FUZZ_SECONDS=600 tools/fuzz-smoke.sh script ident_log
#
# Environment: FUZZ_BUILD_DIR (default build-fuzz), FUZZ_SECONDS (default 60).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
BUILD=${FUZZ_BUILD_DIR:-build-fuzz}
case "$BUILD" in /*) ;; *) BUILD=$ROOT/$BUILD ;; esac
SECONDS_EACH=${FUZZ_SECONDS:-60}
ALL=(spectrum_file settings_file script ident_log audio_import iq_reader)
if [ $# -gt 0 ]; then NAMES=("$@"); else NAMES=("${ALL[@]}"); fi

command -v clang++-14 >/dev/null || { echo "clang++-14 is not installed (tools/install-deps.sh)"; exit 1; }
cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_CXX_COMPILER=clang++-14 -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSORVANTEL_FUZZ=ON -DSORVANTEL_CORE_ONLY=ON -DSORVANTEL_TESTS=OFF -DSORVANTEL_BENCHMARKS=OFF >/dev/null
cmake --build "$BUILD" --target sorvantel_fuzzers

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/sorvantel-fuzz-XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
# Leaks inside the codec libraries behind libsndfile are not ours (see the file).
export LSAN_OPTIONS="suppressions=$ROOT/fuzz/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1"

failed=()
for name in "${NAMES[@]}"; do
  harness=$BUILD/fuzz/fuzz_$name
  [ -x "$harness" ] || { echo "no harness $name"; exit 2; }
  mkdir -p "$SCRATCH/$name/new" "$SCRATCH/$name/artifacts"
  args=(-max_total_time="$SECONDS_EACH" -timeout=30 -rss_limit_mb=4096 -print_final_stats=1
        -artifact_prefix="$SCRATCH/$name/artifacts/")
  [ -f "$ROOT/fuzz/dict/$name.dict" ] && args+=(-dict="$ROOT/fuzz/dict/$name.dict")
  echo "== fuzz $name for ${SECONDS_EACH}s"
  # New inputs go to the scratch folder; the committed corpus is only read. The harness runs
  # in the scratch folder, which is where the test platform's files go.
  if (cd "$SCRATCH/$name" && "$harness" "${args[@]}" "$SCRATCH/$name/new" "$ROOT/fuzz/corpus/$name") \
       >"$SCRATCH/$name/log" 2>&1; then
    grep -E '^stat::number_of_executed_units|^Done ' "$SCRATCH/$name/log" || true
  else
    failed+=("$name")
    tail -n 60 "$SCRATCH/$name/log"
    mkdir -p "$BUILD/fuzz-findings/$name"
    cp "$SCRATCH/$name/artifacts/"* "$BUILD/fuzz-findings/$name/" 2>/dev/null || true
    echo "FINDING in $name: inputs kept in $BUILD/fuzz-findings/$name/ (rerun: $harness <input>)"
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz smoke test failed: ${failed[*]}"
  exit 1
fi
echo "fuzz smoke test: no findings"
