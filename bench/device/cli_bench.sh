#!/bin/sh
# tervo-cli over pseudo-terminals against tervo-devsim, at the shipped pacing:
#  - backup of one device against its floor (89 pauses of 50 ms between 90 commands),
#  - restore of a full snapshot to 8 devices at once against restore to 1, same run,
#  - peak resident memory of tervo-cli with 8 devices.
# Usage: bench/device/cli_bench.sh [BUILD_DIR] [RUNS]
set -eu
build=${1:-build}
runs=${2:-3}
cli=$build/tools/tervo-cli
sim=$build/tools/tervo-devsim
work=$(mktemp -d)
pids=""
cleanup() {
    for pid in $pids; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

ports=""
for i in 1 2 3 4 5 6 7 8; do
    "$sim" --id "10$i" >"$work/sim$i.out" 2>/dev/null &
    pids="$pids $!"
done
for i in 1 2 3 4 5 6 7 8; do
    while [ ! -s "$work/sim$i.out" ]; do sleep 0.05; done
    ports="$ports --port $(head -1 "$work/sim$i.out")"
done
first=$(head -1 "$work/sim1.out")

ms() { date +%s%3N; }

echo "backup of one device (floor 4450 ms: 89 pauses of 50 ms)"
for run in $(seq "$runs"); do
    start=$(ms)
    "$cli" backup --quiet --port "$first" --out "$work/ref.snapshot"
    end=$(ms)
    echo "  run $run: $((end - start)) ms, $(( (end - start) * 1000 / 4450 - 1000 )) per mille over"
done

echo "restore of the backup ($(grep -c '^P' "$work/ref.snapshot") keys, read back): 1 device vs 8 at once"
for run in $(seq "$runs"); do
    start=$(ms)
    "$cli" restore --quiet --port "$first" "$work/ref.snapshot"
    one=$(( $(ms) - start ))
    start=$(ms)
    # shellcheck disable=SC2086
    /usr/bin/time -f "%M" -o "$work/rss" "$cli" restore --quiet $ports "$work/ref.snapshot"
    eight=$(( $(ms) - start ))
    echo "  run $run: 1 device $one ms, 8 devices $eight ms, ratio $(( eight * 100 / one ))/100," \
         "peak RSS with 8 devices $(cat "$work/rss") KiB"
done
