#!/usr/bin/env bash
# Runs main_llist and main_std (the same workload on std::multiset and
# std::forward_list, built with the same flags) on one sample.txt and prints
# a table: best wall time of RUNS runs (interleaved), instructions counted by
# valgrind --tool=callgrind, and peak resident memory.
#
#   [RUNS=N] bench/compare_runs.sh [BUILD_DIR [SAMPLE_FILE]]
#
# BUILD_DIR defaults to build; without SAMPLE_FILE a sample of 1,000,000
# random ints is made with seed 1 (the program always reads 1,000,000).
# RUNS defaults to 5. Status 2 when something it needs is missing, 1 when a
# run fails.
set -euo pipefail
me=compare_runs.sh
build=$(realpath -m "${1:-build}")
runs=${RUNS:-5}
if ! [[ $runs =~ ^[1-9][0-9]{0,2}$ ]]; then
  echo "$me: RUNS must be a whole number from 1 to 999, not \"$runs\"" >&2
  exit 2
fi

# Everything it runs, checked before anything starts.
need() {
  if ! command -v "$1" >/dev/null 2>&1; then
    echo "$me: needs $1: apt-get install $2" >&2
    exit 2
  fi
}
need /usr/bin/time time
need valgrind valgrind
need awk mawk
for program in make_sample main_llist bench/main_std; do
  if [ ! -x "$build/$program" ]; then
    echo "$me: no $build/$program: build first (cmake -S . -B build && cmake --build build -j 2)" >&2
    exit 2
  fi
done
if [ -n "${2:-}" ] && [ ! -r "$2" ]; then
  echo "$me: $2: cannot read" >&2
  exit 2
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "${2:-}" ]; then
  cp "$2" "$work/sample.txt"
else
  "$build/make_sample" 1000000 1 > "$work/sample.txt"
fi
cd "$work"

# Runs a program once; stops the script with its messages if it fails.
run_once() {
  if ! "$@" >/dev/null 2>run.err; then
    echo "$me: $1 failed:" >&2
    cat run.err >&2
    exit 1
  fi
}

programs=("$build/main_llist" "$build/bench/main_std")
declare -A best peak
for _ in $(seq "$runs"); do
  for program in "${programs[@]}"; do
    run_once /usr/bin/time -o time.txt -f '%e %M' "$program"
    read -r seconds kbytes < time.txt
    if [ -z "${best[$program]:-}" ] || awk "BEGIN { exit !($seconds < ${best[$program]}) }"; then
      best[$program]=$seconds
    fi
    peak[$program]=$kbytes
  done
done

echo "| program | wall time, best of $runs (s) | instructions | peak resident (MiB) |"
echo "|---|---|---|---|"
for program in "${programs[@]}"; do
  # valgrind now and then dies of the -pg build's profiling timer, before
  # its count or after it: retry until the count is out, with the shell's
  # word of the signal kept off the table.
  instructions=
  for _ in 1 2 3 4 5; do
    sh -c 'valgrind --tool=callgrind --callgrind-out-file=/dev/null "$0" >/dev/null 2>callgrind.log' \
      "$program" 2>/dev/null || true
    instructions=$(sed -n 's/.*Collected : //p' callgrind.log)
    [ -n "$instructions" ] && break
  done
  if [ -z "$instructions" ]; then
    echo "$me: valgrind counted nothing for $program in five tries:" >&2
    tail -5 callgrind.log >&2
    exit 1
  fi
  mib=$(awk "BEGIN { printf \"%.1f\", ${peak[$program]} / 1024 }")
  echo "| $(basename "$program") | ${best[$program]} | $instructions | $mib |"
done
