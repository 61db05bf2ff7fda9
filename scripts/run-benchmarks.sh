#!/usr/bin/env bash
# Runs every benchmark program in a folder (make bench: build-bench/bench) and
# prints a PASS/FAIL/SKIP summary. A FAIL line is a measured result, not an
# error: the exit status is non-zero only when a benchmark program crashes or
# cannot be run.
#
#   scripts/run-benchmarks.sh BENCH_DIR [extra arguments for every program]
#
# Environment: TESSARO_CLI (default: BENCH_DIR/../src/cli/tessaro-cli),
# TESSARO_STREAMS (default: ../shared/streams beside the project; absent is
# fine), TESSARO_BENCH_TMP (where the large stream files go; default $TMPDIR
# or /var/tmp; about 3 GiB is written there and removed afterwards).
set -uo pipefail

dir=${1:?usage: run-benchmarks.sh BENCH_DIR [arguments]}
shift
root="$(cd "$(dirname "$0")/.." && pwd)"
dir="$(cd "$dir" && pwd)" || exit 2
cli=${TESSARO_CLI:-"$dir/../src/cli/tessaro-cli"}
streams=${TESSARO_STREAMS:-"$root/../shared/streams"}
tmp_parent=${TESSARO_BENCH_TMP:-${TMPDIR:-/var/tmp}}

# The established tools shown beside the passes (ffmpeg, ts2es, tsreport) are
# not installed here: a benchmark skips a tool that is absent and says so.
for tool in ffmpeg ts2es tsreport; do
  command -v "$tool" >/dev/null || echo "note: $tool is not installed; its comparison will skip"
done
# The passes benchmark times a cold cache too when it may drop the page cache (root).
[ "$(id -u)" -eq 0 ] || echo "note: not root; the cold-cache timings will skip"

if [ ! -x "$cli" ]; then
  echo "tessaro-cli not found at $cli" >&2
  exit 2
fi
[ -d "$streams" ] || echo "note: $streams is absent; benchmarks on real captures will skip"

work=$(mktemp -d "$tmp_parent/tessaro-bench.XXXXXX") || exit 2
log="$work/output.log"
# The programs delete their own files; this also covers a crash.
trap 'rm -rf "$work"' EXIT

count=0
crashed=0
for program in "$dir"/*; do
  [ -f "$program" ] && [ -x "$program" ] || continue
  count=$((count + 1))
  files="$work/files"
  mkdir -p "$files"
  echo "#### $(basename "$program")"
  "$program" --cli "$cli" --streams "$streams" --data "$root/tests/data" --tmp "$files" "$@" | tee -a "$log"
  status=${PIPESTATUS[0]}
  rm -rf "$files"
  if [ "$status" -ne 0 ]; then
    echo "!!!! $(basename "$program") exited with status $status" | tee -a "$log"
    crashed=$((crashed + 1))
  fi
done

if [ "$count" -eq 0 ]; then
  echo "no benchmark programs found in $dir" >&2
  exit 2
fi

passes=$(grep -c '^PASS ' "$log")
fails=$(grep -c '^FAIL ' "$log")
skips=$(grep -c '^SKIP ' "$log")
echo
summary="$passes PASS, $fails FAIL, $skips SKIP ($count program(s)"
[ "$crashed" -gt 0 ] && summary+=", $crashed crashed"
echo "==== benchmarks: $summary)"
if [ "$fails" -gt 0 ]; then
  echo "failed targets:"
  grep '^FAIL ' "$log" | sed 's/^/  /'
fi
[ "$crashed" -eq 0 ]
