#!/usr/bin/env bash
# Writes tests/data/expected/<capture>.psi.tsv: an independent reading, made
# with tshark (Wireshark's MPEG-2 TS and PSI dissectors), of every PAT and PMT
# section of a real capture, keyed by the packet the section starts in.
#
# One line per section, in file order, fields joined by one TAB:
#
#   offset          file offset of the packet whose pointer_field leads to the
#                   section, as 0x and 16 upper-case hex digits
#   pid             that packet's PID, 0x and 4 upper-case hex digits
#   table           PAT or PMT
#   section_length  decimal
#   id              transport_stream_id (PAT) or program_number (PMT), decimal
#   version         version_number, decimal
#   pcr_pid         PMT: PCR_PID as 0x and 4 hex digits; PAT: empty
#   program_info    PMT: program_info_length, then ":" and the descriptors of
#                   the loop as TT/L (tag as two hex digits, length decimal)
#                   joined by ","; PAT: empty
#   entries         PAT: program_number/0xPID per program, joined by ";"
#                   PMT: 0xTT/0xPID/ES_info_length:descriptors per stream
#                   (stream_type, elementary_PID, then the loop as above),
#                   joined by ";"
#
# tshark gathers a section that spans packets and shows it in the packet where
# it ends; the line is written for the packet where it starts (the first
# fragment). A packet can hold the end of one section and the start of
# others; only the section that its pointer_field leads to is written, since
# that is the one a decoder of the packet shows.
#
# tests/decode/PSIAgreementTest.cpp compares the decoders with these files.
# The captures are never copied into the project; only these files are
# committed. tshark is needed only here, not by the tests.
#
# Usage: scripts/make_psi_expected.sh [capture folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tshark-setup.sh" "$@"
[[ -d "$captures" ]] || { echo "capture folder $captures not found" >&2; exit 2; }

for stream in "$captures"/*.ts; do
  [[ -e "$stream" ]] || continue
  name="$(basename "$stream" .ts)"
  # Every frame that shows a section (whole or gathered), as PDML, which keeps
  # the order of the sections inside a frame and the fragment list of a
  # gathered one.
  tshark -r "$stream" -n -Y 'mpeg_sect.tid' -T pdml >"$scratch/sections.pdml" 2>"$scratch/tshark.err" || {
    cat "$scratch/tshark.err" >&2
    exit 2
  }
  python3 - "$stream" "$scratch/sections.pdml" >"$scratch/out.tsv" <<'PYTHON'
import os
import sys
import xml.etree.ElementTree as ET

stream, pdml = sys.argv[1], sys.argv[2]
size = os.path.getsize(stream)
PACKET = 188


def fail(text):
    sys.exit(f"{os.path.basename(stream)}: {text}")


def first(element, name):
    for field in element.iter("field"):
        if field.get("name") == name:
            return field
    return None


def value(element, name):
    field = first(element, name)
    if field is None:
        fail(f"field {name} missing")
    return int(field.get("show"), 0)


def descriptors(parent):
    """TT/L of each descriptor directly inside parent, in order."""
    items = []
    for child in parent:
        tag = length = None
        for field in child:
            if field.get("name") == "mpeg_descr.tag":
                tag = int(field.get("show"), 0)
            elif field.get("name") == "mpeg_descr.len":
                length = int(field.get("show"), 0)
        if tag is not None:
            if length is None:
                fail(f"descriptor 0x{tag:02X} without a length")
            items.append("%02X/%d" % (tag, length))
    return ",".join(items)


def pat_line(proto):
    programs = []
    numbers = [f for f in proto.iter("field") if f.get("name") == "mpeg_pat.prog_num"]
    pids = [f for f in proto.iter("field") if f.get("name") == "mpeg_pat.prog_map_pid"]
    if len(numbers) != len(pids):
        fail("PAT with unpaired program entries")
    for number, pid in zip(numbers, pids):
        programs.append("%d/0x%04X" % (int(number.get("show"), 0), int(pid.get("show"), 0)))
    return ["PAT", str(value(proto, "mpeg_sect.len")), str(value(proto, "mpeg_pat.tsid")),
            str(value(proto, "mpeg_pat.version")), "", "", ";".join(programs)]


def pmt_line(proto):
    # Program descriptors sit directly under the section; each stream has a
    # node of its own ("Stream PID=...") holding its fields and descriptors.
    streams = []
    for child in proto:
        if first(child, "mpeg_pmt.stream.type") is None or child.get("name") != "":
            continue
        streams.append("0x%02X/0x%04X/%d:%s" % (
            value(child, "mpeg_pmt.stream.type"), value(child, "mpeg_pmt.stream.elementary_pid"),
            value(child, "mpeg_pmt.stream.es_info_len"), descriptors(child)))
    info = "%d:%s" % (value(proto, "mpeg_pmt.prog_info_len"), descriptors(proto))
    return ["PMT", str(value(proto, "mpeg_sect.len")), str(value(proto, "mpeg_pmt.pg_num")),
            str(value(proto, "mpeg_pmt.version")), "0x%04X" % value(proto, "mpeg_pmt.pcr_pid"), info,
            ";".join(streams)]


# Sections by the frame they start in, in order: the whole sections of a frame
# start there in the order shown; a gathered section starts in its first
# fragment's frame, after every whole section of that frame. Each is kept with
# its PID (a gathered section's start frame may not be in the output at all:
# it holds no whole section; its PID is that of the frame the section ends in).
whole = {}
gathered = {}
for _, packet in ET.iterparse(pdml, events=("end",)):
    if packet.tag != "packet":
        continue
    frame = pid = fragment_start = None
    for proto in packet:
        name = proto.get("name")
        if name == "geninfo":
            frame = value(proto, "num")
        elif name == "mp2t":
            pid = value(proto, "mp2t.pid")
        elif name == "fake-field-wrapper":
            fragments = first(proto, "mp2t.msg.fragment")
            if fragments is not None:
                fragment_start = int(fragments.get("show"))
        elif name != "frame":
            if frame is None or pid is None:
                fail("section before the frame number and PID")
            if fragment_start is not None:
                if fragment_start in gathered:
                    fail(f"two gathered sections start in frame {fragment_start}")
                gathered[fragment_start] = (name, proto, pid)
                fragment_start = None
            else:
                whole.setdefault(frame, []).append((name, proto, pid))
    # The kept sections hold their own fields; the rest of the frame can go.
    packet.clear()

rows = []
for frame in sorted(set(whole) | set(gathered)):
    starting = whole.get(frame, []) + ([gathered[frame]] if frame in gathered else [])
    name, proto, pid = starting[0]
    if name not in ("mpeg_pat", "mpeg_pmt"):
        continue
    offset = (frame - 1) * PACKET
    if offset + PACKET > size:
        fail(f"frame {frame} lies past the end of the file")
    line = pat_line(proto) if name == "mpeg_pat" else pmt_line(proto)
    rows.append("\t".join(["0x%016X" % offset, "0x%04X" % pid] + line))

sys.stdout.write("".join(r + "\n" for r in rows))
PYTHON
  mv "$scratch/out.tsv" "$out/$name.psi.tsv"
  echo "$name: $(wc -l <"$out/$name.psi.tsv") PAT/PMT sections"
done
