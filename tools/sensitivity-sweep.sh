#!/usr/bin/env bash
# The long measurements behind docs/sensitivity.md, with our own synthesiser and sorvantel-cli:
#
#   tools/sensitivity-sweep.sh table   SNR x duration -> correct / false, both detectors
#   tools/sensitivity-sweep.sh noise   hours of pure noise, and of noise with steady carriers,
#                                      -> identifications (every one of them false)
#   tools/sensitivity-sweep.sh kinds [OPTIONS]   SNR x duration x noise kind x generator (ours
#                                      and tools/independent_synth.py): tools/sensitivity_sweep.py table
#   tools/sensitivity-sweep.sh false [OPTIONS]   20 hours of each noise kind, no ident:
#                                      tools/sensitivity_sweep.py false (--help for the options)
#
# Settings (environment): CLI (the sorvantel-cli to run; default build-sensitive's), SNRS,
# MINUTES, SEEDS (seeds per cell), HOURS (of each kind of noise), JOBS (recordings analysed at
# once). Each recording is an ident of 2 or 3 letters at 6 to 8 wpm, period 6 to 12 s, tone 900
# to 1100 Hz, in noise of 16 counts rms on the default band; the seed picks the ident and the
# noise. Run it with nice on a shared machine: the table takes about an hour of one core.
set -euo pipefail
cd "$(dirname "$0")/.."

CLI=${CLI:-build-sensitive/src/cli/sorvantel-cli}
SNRS=${SNRS:-"0 -3 -6 -9 -12 -15 -18 -21 -24"}
MINUTES=${MINUTES:-"5 10 20 40"}
SEEDS=${SEEDS:-3}
HOURS=${HOURS:-10}
JOBS=${JOBS:-2}

# ident tone period wpm: 2 and 3 letters, 6 to 8 wpm, 6 to 12 s, 900 to 1100 Hz (some between
# two lines, one at the range's lower edge).
CASES_TEXT="DGU 1015 8 8
AB 1023.4 6 6
KX 947 10.5 7
RAM 1090 12 6
SN 905 7 8
YQ 1062.5 9 7
OHM 980.5 11 8
TZ 1039 6.5 6"

[[ -x "$CLI" ]] || { echo "no $CLI: build the target sorvantel-cli first" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One recording, both detectors: prints "minutes snr seed detector correct false".
one_cell_run() {
    local minutes=$1 snr=$2 seed=$3 CASES
    mapfile -t CASES <<<"$CASES_TEXT"
    local index=$(( (seed - 1 + ${minutes%.*} / 5 + ${snr#-} / 3) % ${#CASES[@]} ))
    read -r ident tone period wpm <<<"${CASES[$index]}"
    local wav="$WORK/r-$minutes-$snr-$seed.wav"
    "$CLI" synth --ident "$ident" --tone "$tone" --period "$period" --wpm "$wpm" \
        --snr "$snr" --minutes "$minutes" --seed "$seed" "$wav" 2>/dev/null
    for detector in sensitive classic; do
        local out correct=0 false=0
        out=$("$CLI" analyse --json --detector "$detector" "$wav" 2>/dev/null || true)
        while IFS= read -r line; do
            [[ -z "$line" ]] && continue
            local got p
            got=$(sed -n 's/.*"ident":"\([^"]*\)".*/\1/p' <<<"$line")
            p=$(sed -n 's/.*"period_s":\([-0-9.e]*\).*/\1/p' <<<"$line")
            if [[ "$got" == "$ident" ]] && awk -v a="$p" -v b="$period" 'BEGIN { exit !(a - b < 0.05 && b - a < 0.05) }'; then
                correct=1
            else
                false=$((false + 1))
            fi
        done <<<"$out"
        echo "$minutes $snr $seed $detector $correct $false $ident"
    done
    rm -f "$wav"
}

table() {
    export -f one_cell_run
    export CLI WORK CASES_TEXT
    local jobs="$WORK/jobs"
    : >"$jobs"
    for minutes in $MINUTES; do
        for snr in $SNRS; do
            for ((seed = 1; seed <= SEEDS; ++seed)); do echo "$minutes $snr $seed" >>"$jobs"; done
        done
    done
    local results="$WORK/results"
    xargs -P "$JOBS" -L 1 bash -c 'one_cell_run "$@"' _ <"$jobs" >"$results"
    sort -k1,1n -k2,2nr -k3,3n "$results" >&2
    echo
    printf '| SNR (dB in 2500 Hz) |'
    for minutes in $MINUTES; do printf ' %s min: sensitive | %s min: classic |' "$minutes" "$minutes"; done
    echo
    printf '|---|'
    for minutes in $MINUTES; do printf -- '---|---|'; done
    echo
    for snr in $SNRS; do
        printf '| %s |' "$snr"
        for minutes in $MINUTES; do
            for detector in sensitive classic; do
                awk -v m="$minutes" -v s="$snr" -v d="$detector" \
                    '$1 == m && $2 == s && $4 == d { n++; c += $5; f += $6 }
                     END { printf " %d/%d%s |", c, n, f ? sprintf(", %d false", f) : "" }' "$results"
            done
        done
        echo
    done
}

# Noise in chunks of two store lengths (two segments of 65536 rows each), seeds from 1000.
noise() {
    local kind=$1 chunk=4194 total=$((HOURS * 3600)) done=0 seed=1000 found_s=0 found_c=0 segments=0
    local carriers=()
    [[ "$kind" == carriers ]] && carriers=(--steady 950 --steady 1000.05 --steady-level -6 --steady 1031.25
                                           --steady-level 6 --steady 1070.3 --steady-level -3
                                           --steady 1070.4 --steady-level -3)
    while ((done < total)); do
        local wav="$WORK/noise-$seed.wav"
        "$CLI" synth "${carriers[@]}" --snr 0 --seconds "$chunk" --seed "$seed" "$wav" 2>/dev/null
        local s c
        s=$("$CLI" analyse --detector sensitive "$wav" 2>/dev/null | tee -a "$WORK/false-$kind" | wc -l)
        c=$("$CLI" analyse --detector classic "$wav" 2>/dev/null | wc -l)
        found_s=$((found_s + s))
        found_c=$((found_c + c))
        segments=$((segments + 2))
        done=$((done + chunk))
        seed=$((seed + 1))
        rm -f "$wav"
    done
    echo "| $kind | $(awk -v s="$done" 'BEGIN { printf "%.1f", s / 3600 }') h | $segments | $found_s | $found_c |"
    [[ -s "$WORK/false-$kind" ]] && cat "$WORK/false-$kind" >&2 || true
}

case "${1:-}" in
    kinds) shift; rm -rf "$WORK"; exec tools/sensitivity_sweep.py table --cli "$CLI" --jobs "$JOBS" "$@" ;;
    false) shift; rm -rf "$WORK"; exec tools/sensitivity_sweep.py false --cli "$CLI" --jobs "$JOBS" "$@" ;;
    table) table ;;
    noise)
        echo "| Noise | Length | Searches | Sensitive: idents | Classic: idents |"
        echo "|---|---|---|---|---|"
        noise pure
        noise carriers
        ;;
    *) echo "usage: $0 table|noise|kinds|false" >&2; exit 2 ;;
esac
