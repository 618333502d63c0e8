#!/bin/sh
# Draws bench_containers' JSON results as the chart of docs/performance.md,
# an SVG on stdout: jq turns the JSON into columns (chart_columns.jq), in a
# temporary file that gnuplot reads once a panel, and gnuplot draws them
# (chart.gp).
#
#   bench/draw_chart.sh RESULTS.json > CHART.svg
set -eu
here=$(dirname "$0")
columns=$(mktemp)
trap 'rm -f "$columns"' EXIT
trap 'exit 130' INT HUP TERM
jq -r -f "$here/chart_columns.jq" "$1" > "$columns"
if [ ! -s "$columns" ]; then
  echo "draw_chart.sh: $1: holds no benchmark results named NAME/n" >&2
  exit 2
fi
gnuplot -c "$here/chart.gp" "$columns"
