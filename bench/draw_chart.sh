#!/bin/sh
# Draws bench_containers' JSON results as the chart of docs/performance.md,
# an SVG written whole to CHART (through CHART.part and a rename): jq turns
# the JSON into columns (chart_columns.jq), gnuplot draws them (chart.gp).
#
#   bench/draw_chart.sh RESULTS.json CHART.svg
set -eu
here=$(dirname "$0")
results=$1
chart=$2
trap 'rm -f "$chart.columns" "$chart.part"' EXIT
trap 'exit 130' INT HUP TERM
jq -r -f "$here/chart_columns.jq" "$results" > "$chart.columns"
if [ ! -s "$chart.columns" ]; then
  echo "draw_chart.sh: $results: holds no benchmark results named NAME/n" >&2
  exit 2
fi
gnuplot -c "$here/chart.gp" "$chart.columns" > "$chart.part"
mv -f "$chart.part" "$chart"
