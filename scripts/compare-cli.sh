#!/usr/bin/env bash
# Runs two builds of tessaro-cli over every fixture and every shared capture and
# reports where their outputs differ: list --all, pids, every find command from
# the first row and from spread-out rows, the decode tree of every packet with
# and without field positions, and
# the whole-file commands: every extraction of every seen PID and program, both
# demultiplexers, validate and analyze (the files they write compared by content).
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

# The whole-file commands, run from the folder they write into so that the
# names they print are the same for both builds.
run_whole() {
  local cli=$1 out=$2 file=$3
  rm -rf "$out/files"
  mkdir -p "$out/files"
  (
    cd "$out/files"
    for pid in $(grep '^0x' "../pids"); do
      for command in extract-pids extract-pes extract-es; do
        "$cli" "$command" "$file" --pid "$pid" -o "$command-$pid" 2>&1 || echo "$command $pid: exit $?"
      done
    done
    for program in $(sed -n 's/^# //p' "../pids"); do
      "$cli" extract-program "$file" --program "$program" -o "program-$program" 2>&1 ||
        echo "extract-program $program: exit $?"
    done
    "$cli" demux-pes "$file" -o demux-pes 2>&1 || echo "demux-pes: exit $?"
    "$cli" demux-es "$file" -o demux-es 2>&1 || echo "demux-es: exit $?"
    "$cli" validate "$file" -o report.xml 2>&1 || echo "validate: exit $?"
    "$cli" analyze "$file" 2>&1 || echo "analyze: exit $?"
    "$cli" analyze "$file" --json 2>&1 || echo "analyze --json: exit $?"
    find . -type f | sort | xargs -r md5sum
  ) >"$out/whole"
  rm -rf "$out/files"
}

status=0
for file in "${streams[@]}"; do
  name=$(basename "$file" .ts)
  { run_one "$old" "$work/old/$name" "$file" && run_whole "$old" "$work/old/$name" "$file"; } &
  run_one "$new" "$work/new/$name" "$file"
  run_whole "$new" "$work/new/$name" "$file"
  wait
  for part in list pids find tree positions whole; do
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
