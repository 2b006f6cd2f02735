#!/usr/bin/env bash
# The query pass against the Python yardstick, run in alternating pairs so
# that both meet the same machine load: prints each pair's CPU per pass and
# their ratio, then the median ratio and the median of each side.
# Usage: bench/baseline/compare_pass.sh BUILD_DIR [pairs=5] [workers=50] [seconds=10]
set -euo pipefail
build=${1:?usage: compare_pass.sh BUILD_DIR [pairs] [workers] [seconds]}
pairs=${2:-5}
workers=${3:-50}
seconds=${4:-10}
here=$(dirname "$0")

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'; }
cpu_per_pass() { sed -n 's/.*CPU per pass \([0-9.]*\) us.*/\1/p'; }

quillet=() python=() ratios=()
for ((p = 1; p <= pairs; p++)); do
  q=$("$build"/bench/grab/bench_query_pass "$workers" "$seconds" | cpu_per_pass)
  y=$(python3 "$here"/python_grabber.py "$build"/sim/quillet-sim "$workers" "$seconds" | cpu_per_pass)
  r=$(awk -v y="$y" -v q="$q" 'BEGIN { printf "%.1f", y / q }')
  printf 'pair %d: quillet %s us, python %s us, ratio %s\n' "$p" "$q" "$y" "$r"
  quillet+=("$q") python+=("$y") ratios+=("$r")
done
printf 'median: quillet %s us, python %s us, ratio of pairs %s\n' "$(printf '%s\n' "${quillet[@]}" | median)" \
  "$(printf '%s\n' "${python[@]}" | median)" "$(printf '%s\n' "${ratios[@]}" | median)"
