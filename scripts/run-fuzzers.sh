#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a bounded time on its seed corpus.
# Usage: scripts/run-fuzzers.sh BUILD_DIR SECONDS_PER_TARGET
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1; seconds=${2:-20}
shopt -s nullglob
targets=("$build"/tests/fuzz/fuzz_*)
[ ${#targets[@]} -gt 0 ] || { echo "no fuzz targets built in $build"; exit 0; }
for target in "${targets[@]}"; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=$(mktemp -d)
  seeds=tests/fuzz/corpus/${name#fuzz_}
  [ -d "$seeds" ] && cp -r "$seeds"/. "$corpus"/
  echo "-- $name for ${seconds}s"
  log=$(mktemp)
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      "$corpus" >"$log" 2>&1; then
    tail -n 60 "$log"; echo "$name: FAILED"; exit 1
  fi
  grep -E 'stat::number_of_executed_units' "$log" || true
  rm -f "$log"
  rm -rf "$corpus"
done
