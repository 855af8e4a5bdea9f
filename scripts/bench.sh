#!/usr/bin/env bash
# Runs the benchmarks that report table rows and prints one table of them.
#   scripts/bench.sh [OUT.json]     (default: build/bench-results.json)
# Each benchmark appends one JSON object per row to a shared file (--json FILE);
# this script gathers them into one JSON array and prints the table. A new
# benchmark joins by taking --json and being listed below.
# KW_BENCH_QUICK=1 runs fewer rounds and only the short-pause transfers (a quick
# look, not figures to quote). The whole run takes about ten minutes.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
KW_BUILD_DIR=build scripts/build.sh
. scripts/offscreen-env.sh
out="${1:-build/bench-results.json}"
rows="$(mktemp /tmp/kw-bench-rows.XXXXXX)"
trap 'rm -f "$rows"' EXIT

if [ "${KW_BENCH_QUICK:-0}" = 1 ]; then
  gui_args=(--edits 1000 --fetches 20 --startups 5)
else
  gui_args=(--edits 5000 --fetches 500 --startups 20)
fi
build/bench/bench_gui "${gui_args[@]}" --json "$rows" --quiet
if [ "${KW_BENCH_QUICK:-0}" = 1 ]; then
  build/bench/bench_box_flood --seconds 5 --monitor-seconds 3 --json "$rows" --quiet
  build/bench/bench_fetch --fetches 5 --json "$rows" --quiet
  build/bench/bench_backup --short-only --json "$rows" --quiet
  build/bench/bench_huge_bank --rounds 2 --json "$rows" --quiet
  build/bench/bench_files_tool --rounds 3 --json "$rows" --quiet
  build/bench/bench_library --rounds 2 --json "$rows" --quiet
  build/bench/bench_library_window --rounds 1 --json "$rows" --quiet
  build/bench/bench_explore --rounds 20 --trials 5 --json "$rows" --quiet
else
  build/bench/bench_box_flood --json "$rows" --quiet
  build/bench/bench_fetch --fetches 20 --json "$rows" --quiet
  build/bench/bench_backup --json "$rows" --quiet   # about four minutes
  build/bench/bench_huge_bank --json "$rows" --quiet
  build/bench/bench_files_tool --json "$rows" --quiet
  build/bench/bench_library --json "$rows" --quiet
  build/bench/bench_library_window --json "$rows" --quiet
  build/bench/bench_explore --json "$rows" --quiet
fi

# One JSON array of every row, in the order the benchmarks wrote them.
{ echo "["; sed '$!s/$/,/' "$rows"; echo "]"; } > "$out"

# The table: each figure beside its goal as a ratio (the figure the goal is
# set on: the median, or the maximum for stalls).
awk '
  function field(name,   m) {
    if (match($0, "\"" name "\":\"[^\"]*\"")) { m = substr($0, RSTART, RLENGTH); sub("^\"" name "\":\"", "", m); sub("\"$", "", m); return m }
    if (match($0, "\"" name "\":[-0-9.eE+]+")) { m = substr($0, RSTART, RLENGTH); sub("^\"" name "\":", "", m); return m }
    return "-"
  }
  BEGIN { printf "%-36s %-15s %10s %10s %10s %6s %10s %7s  %s\n", "measure", "bench", "median", "p95", "max", "n", "goal", "ratio", "unit / note" }
  {
    goal = field("goal"); if (goal != "-" && field("goal_on") == "max") goal = "max " goal
    printf "%-36s %-15s %10s %10s %10s %6s %10s %7s  %s %s\n", field("row"), field("bench"), field("median"), field("p95"),
           field("max"), field("n"), goal, field("ratio"), field("unit"), (field("note") == "-" ? "" : field("note"))
  }' "$rows"
echo "(written to $out)"
