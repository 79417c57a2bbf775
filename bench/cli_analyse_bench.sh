#!/usr/bin/env bash
# End to end: `sorvantel-cli analyse` of a 40-minute 8-bit 48 kHz recording (reading, the
# producer and the automatic search), timed three times; then the same without the search, to
# show where the time goes. Target: at most 8 s wall clock on the 2-core machine class.
# Usage: bench/cli_analyse_bench.sh <build dir (Release)>
set -euo pipefail
build=$(cd "${1:?usage: cli_analyse_bench.sh <build dir>}" && pwd)
cli="$build/src/cli/sorvantel-cli"
[ -x "$cli" ] || { echo "build sorvantel-cli first: cmake --build $build --target sorvantel-cli"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$cli" synth --ident DGU --tone 1015 --period 8 --snr 3 --minutes 40 "$work/night.wav" 2>/dev/null
cat "$work/night.wav" >/dev/null  # in the page cache, as a file just recorded would be

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for run in 1 2 3; do
    /usr/bin/time -f "analyse, run $run: %e s wall, %U s user, %S s system, %M KiB" \
        "$cli" analyse "$work/night.wav" >/dev/null 2>"$work/err" || true
    tail -1 "$work/err"
done
/usr/bin/time -f "reading and producer only (empty tone range): %e s wall, %U s user" \
    "$cli" analyse --tone-min 1 --tone-max 0 "$work/night.wav" >/dev/null 2>"$work/err" || true
tail -1 "$work/err"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
