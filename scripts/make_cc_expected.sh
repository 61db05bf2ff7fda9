#!/usr/bin/env bash
# Writes tests/data/expected/<name>.cc.tsv for every real capture: the PIDs,
# one "0xXXXX" per line in ascending order, on which an independent reader
# finds a continuity counter error. tests/validation/CaptureCheckTest.cpp
# compares them with the PIDs of the Continuity_count_error findings of the
# stream checker.
#
# The reading is tshark's (Wireshark's MPEG-2 TS dissector): the PIDs of the
# packets it marks with mp2t.cc.drop. ETSI TR 101 290 (1.4) differs from
# tshark in two rules, applied here to tshark's own per-packet fields:
#   - a packet may be repeated once, not more: a third payload packet in a
#     row of a PID with the same counter is an error (tshark allows any
#     number of repeats);
#   - a packet whose adaptation field sets discontinuity_indicator may break
#     the count (tshark flags it).
#
# tshark is needed only here, not by the tests. The captures themselves are
# never copied into the project.
#
# Usage: scripts/make_cc_expected.sh [capture folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tshark-setup.sh" "$@"
[[ -d "$captures" ]] || { echo "$captures not found" >&2; exit 2; }

for stream in "$captures"/*.ts; do
  [[ -e "$stream" ]] || continue
  name="$(basename "$stream" .ts)"
  tshark -r "$stream" -n -T fields -E separator=/t -E occurrence=f \
    -e mp2t.pid -e mp2t.tei -e mp2t.afc -e mp2t.cc -e mp2t.af.di -e mp2t.cc.drop \
    >"$scratch/fields.tsv" 2>"$scratch/tshark.err" || {
      cat "$scratch/tshark.err" >&2
      exit 2
    }
  python3 - "$scratch/fields.tsv" >"$scratch/out.tsv" <<'PYTHON'
import sys

flagged = set()
last = {}  # PID -> (counter, repeats) of its last payload packet
with open(sys.argv[1]) as f:
    for line in f:
        pid, tei, afc, cc, di, drop = (line.rstrip("\n").split("\t") + [""] * 6)[:6]
        if pid == "" or tei == "1":
            continue  # no header, or one that cannot be trusted
        pid, afc, cc = int(pid, 0), int(afc, 0), int(cc, 0)
        discontinuity = di == "1"
        if drop != "" and not discontinuity:
            flagged.add(pid)
        if pid == 0x1FFF or not afc & 1:
            continue
        counter, repeats = last.get(pid, (None, 0))
        repeats = repeats + 1 if cc == counter and not discontinuity else 0
        if repeats >= 2:
            flagged.add(pid)
        last[pid] = (cc, repeats)
sys.stdout.write("".join("0x%04X\n" % p for p in sorted(flagged)))
PYTHON
  mv "$scratch/out.tsv" "$out/$name.cc.tsv"
  echo "$name: $(wc -l <"$out/$name.cc.tsv") PID(s) with continuity errors"
done
