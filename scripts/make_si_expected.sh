#!/usr/bin/env bash
# Writes tests/data/expected/<capture>.si.tsv: an independent reading, made
# with tshark (Wireshark's MPEG-2 TS, DVB SI and descriptor dissectors), of
# every NIT, SDT, EIT, TDT and TOT section of a real capture, keyed by the
# packet the section starts in. tests/decode/SIAgreementTest.cpp compares the
# DVB SI decoders with these files.
#
# One line per section, in file order, fields joined by one TAB: first
#
#   offset   file offset of the packet whose pointer_field leads to the
#            section, as 0x and 16 upper-case hex digits (tshark numbers the
#            188-byte packets of a .ts file as frames: frame N is at
#            (N - 1) * 188)
#   pid      that packet's PID, 0x and 4 upper-case hex digits
#   table    NIT, SDT, EIT, TDT or TOT
#
# then name=value fields, in this order:
#
#   all      table_id (0x and 2 hex digits), section_length
#   NIT      network_id, version_number, current_next_indicator,
#            section_number, last_section_number, network_descriptors_length,
#            network_descriptors, network_names, transport_stream_loop_length,
#            transport_stream_count, transport_streams, CRC_32
#   SDT      transport_stream_id, version_number, current_next_indicator,
#            section_number, last_section_number, original_network_id,
#            service_count, services, service_names, CRC_32
#   EIT      service_id, version_number, current_next_indicator,
#            section_number, last_section_number, transport_stream_id,
#            original_network_id, segment_last_section_number, last_table_id
#            (0x and 2 hex digits), event_count, events, event_names, CRC_32
#   TDT      UTC_time
#   TOT      UTC_time, descriptors_loop_length, descriptors, CRC_32
#
# Numbers are decimal unless said otherwise. Loop fields, one item per loop
# entry joined by ";":
#
#   descriptors          TT/L per descriptor (tag as 2 hex digits, length
#                        decimal), joined by ","; a descriptor loop is written
#                        as its length field, ":" and that list
#   transport_streams    transport_stream_id/original_network_id/loop
#   services             service_id/EIT_schedule_flag/EIT_present_following_flag/
#                        running_status/free_CA_mode/loop
#   events               event_id/start_time/duration/running_status/
#                        free_CA_mode/loop
#   network_names        the network_name_descriptors (0x40) of the network
#                        loop, each as its name, joined by ","
#   service_names        per service, its service_descriptors (0x48) joined by
#                        ",", each as service_provider_name|service_name
#   event_names          per event, its short_event_descriptors (0x4D) joined
#                        by ",", each as ISO_639_language_code|event_name
#
# Names are the bytes of the field, character-table selection bytes included,
# as the descriptor carries them: bytes 0x20 to 0x7E stand for themselves
# except \ | , ; which, like every other byte, are written \xHH. tshark shows
# a name converted from its DVB character table and the selection bytes as a
# field of their own; the script takes the raw bytes of both and checks that
# together they are as long as the name's length field says.
#
# Time fields are the bits of the section, not a calendar time: UTC_time and
# start_time are the 40 bits (16-bit Modified Julian Date, then hours, minutes
# and seconds as six BCD digits) as 0x and 10 hex digits, duration the 24 bits
# (six BCD digits) as 0x and 6 hex digits, and CRC_32 0x and 8 hex digits, all
# taken from the raw bytes tshark gives for the field (PDML's value attribute).
# Where tshark also shows a time as a calendar date and clock time, the script
# converts that back to the 40 bits and stops if they differ, so the raw bytes
# are known to be the ones tshark decoded.
#
# Which section a line is for: tshark gathers a section that spans packets and
# shows it in the packet where it ends; the line is written for the packet
# where it starts. A packet can hold the end of one section and the start of
# several others; only the section that its pointer_field leads to is written,
# since that is the one the decode tree of the packet shows. It is found by
# position: a whole section whose table_id sits at the pointer_field's target,
# or else a gathered section whose first fragment starts in that packet and
# covers the bytes from that target to the end of the packet. tshark reads the
# bytes that follow a section in the same packet as further sections unless
# they are 0xFF; some captures put four bytes after each TDT, which tshark then
# reads as sections of all kinds. Those never lead a packet and are not
# written.
#
# A section that tshark marks malformed (it stopped part-way, as it does where
# packets of a gathered section are missing) gets the single field
# tshark=malformed in place of its values: what tshark read of it is no
# reference, but the section start is still listed.
#
# A packet whose pointer_field leads to no section tshark could read (the
# section is not finished before the end of the file, or before a later
# packet of its PID starts a new section) gets a line with table "-" and the
# single field tshark=unfinished: the packet list may still record a table
# there from its first bytes.
#
# The captures are never copied into the project; only these files are
# committed. tshark is needed only here, not by the tests.
#
# Usage: scripts/make_si_expected.sh [capture folder]
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tshark-setup.sh" "$@"
[[ -d "$captures" ]] || { echo "capture folder $captures not found" >&2; exit 2; }

