#!/usr/bin/env bash
# Runs two builds of tessaro-cli over every fixture and every shared capture and
# reports where their outputs differ: list --all, pids, every find command from
# the first row and from spread-out rows, and the decode tree of every packet
# with and without field positions.
#
#   scripts/compare-cli.sh OLD_CLI NEW_CLI [WORK_DIR]
#
# Exit status 0 when every output is identical, 1 otherwise (the differing
# files are listed, and the first lines of each difference shown).
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OLD_CLI NEW_CLI [WORK_DIR]" >&2; exit 2; }
old=$(realpath "$1")
new=$(realpath "$2")
work=${3:-$(mktemp -d)}
top=$(cd "$(dirname "$0")/.." && pwd)
kinds=(pat pmt cat nit sdt eit tdt bat rst tot payload-start pcr)

streams=("$top"/tests/data/*.ts)
[ -d "$top/../shared/streams" ] && streams+=("$top"/../shared/streams/*.ts)

# Everything one build prints for one stream, under $2/<stream name>/.
run_one() {
  local cli=$1 out=$2 file=$3
  mkdir -p "$out"
  "$cli" list "$file" --all >"$out/list" 2>&1 || echo "exit $?" >>"$out/list"
  "$cli" pids "$file" >"$out/pids" 2>&1 || echo "exit $?" >>"$out/pids"
  cut -f1 "$out/list" | grep '^0x' >"$out/offsets" || true
  local count
  count=$(wc -l <"$out/offsets")
  # Rows to search from: the first, then about twenty spread over the file.
  local step=$(( count / 20 + 1 ))
  awk -v s="$step" 'NR == 1 || NR % s == 0' "$out/offsets" >"$out/from"
  : >"$out/find"
  while read -r from; do
    for kind in "${kinds[@]}"; do
      printf '%s %s: ' "$from" "$kind" >>"$out/find"
      "$cli" find "$file" --next "$kind" --from "$from" >>"$out/find" 2>&1 || true
    done
    for pid in $(grep '^0x' "$out/pids"); do
      printf '%s pid %s: ' "$from" "$pid" >>"$out/find"
      "$cli" find "$file" --pid "$pid" --from "$from" >>"$out/find" 2>&1 || true
    done
  done <"$out/from"
  : >"$out/tree"
  : >"$out/positions"
  while read -r offset; do
    echo "== $offset" >>"$out/tree"
    "$cli" tree "$file" --offset "$offset" >>"$out/tree" 2>&1 || echo "exit $?" >>"$out/tree"
    echo "== $offset" >>"$out/positions"
    "$cli" tree "$file" --offset "$offset" --positions >>"$out/positions" 2>&1 || echo "exit $?" >>"$out/positions"
  done <"$out/offsets"
}

status=0
for file in "${streams[@]}"; do
  name=$(basename "$file" .ts)
  run_one "$old" "$work/old/$name" "$file" &
  run_one "$new" "$work/new/$name" "$file"
  wait
  for part in list pids find tree positions; do
    if ! cmp -s "$work/old/$name/$part" "$work/new/$name/$part"; then
      echo "DIFFERENT: $name $part"
      diff "$work/old/$name/$part" "$work/new/$name/$part" | head -n 20 || true
      status=1
    fi
  done
  echo "compared $name: $(wc -l <"$work/old/$name/offsets") packets"
done
echo "outputs kept in $work"
exit $status
