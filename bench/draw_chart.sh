#!/bin/sh
# Draws bench_containers' JSON results as the chart of docs/performance.md,
# an SVG on stdout: jq turns the JSON into columns (chart_columns.jq), in a
# temporary file that gnuplot reads once a panel, and gnuplot draws them
# (chart.gp) into another, which is printed once it is whole.
#
#   bench/draw_chart.sh RESULTS.json > CHART.svg
#
# Exit status: 0 when the chart was printed; 1 when stdout can't be written
# or gnuplot fails; 2 for a usage error or results that can't be drawn,
# each one line on stderr naming the file and what is wrong.
set -u
me=draw_chart.sh
if [ $# -ne 1 ]; then
  echo "$me: usage: draw_chart.sh RESULTS.json" >&2
  exit 2
fi
here=$(dirname "$0")
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT HUP TERM
# A file size limit is then a failed write, said as any other.
trap '' XFSZ
say() {
  printf '%s: %s: %s\n' "$me" "$1" "$2" >&2
  exit "$3"
}
if [ -d "$1" ]; then
  say "$1" "is a folder, not benchmark results" 2
elif [ ! -e "$1" ] || [ ! -r "$1" ]; then
  say "$1" "cannot be read" 1
fi
if ! jq -r -f "$here/chart_columns.jq" -- "$1" > "$work/columns" 2> "$work/error"; then
  # jq's own first line, without its "jq: error (at FILE:N): " prefix
  say "$1" "$(sed -n '1{s/^jq: error (at [^)]*): //;s/^jq: //;p;}' "$work/error")" 2
fi
if [ ! -s "$work/columns" ]; then
  say "$1" "holds no benchmark results named NAME/n" 2
fi
if ! gnuplot -c "$here/chart.gp" "$work/columns" > "$work/chart.svg" 2> "$work/error"; then
  say "$1" "gnuplot failed: $(head -n 1 "$work/error")" 1
fi
if ! cat "$work/chart.svg" 2> "$work/error"; then
  echo "$me: write error: $(sed -n '1{s/.*: //;p;}' "$work/error")" >&2
  exit 1
fi
