#!/usr/bin/env bash
# Runs main_llist and main_std (the same workload on std::multiset and
# std::forward_list, built with the same flags) on one sample.txt and prints
# a table: best wall time of RUNS runs (interleaved), instructions counted by
# valgrind --tool=callgrind, and peak resident memory.
#
#   bench/compare_runs.sh [BUILD_DIR [SAMPLE_FILE]]
#
# BUILD_DIR defaults to build; without SAMPLE_FILE a sample of 1,000,000
# random ints is made with seed 1. RUNS defaults to 5.
set -euo pipefail
build=$(realpath "${1:-build}")
runs=${RUNS:-5}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "${2:-}" ]; then
  cp "$2" "$work/sample.txt"
else
  "$build/make_sample" "$work/sample.txt" 1000000 1
fi
cd "$work"

programs=("$build/main_llist" "$build/bench/main_std")
declare -A best peak
for _ in $(seq "$runs"); do
  for program in "${programs[@]}"; do
    read -r seconds kbytes < <(/usr/bin/time -f '%e %M' "$program" 2>&1 >/dev/null)
    if [ -z "${best[$program]:-}" ] || awk "BEGIN { exit !($seconds < ${best[$program]}) }"; then
      best[$program]=$seconds
    fi
    peak[$program]=$kbytes
  done
done

echo "| program | wall time, best of $runs (s) | instructions | peak resident (MiB) |"
echo "|---|---|---|---|"
for program in "${programs[@]}"; do
  # valgrind now and then dies of the -pg build's profiling timer: retry.
  for _ in 1 2 3 4 5; do
    valgrind --tool=callgrind --callgrind-out-file=/dev/null "$program" >/dev/null 2>callgrind.log && break
  done
  instructions=$(sed -n 's/.*Collected : //p' callgrind.log)
  mib=$(awk "BEGIN { printf \"%.1f\", ${peak[$program]} / 1024 }")
  echo "| $(basename "$program") | ${best[$program]} | $instructions | $mib |"
done
