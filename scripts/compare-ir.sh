#!/usr/bin/env bash
# Counts the instructions (callgrind Ir) two builds of tessaro-cli spend on the
# same work, which wall-clock benchmarks on a busy machine cannot compare
# within a few percent. Each row counts only the calls that do the work (the
# function named by --toggle-collect), so process start-up, option parsing
# and printing stay out; the "start-up" row is a whole `probe` of a small file.
#
#   scripts/compare-ir.sh OLD_CLI NEW_CLI [WORK_DIR]
#
# Prints one row per operation: old Ir, new Ir and new/old. Rows on shared
# captures are left out when ../shared/streams is absent. Release builds of
# both are what the figures mean; needs valgrind.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 OLD_CLI NEW_CLI [WORK_DIR]" >&2; exit 2; }
old=$(realpath "$1")
new=$(realpath "$2")
work=${3:-$(mktemp -d)}
mkdir -p "$work/config"
top=$(cd "$(dirname "$0")/.." && pwd)
data=$top/tests/data
streams=$top/../shared/streams
# The validator's settings from an empty folder: its defaults, every check on.
export XDG_CONFIG_HOME=$work/config

# About 50 MB of the one-program fixture repeated: a whole-file pass.
big=$work/repeated.ts
if [ ! -s "$big" ]; then
  for _ in $(seq 454); do cat "$data/one-program.ts"; done >"$big"
fi

# name | function whose calls are counted ('' for the whole process) | arguments
cases=(
  "start-up (probe, whole process)||probe $data/one-program.ts"
  "page load, every page, one-program.ts|tessaro::TStreamBrowser::RefreshPosition*|list $data/one-program.ts --all"
  "page load, every page, two-programs.ts|tessaro::TStreamBrowser::RefreshPosition*|list $data/two-programs.ts --all"
  "find absent PID 0x1ABC, 50 MB|tessaro::TStreamBrowser::FindPID*|find $big --pid 0x1ABC"
  "extract-es 0x0100, 50 MB|tessaro::TExtractionCommands::ExtractES*|extract-es $big --pid 0x0100 -o OUT --force"
  "extract-pids 0x0100, 50 MB|tessaro::TExtractionCommands::ExtractPIDs*|extract-pids $big --pid 0x0100 -o OUT --force"
  "validate 50 MB (whole process)||validate $big"
)
if [ -d "$streams" ]; then
  cases+=(
    "page load, every page, dvb-nit-sdt-cat-tot.ts|tessaro::TStreamBrowser::RefreshPosition*|list $streams/dvb-nit-sdt-cat-tot.ts --all"
    "page load, every page, eit-schedule.ts|tessaro::TStreamBrowser::RefreshPosition*|list $streams/eit-schedule.ts --all"
    "tree dvb-si-mix.ts @3384|tessaro::TStreamBrowser::RefreshTSPacket*|tree $streams/dvb-si-mix.ts --offset 3384"
    "tree dvb-si-mix.ts @3384 --positions (whole process)||tree $streams/dvb-si-mix.ts --offset 3384 --positions"
    "tree eit-schedule.ts @0|tessaro::TStreamBrowser::RefreshTSPacket*|tree $streams/eit-schedule.ts --offset 0"
    "validate dvb-nit-sdt-cat-tot.ts (whole process)||validate $streams/dvb-nit-sdt-cat-tot.ts"
  )
fi

# Ir of one run: $1 cli, $2 toggle function, $3 output name, rest the arguments.
count() {
  local cli=$1 toggle=$2 tag=$3
  shift 3
  local args=("${@//OUT/$work/$tag.out}")
  local flags=(--tool=callgrind --callgrind-out-file="$work/$tag.cg")
  [ -n "$toggle" ] && flags+=(--collect-atstart=no --toggle-collect="$toggle")
  valgrind "${flags[@]}" "$cli" "${args[@]}" >/dev/null 2>"$work/$tag.err" || true
  awk '/^(summary|totals):/ { print $2; exit }' "$work/$tag.cg"
}

printf '%-48s %14s %14s %7s\n' operation old_Ir new_Ir new/old
n=0
for c in "${cases[@]}"; do
  IFS='|' read -r name toggle args <<<"$c"
  read -ra argv <<<"$args"
  n=$((n + 1))
  a=$(count "$old" "$toggle" "old$n" "${argv[@]}")
  b=$(count "$new" "$toggle" "new$n" "${argv[@]}")
  printf '%-48s %14s %14s %7s\n' "$name" "${a:-?}" "${b:-?}" \
    "$(awk -v a="${a:-0}" -v b="${b:-0}" 'BEGIN { if (a > 0) printf "%.3f", b / a; else print "?" }')"
done
