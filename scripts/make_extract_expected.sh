#!/usr/bin/env bash
# Writes tests/data/expected/<name>.program-<N>.ffprobe.txt: how ffprobe (an
# independent reader, FFmpeg's MPEG-TS demuxer) reads the single-program
# stream that `tessaro-cli extract-program` makes from a fixture. The first
# line holds the size and CRC-32/MPEG-2 of the bytes ffprobe read, so that
# tests/browser/ExtractionTest.cpp can tell that the stream it makes is the
# one read here; the lines after it are ffprobe's programs and streams.
#
# ffprobe is needed only here, not by the tests.
#
# Usage: scripts/make_extract_expected.sh [tessaro-cli]   (default: build/src/cli/tessaro-cli)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/.." && pwd)"
cli="${1:-$root/build/src/cli/tessaro-cli}"
data="$root/tests/data"
out="$data/expected"

command -v ffprobe >/dev/null || { echo "ffprobe is required (apt-get install ffmpeg)" >&2; exit 2; }
[ -x "$cli" ] || { echo "tessaro-cli not found at $cli" >&2; exit 2; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# fixture  program
cases=("two-programs 1" "two-programs 2" "one-program 1" "slots-192 1")
for c in "${cases[@]}"; do
  read -r name program <<<"$c"
  stream="$scratch/$name-$program.ts"
  "$cli" extract-program "$data/$name.ts" --program "$program" -o "$stream" 2>/dev/null
  ffprobe -v error -show_entries format=format_name:program=program_num,pmt_pid,pcr_pid:stream=id,codec_type,codec_name \
    -of json "$stream" >"$scratch/probe.json"
  PYTHONPATH="$here" python3 - "$stream" "$scratch/probe.json" "$out/$name.program-$program.ffprobe.txt" <<'PYTHON'
import json
import sys

from mpegcrc import crc32_mpeg2

stream, probe, target = sys.argv[1:]

data = open(stream, "rb").read()
info = json.load(open(probe))
lines = [f"bytes={len(data)} crc32=0x{crc32_mpeg2(data):08X}",
         f"format={info['format']['format_name']}",
         f"programs={len(info.get('programs', []))}"]
for p in info.get("programs", []):
    streams = ",".join(f"{s['id']}:{s['codec_type']}:{s['codec_name']}" for s in p.get("streams", []))
    lines.append(f"program program_num={p['program_num']} pmt_pid=0x{p['pmt_pid']:04X} "
                 f"pcr_pid=0x{p['pcr_pid']:04X} streams={streams}")
with open(target, "w") as f:
    f.write("\n".join(lines) + "\n")
PYTHON
  echo "$name program $program: $(sed -n 3,4p "$out/$name.program-$program.ffprobe.txt" | tr '\n' ' ')"
done
