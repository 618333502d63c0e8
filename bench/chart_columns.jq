# bench_containers' JSON results as the columns that chart.gp draws, a row
# per benchmark and size n: "NAME N NANOSECONDS_PER_OPERATION", sorted by
# name and n. With repetitions, each run's median is taken; rows that report
# an error, and rows not named NAME/n, are left out. A time that isn't a
# positive number can't be drawn on the chart's log scale: it is an error.
def nanoseconds: {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[.time_unit];
if (.benchmarks | type) != "array" then error("no \"benchmarks\" array of results") else . end
| [ .benchmarks[]
  | select(.error_occurred != true)
  | select(.aggregate_name == "median" or (.run_type != "aggregate" and (.repetitions // 1) <= 1))
  | (.run_name // .name | split("/")) as [$name, $n]
  | select($n != null and ($n | test("^[0-9]+$")))
  | if (.real_time | type) != "number" or .real_time <= 0
    then error("\($name)/\($n): a time that isn't a positive number: \(.real_time)") else . end
  | {name: $name, n: ($n | tonumber), ns: (.real_time * nanoseconds / ($n | tonumber))} ]
| sort_by(.name, .n)[]
| "\(.name) \(.n) \(.ns)"
