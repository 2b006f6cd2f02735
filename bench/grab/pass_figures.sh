#!/usr/bin/env bash
# Medians of the query-pass figures over several runs: the whole pass
# (bench_query_pass), the program's HTTP exchange alone and the plain socket
# exchange alone (bench_pass_layers), N workers for S seconds each.
# Usage: bench/grab/pass_figures.sh BUILD_DIR [runs=5] [workers=50] [seconds=10]
set -euo pipefail
build=${1:?usage: pass_figures.sh BUILD_DIR [runs] [workers] [seconds]}
runs=${2:-5}
workers=${3:-50}
seconds=${4:-10}
bench=$build/bench/grab

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }

cpu_per_pass() { sed -n 's/.*CPU per pass \([0-9.]*\) us.*/\1/p'; }

# The layers take turns, so that each run of one meets the machine as the
# others do.
declare -A figures
for ((r = 0; r < runs; r++)); do
  figures[pass]+="$("$bench"/bench_query_pass "$workers" "$seconds" | cpu_per_pass) "
  for layer in exchange socket; do
    figures[$layer]+="$("$bench"/bench_pass_layers "$layer" "$workers" "$seconds" | cpu_per_pass) "
  done
done
for layer in pass exchange socket; do
  read -ra values <<<"${figures[$layer]}"
  printf '%-9s CPU per pass, median of %d: %s us (runs: %s)\n' "$layer" "$runs" \
    "$(printf '%s\n' "${values[@]}" | median)" "${values[*]}"
done
