#!/usr/bin/env bash
# Writes tests/data/expected/<name>.programs.json: how ffprobe (FFmpeg's
# MPEG-TS demuxer, an independent reader) sees the programs of every fixture
# in tests/data and of every real capture: per program its number, PMT PID,
# PCR PID, service name and provider, and its streams as [PID, stream_type]
# (ffprobe's codec_tag is the PMT's stream_type). For the clean
# constant-rate fixtures it adds ffprobe's duration and, per stream, the
# first and last PTS of its packets in file order, in seconds.
#
# tests/analysis/AnalysisAgreementTest.cpp compares the analysis with these
# files. The captures are never copied into the project; only these files
# are committed. ffprobe is needed only here, not by the tests.
#
# Usage: scripts/make_analysis_expected.sh [capture folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
data="$here/../tests/data"
captures="${1:-$here/../../shared/streams}"
command -v ffprobe >/dev/null || { echo "ffprobe is required" >&2; exit 2; }
mkdir -p "$data/expected"

streams=("$data"/*.ts)
[[ -d "$captures" ]] && streams+=("$captures"/*.ts)
for stream in "${streams[@]}"; do
  [[ -e "$stream" ]] || continue
  name="$(basename "$stream" .ts)"
  timed=0
  [[ "$name" == analysis-cbr || "$name" == analysis-m2ts ]] && timed=1
  # ffprobe gives no "programs" at all for a stream whose PAT it never read.
  ffprobe -v quiet -show_programs -show_format -of json "$stream" >"$data/expected/$name.ffprobe.tmp" || true
  if ((timed == 1)); then
    ffprobe -v quiet -show_entries packet=stream_index,pts_time -show_entries stream=index,id -of json "$stream" \
      >"$data/expected/$name.packets.tmp"
  else
    echo '{}' >"$data/expected/$name.packets.tmp"
  fi
  python3 - "$data/expected/$name.ffprobe.tmp" "$data/expected/$name.packets.tmp" \
    >"$data/expected/$name.programs.json" <<'PYTHON'
import json
import sys

probe = json.load(open(sys.argv[1]))
packets = json.load(open(sys.argv[2]))
programs = []
for p in probe.get("programs", []):
    tags = p.get("tags", {})
    programs.append({
        "program_number": p["program_num"],
        "pmt_pid": p["pmt_pid"],
        "pcr_pid": p["pcr_pid"],  # 0 where ffprobe read no PMT
        "name": tags.get("service_name"),
        "provider": tags.get("service_provider"),
        "streams": [[int(s["id"], 16), int(s["codec_tag"], 16)] for s in p.get("streams", [])],
    })
result = {"programs": programs}
if packets.get("packets"):
    pid_of = {s["index"]: int(s["id"], 16) for s in packets["streams"]}
    pts = {}
    for k in packets["packets"]:
        if "pts_time" in k:
            first_last = pts.setdefault(str(pid_of[k["stream_index"]]), [float(k["pts_time"])] * 2)
            first_last[1] = float(k["pts_time"])
    result["duration"] = float(probe["format"]["duration"])
    result["pts"] = pts
json.dump(result, sys.stdout, indent=1, sort_keys=True, ensure_ascii=False)
sys.stdout.write("\n")
PYTHON
  rm -f "$data/expected/$name.ffprobe.tmp" "$data/expected/$name.packets.tmp"
  echo "$name: $(python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))["programs"]))' \
    "$data/expected/$name.programs.json") programs"
done
