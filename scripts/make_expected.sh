#!/usr/bin/env bash
# Writes tests/data/expected/<name>.list.tsv: an independent reading, made with
# tshark (Wireshark's MPEG-2 TS dissector), of the transport header of every
# packet of a stream, in the text form of the packet list columns
#
#   Offset  PID  PLD  AF  CC  PCR  INFO
#
# one line per packet in file order, fields joined by one TAB, an empty PCR or
# INFO left as an empty field. tests/cli/ListAgreementTest.cpp compares these
# files with `tessaro-cli list FILE --all`.
#
# Streams read: every .ts file of the real-capture folder (default
# ../shared/streams beside the project; those captures are never copied into
# the project, only these expectation files are committed), plus the 188-byte
# fixtures one-program.ts and two-programs.ts of tests/data.
#
# tshark is needed only here, not by the tests.
#
# Usage: scripts/make_expected.sh [capture folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tshark-setup.sh" "$@"

streams=()
if [[ -d "$captures" ]]; then
  for f in "$captures"/*.ts; do [[ -e "$f" ]] && streams+=("$f"); done
else
  echo "note: $captures not found; only the fixtures are read" >&2
fi
streams+=("$root/tests/data/one-program.ts" "$root/tests/data/two-programs.ts")

for stream in "${streams[@]}"; do
  name="$(basename "$stream" .ts)"
  # wiretap reads a .ts file as one frame per 188-byte packet. All occurrences
  # are asked for so that a frame carrying a field twice is noticed, not
  # silently cut to its first value.
  tshark -r "$stream" -n -T fields -E separator=/t -E occurrence=a -E aggregator=';' \
    -e frame.number -e frame.len \
    -e mp2t.pid -e mp2t.pusi -e mp2t.afc -e mp2t.cc \
    -e mp2t.af.length -e mp2t.af.pcr_flag -e mp2t.af.pcr \
    >"$scratch/fields.tsv" 2>"$scratch/tshark.err" || {
      cat "$scratch/tshark.err" >&2
      exit 2
    }
  python3 - "$stream" "$scratch/fields.tsv" >"$scratch/out.tsv" <<'PYTHON'
import os
import sys

stream, fields = sys.argv[1], sys.argv[2]
size = os.path.getsize(stream)


def fail(text):
    sys.exit(f"{os.path.basename(stream)}: {text}")


def number(text, what, frame):
    if text == "":
        return None
    if ";" in text:
        fail(f"frame {frame}: {what} occurs more than once ({text})")
    return int(text, 0)


def clock_text(base):
    # Hours, minutes, whole seconds and hundredths of a 90 kHz clock value,
    # each cut toward zero, in exact integer arithmetic.
    seconds, ticks = divmod(base, 90000)
    h, rest = divmod(seconds, 3600)
    m, s = divmod(rest, 60)
    cs = ticks * 100 // 90000
    return "%.2d:%.2d:%.2d.%.2d" % (h % 256, m, s, cs)


rows = []
with open(fields) as f:
    for line in f:
        cells = line.rstrip("\n").split("\t")
        if len(cells) != 9:
            fail(f"unexpected tshark line: {line!r}")
        frame = number(cells[0], "frame.number", "?")
        if frame != len(rows) + 1:
            fail(f"frame {frame} out of order")
        length, pid, pusi, afc, cc, af_length, pcr_flag, pcr = (
            number(c, n, frame) for c, n in zip(cells[1:], (
                "frame.len", "mp2t.pid", "mp2t.pusi", "mp2t.afc", "mp2t.cc",
                "mp2t.af.length", "mp2t.af.pcr_flag", "mp2t.af.pcr")))
        if length != 188:
            fail(f"frame {frame} is {length} bytes, not 188")
        if None in (pid, pusi, afc, cc):
            fail(f"frame {frame} lacks a transport header field")
        offset = (frame - 1) * 188
        pcr_text = ""
        # The flags byte exists only in an adaptation field of length > 0.
        if afc & 2 and af_length and pcr_flag == 1:
            if pcr is None:
                fail(f"frame {frame}: PCR_flag set but no PCR value")
            # tshark gives the 27 MHz value base * 300 + extension. The
            # extension is below 300 in a well-formed PCR, so the integer
            # quotient is the 33-bit base.
            pcr_text = clock_text(pcr // 300)
        if pid == 0x1FFF:
            info = "NULL"
        else:
            info = {0: "", 1: "PLD", 2: "AF", 3: "AF+PLD"}[afc]
        rows.append("\t".join((
            "0x%016X" % offset, "0x%04X" % pid, str(pusi), str(afc), str(cc),
            pcr_text, info)))

if len(rows) * 188 != size:
    fail(f"{len(rows)} frames of 188 bytes do not make the file size {size}")
sys.stdout.write("".join(r + "\n" for r in rows))
PYTHON
  mv "$scratch/out.tsv" "$out/$name.list.tsv"
  echo "$name: $(wc -l <"$out/$name.list.tsv") packets"
done