for stream in "$captures"/*.ts; do
  [[ -e "$stream" ]] || continue
  name="$(basename "$stream" .ts)"
  # One pass over the file. Shown as PDML: every frame with a pointer_field
  # (where sections start) or with a section (whole, or gathered and ending
  # there). PDML keeps the order of the sections in a frame, the position of
  # each field in its frame or gathered section, and the raw bytes of each.
  tshark -r "$stream" -n -Y 'mp2t.pointer or mpeg_sect.tid' -T pdml >"$scratch/sections.pdml" \
    2>"$scratch/tshark.err" || {
    cat "$scratch/tshark.err" >&2
    exit 2
  }
  python3 - "$stream" "$scratch/sections.pdml" >"$scratch/out.tsv" <<'PYTHON'
import datetime
import os
import sys
import xml.etree.ElementTree as ET

stream, pdml = sys.argv[1], sys.argv[2]
size = os.path.getsize(stream)
PACKET = 188
TABLES = {"dvb_nit": "NIT", "dvb_sdt": "SDT", "dvb_eit": "EIT", "dvb_tdt": "TDT", "dvb_tot": "TOT"}
context = ""


def fail(text):
    sys.exit(f"{os.path.basename(stream)}{context}: {text}")


def child(element, name):
    """The field called name directly inside element, or None."""
    for field in element:
        if field.get("name") == name:
            return field
    return None


def need(element, name):
    field = child(element, name)
    if field is None:
        fail(f"field {name} missing")
    return field


def number(element, name):
    return int(need(element, name).get("show"), 0)


def raw(field):
    """The bytes tshark dissected the field from (PDML's value attribute)."""
    text = field.get("value") or ""
    if len(text) != 2 * int(field.get("size")):
        fail(f"{field.get('name')}: value {text!r} does not hold its {field.get('size')} bytes")
    return bytes.fromhex(text)


def raw_hex(element, name, digits):
    data = raw(need(element, name))
    if 2 * len(data) != digits:
        fail(f"{name} is {len(data)} bytes")
    return "0x" + data.hex().upper()


def escaped(data):
    return "".join(chr(b) if 0x20 <= b <= 0x7E and chr(b) not in "\\|,;" else "\\x%02X" % b for b in data)


def time_bits(element, name):
    """A 40-bit UTC field as 0x and 10 hex digits, checked against the calendar time tshark shows."""
    field = need(element, name)
    data = raw(field)
    if len(data) != 5:
        fail(f"{name} is {len(data)} bytes")
    shown = field.get("show")
    # Only a time tshark can show exactly is checked: six BCD digits and a
    # date its seconds count from 1970 holds (an MJD of 65535, all bits set,
    # wraps round to 1902).
    if any(b >> 4 > 9 or b & 15 > 9 for b in data[2:]) or not 40587 <= int.from_bytes(data[:2], "big") < 65442:
        return "0x" + data.hex().upper()
    try:
        when = datetime.datetime.strptime(shown.replace(".000000000 UTC", ""), "%b %d, %Y %H:%M:%S")
    except ValueError:
        fail(f"{name}: cannot read the time tshark shows ({shown!r})")
    mjd = (when.date() - datetime.date(1858, 11, 17)).days
    bcd = bytes(int("%02d" % v, 16) for v in (when.hour, when.minute, when.second))
    if mjd.to_bytes(2, "big") + bcd != data:
        fail(f"{name}: tshark shows {shown!r} for the bytes {data.hex()}")
    return "0x" + data.hex().upper()


def descriptor_nodes(parent):
    return [node for node in parent if child(node, "mpeg_descr.tag") is not None]


def descriptor_loop(parent, length):
    items = ["%02X/%d" % (number(d, "mpeg_descr.tag"), number(d, "mpeg_descr.len")) for d in descriptor_nodes(parent)]
    return "%d:%s" % (length, ",".join(items))


def name_bytes(descriptor, length_field, encoding_field, text_field):
    """Selection bytes and text of a DVB string, checked against its length field."""
    length = number(descriptor, length_field)
    data = b""
    for name in (encoding_field, text_field):
        field = child(descriptor, name)
        if field is not None:
            data += raw(field)
    if len(data) != length:
        fail(f"{text_field}: {len(data)} bytes where its length field says {length}")
    return data


def network_names(parent):
    names = []
    for d in descriptor_nodes(parent):
        if number(d, "mpeg_descr.tag") == 0x40:
            names.append(escaped(name_bytes(d, "mpeg_descr.len", "mpeg_descr.net_name.name_enc",
                                            "mpeg_descr.net_name.name")))
    return ",".join(names)


def service_names(entry):
    names = []
    for d in descriptor_nodes(entry):
        if number(d, "mpeg_descr.tag") != 0x48:
            continue
        provider = name_bytes(d, "mpeg_descr.svc.provider_name_len", "mpeg_descr.svc.provider_name_enc",
                              "mpeg_descr.svc.provider_name")
        service = name_bytes(d, "mpeg_descr.svc.svc_name_len", "mpeg_descr.svc.svn_name_enc",
                             "mpeg_descr.svc.svc_name")
        names.append(escaped(provider) + "|" + escaped(service))
    return ",".join(names)


def event_names(entry):
    names = []
    for d in descriptor_nodes(entry):
        if number(d, "mpeg_descr.tag") != 0x4D:
            continue
        language = raw(need(d, "mpeg_descr.short_evt.lang_code"))
        event = name_bytes(d, "mpeg_descr.short_evt.name_len", "mpeg_descr.short_evt.name_enc",
                           "mpeg_descr.short_evt.name")
        names.append(escaped(language) + "|" + escaped(event))
    return ",".join(names)


def entries(proto, id_field):
    return [node for node in proto if child(node, id_field) is not None]


def common(proto):
    return [("table_id", "0x%02X" % number(proto, "mpeg_sect.tid")),
            ("section_length", number(proto, "mpeg_sect.len"))]


def header(proto, prefix):
    return [("version_number", number(proto, prefix + ".version")),
            ("current_next_indicator", number(proto, prefix + ".cur_next_ind")),
            ("section_number", number(proto, prefix + ".sect_num")),
            ("last_section_number", number(proto, prefix + ".last_sect_num"))]


def crc(proto):
    return [("CRC_32", raw_hex(proto, "mpeg_sect.crc", 8))]


def nit_fields(proto, hidden):
    streams = entries(proto, "dvb_nit.ts.id")
    items = ["%d/%d/%s" % (number(s, "dvb_nit.ts.id"), number(s, "dvb_nit.ts.original_network_id"),
                           descriptor_loop(s, number(s, "dvb_nit.ts.desc_len"))) for s in streams]
    network_length = number(proto, "dvb_nit.network_desc_len")
    return (common(proto) + [("network_id", number(proto, "dvb_nit.sid"))] + header(proto, "dvb_nit") +
            [("network_descriptors_length", network_length),
             ("network_descriptors", descriptor_loop(proto, network_length)),
             ("network_names", network_names(proto)),
             ("transport_stream_loop_length", number(proto, "dvb_nit.ts_loop_len")),
             ("transport_stream_count", len(streams)), ("transport_streams", ";".join(items))] + crc(proto))


def sdt_fields(proto, hidden):
    services = entries(proto, "dvb_sdt.svc.id")
    items = ["%d/%d/%d/%d/%d/%s" % (
        number(s, "dvb_sdt.svc.id"), number(s, "dvb_sdt.svc.eit_schedule_flag"),
        number(s, "dvb_sdt.svc.eit_present_following_flag"), number(s, "dvb_sdt.svc.running_status"),
        number(s, "dvb_sdt.svc.free_ca_mode"), descriptor_loop(s, number(s, "dvb_sdt.svc.descr_loop_len")))
        for s in services]
    return (common(proto) + [("transport_stream_id", number(proto, "dvb_sdt.tsid"))] + header(proto, "dvb_sdt") +
            [("original_network_id", number(proto, "dvb_sdt.original_nid")), ("service_count", len(services)),
             ("services", ";".join(items)), ("service_names", ";".join(service_names(s) for s in services))] +
            crc(proto))


def start_time(event, hidden):
    """start_time of an event. tshark hides the field of a start time it
    cannot show (all 40 bits set: undefined, as in NVOD reference events); it
    is then taken from the hidden fields of the packet, matched by position."""
    if child(event, "dvb_eit.evt.start_time") is not None:
        return time_bits(event, "dvb_eit.evt.start_time")
    position = int(event.get("pos")) + 2
    found = {raw(field) for field in hidden if field.get("name") == "dvb_eit.evt.start_time" and
             int(field.get("pos")) == position}
    if found != {b"\xff" * 5}:
        fail(f"event at {event.get('pos')}: start_time neither shown nor hidden as undefined ({found})")
    return "0xFFFFFFFFFF"


def eit_fields(proto, hidden):
    events = entries(proto, "dvb_eit.evt.id")
    items = ["%d/%s/%s/%d/%d/%s" % (
        number(e, "dvb_eit.evt.id"), start_time(e, hidden),
        raw_hex(e, "dvb_eit.evt.duration", 6), number(e, "dvb_eit.evt.running_status"),
        number(e, "dvb_eit.evt.free_ca_mode"), descriptor_loop(e, number(e, "dvb_eit.evt.descr_loop_len")))
        for e in events]
    return (common(proto) + [("service_id", number(proto, "dvb_eit.sid"))] + header(proto, "dvb_eit") +
            [("transport_stream_id", number(proto, "dvb_eit.tsid")),
             ("original_network_id", number(proto, "dvb_eit.original_nid")),
             ("segment_last_section_number", number(proto, "dvb_eit.segment_last_sect_num")),
             ("last_table_id", "0x%02X" % number(proto, "dvb_eit.last_tid")), ("event_count", len(events)),
             ("events", ";".join(items)), ("event_names", ";".join(event_names(e) for e in events))] + crc(proto))


def tdt_fields(proto, hidden):
    return common(proto) + [("UTC_time", time_bits(proto, "dvb_tdt.utc_time"))]


def tot_fields(proto, hidden):
    length = number(proto, "dvb_tot.descr_loop_len")
    return (common(proto) + [("UTC_time", time_bits(proto, "dvb_tot.utc_time")), ("descriptors_loop_length", length),
                             ("descriptors", descriptor_loop(proto, length))] + crc(proto))


FIELDS = {"NIT": nit_fields, "SDT": sdt_fields, "EIT": eit_fields, "TDT": tdt_fields, "TOT": tot_fields}

# Per frame: its PID and where its pointer_field leads (pusi frames only).
# Sections: whole ones by (frame, position of table_id in the frame);
# gathered ones by the frame of their first fragment, with that fragment's
# size. Each kept as (table kind or None, proto element).
targets = {}
pids = {}
whole = {}
gathered = {}
for _, packet in ET.iterparse(pdml, events=("end",)):
    if packet.tag != "packet":
        continue
    frame = None
    first_fragment = None
    protos = list(packet)
    # Fields tshark hides are gathered at the end of the frame.
    hidden = [field for proto in protos if proto.get("name") == "fake-field-wrapper" for field in proto.iter("field")]
    for index, proto in enumerate(protos):
        name = proto.get("name")
        if name == "geninfo":
            frame = number(proto, "num")
            context = f" frame {frame}"
        elif name == "mp2t":
            pids[frame] = number(need(proto, "mp2t.header"), "mp2t.pid")
            pointer = child(proto, "mp2t.pointer")
            if pointer is not None:
                targets[frame] = int(pointer.get("pos")) + 1 + int(pointer.get("show"))
        elif name == "fake-field-wrapper":
            fragments = child(proto, "mp2t.msg.fragments")
            if fragments is not None:
                fragment = need(fragments, "mp2t.msg.fragment")
                first_fragment = (int(fragment.get("show")), int(fragment.get("size")))
        elif name != "_ws.malformed":
            # A gathered section is the first dissection after its fragment
            # list, whatever table tshark took it for.
            fragment, first_fragment = first_fragment, None
            tid = child(proto, "mpeg_sect.tid")
            if tid is None:
                continue
            kind = TABLES.get(name)
            # A section tshark stopped dissecting part-way is followed, before
            # the next section, by its "malformed" mark; what tshark read of
            # it is not a reference.
            malformed = False
            for later in protos[index + 1:]:
                if child(later, "mpeg_sect.tid") is not None:
                    break
                malformed = malformed or later.get("name") == "_ws.malformed"
            if fragment is not None:
                gathered.setdefault(fragment[0], []).append((fragment[1], kind, malformed, proto, hidden))
            else:
                whole[(frame, int(tid.get("pos")))] = (kind, malformed, proto, hidden)
    context = ""
    # The sections keep their own elements; the rest of the frame can go.
    packet.clear()

rows = []
left_out = []
unfinished = []
for frame in sorted(targets):
    context = f" frame {frame}"
    target = targets[frame]
    section = whole.get((frame, target))
    if section is None:
        for fragment_size, kind, malformed, proto, hidden in gathered.get(frame, []):
            if fragment_size == PACKET - target:
                section = (kind, malformed, proto, hidden)
    offset = (frame - 1) * PACKET
    if offset + PACKET > size:
        fail("lies past the end of the file")
    if section is None:
        unfinished.append("0x%016X" % offset)
        rows.append("\t".join(["0x%016X" % offset, "0x%04X" % pids[frame], "-", "tshark=unfinished"]))
        continue
    kind, malformed, proto, hidden = section
    if kind is None:
        continue
    if malformed:
        left_out.append("0x%016X" % offset)
        fields = ["tshark=malformed"]
    else:
        fields = ["%s=%s" % (key, value) for key, value in FIELDS[kind](proto, hidden)]
    rows.append("\t".join(["0x%016X" % offset, "0x%04X" % pids[frame], kind] + fields))

sys.stdout.write("".join(r + "\n" for r in rows))
if unfinished:
    sys.stderr.write("%s: %d section start(s) tshark read no section from, written as tshark=unfinished: %s\n" % (
        os.path.basename(stream), len(unfinished), " ".join(unfinished)))
if left_out:
    sys.stderr.write("%s: %d section(s) tshark marks malformed, written as tshark=malformed: %s\n" % (
        os.path.basename(stream), len(left_out), " ".join(left_out)))
PYTHON
  mv "$scratch/out.tsv" "$out/$name.si.tsv"
  echo "$name: $(wc -l <"$out/$name.si.tsv") lines"
done
