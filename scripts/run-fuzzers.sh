#!/usr/bin/env bash
# Runs every fuzz target in a folder for a fixed time each; fails on any crash.
set -euo pipefail
dir=$1
seconds=${2:-20}
corpus_root=$(mktemp -d)
trap 'rm -rf "$corpus_root"' EXIT
# Seeds: the start of every fixture stream.
seeds="$corpus_root/seeds"
mkdir -p "$seeds"
for f in "$(cd "$(dirname "$0")/.." && pwd)"/tests/data/*.ts; do
  head -c 65536 "$f" >"$seeds/$(basename "$f")"
done
# and a small ELF file with a version block: the compiled block of a program.
find "$dir/.." -name '*_version_block.cpp.o' -size -64k -exec cp {} "$seeds/" \; -quit
count=0
for target in "$dir"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$corpus_root/$name"
  mkdir -p "$corpus"
  echo "== $name (${seconds}s)"
  "$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 \
    "$corpus" "$seeds" 2>"$corpus_root/$name.log" || { tail -n 60 "$corpus_root/$name.log"; exit 1; }
  grep -E 'stat::number_of_executed_units' "$corpus_root/$name.log" || true
  count=$((count + 1))
done
[ "$count" -gt 0 ] || { echo "no fuzz targets found in $dir" >&2; exit 1; }
echo "fuzzing: $count targets ran clean"
