#!/usr/bin/env bash
# Writes tests/data/expected/<capture>.values.tsv: what tshark (Wireshark's
# DVB SI and descriptor dissectors) makes of the dates, times, durations,
# time offsets, satellite delivery values and DVB texts of every EIT, TDT,
# TOT, SDT, NIT and BAT section of a real capture. tests/decode/
# DecodedValuesAgreementTest.cpp compares the decode tree's bracketed values
# with these files.
#
# One line per distinct raw value, sorted, fields joined by one TAB:
#
#   kind    time, duration, offset, satellite_frequency, symbol_rate,
#           orbital_position or text
#   raw     the field's bytes as tshark took them (PDML's value attribute),
#           lower-case hex (a symbol rate: its first 7 digits, the rate
#           without FEC_inner); an offset adds "/" and its polarity bit; a
#           text is its character-table selection bytes followed by its
#           characters
#   shown   tshark's reading: a time as "YYYY-MM-DD hh:mm:ss"; a duration as
#           the "hh:mm:ss" tshark writes after the hex value (BCD nibbles
#           above 9 come out as numbers above 99 there); an offset as a sign
#           and "hh:mm"; frequencies, symbol rates and orbital positions as
#           tshark's number (GHz, Msymbol/s, degrees); a text as tshark's
#           string with \ TAB LF CR written \\ \t \n \r
#
# A raw value that tshark shows two ways (it never should) stops the script.
# The captures are never copied into the project; only these files are
# committed. tshark is needed only here, not by the tests.
#
# Usage: scripts/make_values_expected.sh [capture folder]
# (the project's fixtures: a folder of links to tests/data/*.ts)
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/tshark-setup.sh" "$@"
[[ -d "$captures" ]] || { echo "capture folder $captures not found" >&2; exit 2; }

for stream in "$captures"/*.ts; do
  [[ -e "$stream" ]] || continue
  name="$(basename "$stream" .ts)"
  tshark -r "$stream" -n -Y 'dvb_eit or dvb_tdt or dvb_tot or dvb_sdt or dvb_nit or dvb_bat' -T pdml \
    >"$scratch/values.pdml" 2>"$scratch/tshark.err" || {
    # A crafted fixture that is no capture to tshark (garbage before the
    # first packet) has no reference: said, and no file written.
    echo "$name: tshark cannot read it ($(grep -v '^Running as' "$scratch/tshark.err" | head -1)); no values written" >&2
    continue
  }
  python3 - "$stream" "$scratch/values.pdml" >"$scratch/out.tsv" <<'PYTHON'
import datetime
import os
import sys
import xml.etree.ElementTree as ET

stream, pdml = sys.argv[1], sys.argv[2]
TABLES = {"dvb_eit", "dvb_tdt", "dvb_tot", "dvb_sdt", "dvb_nit", "dvb_bat"}
TIMES = {"dvb_eit.evt.start_time", "dvb_tdt.utc_time", "dvb_tot.utc_time",
         "mpeg_descr.local_time_offset.time_of_change"}
OFFSETS = {"mpeg_descr.local_time_offset.offset", "mpeg_descr.local_time_offset.next_time_offset"}
NUMBERS = {"mpeg_descr.sat_delivery.freq": "satellite_frequency",
           "mpeg_descr.sat_delivery.symbol_rate": "symbol_rate",
           "mpeg_descr.sat_delivery.orbital_pos": "orbital_position"}
# Text fields and the field of their character-table selection bytes.
TEXTS = {"mpeg_descr.short_evt.name": "mpeg_descr.short_evt.name_enc",
         "mpeg_descr.short_evt.txt": "mpeg_descr.short_evt.txt_enc",
         "mpeg_descr.ext_evt.txt": "mpeg_descr.ext_evt.txt_enc",
         "mpeg_descr.ext_evt.item_descr": None,
         "mpeg_descr.ext_evt.item": None,
         "mpeg_descr.svc.provider_name": "mpeg_descr.svc.provider_name_enc",
         "mpeg_descr.svc.svc_name": "mpeg_descr.svc.svn_name_enc",
         "mpeg_descr.net_name.name": "mpeg_descr.net_name.name_enc",
         "mpeg_descr.component.text": "mpeg_descr.component.text_enc"}
found = {}


def keep(kind, raw, shown):
    key = (kind, raw)
    if found.setdefault(key, shown) != shown:
        sys.exit(f"{os.path.basename(stream)}: {kind} {raw} shown as {found[key]!r} and {shown!r}")


def escaped(text):
    return text.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n").replace("\r", "\\r")


def walk(element):
    """The fields under element, in order, with the polarity and selection
    bytes met last carried to the fields that need them."""
    polarity = "0"
    selection = {}
    for field in element.iter("field"):
        name = field.get("name")
        value = (field.get("value") or "").lower()
        if name in TIMES and len(value) == 10:
            shown = (field.get("show") or "").replace(".000000000 UTC", "")
            try:
                when = datetime.datetime.strptime(shown, "%b %d, %Y %H:%M:%S")
            except ValueError:
                continue  # a time tshark does not show as a date
            keep("time", value, when.strftime("%Y-%m-%d %H:%M:%S"))
        elif name == "dvb_eit.evt.duration":
            showname = field.get("showname") or ""
            keep("duration", value, showname[showname.rfind("(") + 1:showname.rfind(")")])
        elif name == "mpeg_descr.local_time_offset.polarity":
            polarity = value
        elif name in OFFSETS:
            showname = field.get("showname") or ""
            keep("offset", value + "/" + polarity, ("-" if polarity == "1" else "+") + showname.split(": ")[-1])
        elif name in NUMBERS:
            # tshark's symbol_rate holds the 4 FEC_inner bits after the 28 of the rate.
            raw = value[:7] if NUMBERS[name] == "symbol_rate" else value
            keep(NUMBERS[name], raw, field.get("show"))
        elif name in TEXTS.values():
            selection[name] = value
        elif name in TEXTS:
            prefix = selection.pop(TEXTS[name], "") if TEXTS[name] else ""
            keep("text", prefix + value, escaped(field.get("show") or ""))


for _, packet in ET.iterparse(pdml, events=("end",)):
    if packet.tag != "packet":
        continue
    for proto in packet:
        if proto.get("name") in TABLES:
            walk(proto)
    packet.clear()

for (kind, raw), shown in sorted(found.items()):
    sys.stdout.write(f"{kind}\t{raw}\t{shown}\n")
PYTHON
  mv "$scratch/out.tsv" "$out/$name.values.tsv"
  echo "$name: $(wc -l <"$out/$name.values.tsv") values"
done
