#!/usr/bin/env bash
# Regenerates the transport stream fixtures under tests/data.
#
# The two base streams come from ffmpeg's built-in lavfi test sources encoded
# with the built-in mpeg2video and mp2 encoders; the slot-size and garbage
# variants are rewritten from the one-program stream by the Python step below.
# Everything is seeded and bit-exact, so a re-run reproduces the committed files
# as long as the same ffmpeg build is used. Tests never run this script: they
# read the committed files.
#
# The fault streams for the validation checks (fault-*.ts) are rewritten from
# one-program.ts too, each with one kind of fault at a known place.
#
# Usage: scripts/make_fixtures.sh [--no-encode] [output folder]   (default: tests/data)
#   --no-encode: keep the committed ffmpeg encodes and remake only what is
#   rewritten from them (no ffmpeg needed).
set -euo pipefail

encode=1
if [[ "${1:-}" == "--no-encode" ]]; then
  encode=0
  shift
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
out="${1:-$here/../tests/data}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

((encode == 0)) || command -v ffmpeg >/dev/null || { echo "ffmpeg is required" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is required" >&2; exit 2; }

# Options shared by every encode: one thread and bit-exact output so the bytes
# do not depend on the machine, no metadata taken over from the inputs.
common=(-hide_banner -loglevel error -nostdin -y)
exact=(-threads 1 -fflags +bitexact -flags +bitexact -map_metadata -1)
# MPEG-2 video with two B-frames between anchors, so DTS differs from PTS.
video=(-c:v mpeg2video -b:v 700k -maxrate 900k -bufsize 400k -g 12 -bf 2)
audio=(-c:a mp2 -b:a 128k)

if ((encode == 1)); then
# one-program.ts: one service (video 0x0100, audio 0x0101, PMT 0x1000), 1.2 s.
# A constant mux rate makes ffmpeg add null packets and PCR-only adaptation
# field packets, so the stream shows every adaptation_field_control value the
# muxer produces.
ffmpeg "${common[@]}" \
  -f lavfi -i "testsrc=size=320x240:rate=25:duration=1.2" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1.2" \
  -map 0:v -map 1:a "${video[@]}" "${audio[@]}" "${exact[@]}" \
  -metadata service_provider=Tessaro -metadata service_name="Fixture One" \
  -mpegts_service_id 1 -muxrate 760000 \
  -f mpegts "$out/one-program.ts"

# two-programs.ts: two services, each with its own video and audio, 1.0 s,
# variable rate (no null packets).
ffmpeg "${common[@]}" \
  -f lavfi -i "testsrc=size=320x240:rate=25:duration=1.0" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1.0" \
  -f lavfi -i "testsrc2=size=320x240:rate=25:duration=1.0" \
  -f lavfi -i "sine=frequency=880:sample_rate=48000:duration=1.0" \
  -map 0:v -map 1:a -map 2:v -map 3:a "${video[@]}" "${audio[@]}" "${exact[@]}" \
  -metadata service_provider=Tessaro \
  -program program_num=1:title="Fixture One":st=0:st=1 \
  -program program_num=2:title="Fixture Two":st=2:st=3 \
  -f mpegts "$out/two-programs.ts"
fi

python3 - "$out" <<'PYTHON'
import os
import sys

out = sys.argv[1]
SYNC = 0x47
SLOT_SIZES = (188, 192, 196, 204, 212)


class XorShift32:
    """Small fixed generator: the bytes must not depend on the Python version."""

    def __init__(self, seed):
        self.state = seed & 0xFFFFFFFF or 1

    def byte(self):
        x = self.state
        x ^= (x << 13) & 0xFFFFFFFF
        x ^= x >> 17
        x ^= (x << 5) & 0xFFFFFFFF
        self.state = x
        return (x >> 24) & 0xFF

    def bytes_without_sync(self, count):
        # Garbage that can never be mistaken for a packet start.
        data = bytearray()
        while len(data) < count:
            b = self.byte()
            if b != SYNC:
                data.append(b)
        return bytes(data)


def sync_search(data):
    """The stream recognition rule: the first 0x47 with 0x47 at +S and +2S for
    the smallest S of the five slot sizes, within the first 3072 bytes."""
    buf = data[:3072]
    p = 0
    while len(buf) - p > 376:
        if buf[p] == SYNC:
            for size in SLOT_SIZES:
                if size != 188 and len(buf) - p <= 2 * size:
                    return None
                if buf[p + size] == SYNC and buf[p + 2 * size] == SYNC:
                    return size, p
        p += 1
    return None


def write(name, data, expect):
    found = sync_search(data)
    if found != expect:
        sys.exit(f"{name}: stream recognition gives {found}, wanted {expect}")
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


with open(os.path.join(out, "one-program.ts"), "rb") as f:
    base = f.read()
if len(base) % 188 or any(base[i] != SYNC for i in range(0, len(base), 188)):
    sys.exit("one-program.ts is not a plain 188-byte packet stream")
packets = [base[i:i + 188] for i in range(0, len(base), 188)]
if len(packets) < 601:
    sys.exit("one-program.ts is too short for the variants")

# slots-192.ts: M2TS-like slots, a 4-byte TP_extra_header (copy_permission 0,
# 30-bit arrival time stamp on a 27 MHz clock) before each packet. Stamps that
# would contain 0x47 are nudged so no header byte looks like a sync byte.
slots = bytearray()
stamp = 0x01234560
for packet in packets[:600]:
    while SYNC in (stamp & 0x3FFFFFFF).to_bytes(4, "big"):
        stamp += 1
    slots += (stamp & 0x3FFFFFFF).to_bytes(4, "big") + packet
    stamp += 26730  # 188 bytes at about 1.52 Mbit/s
write("slots-192.ts", bytes(slots), (192, 4))

# slots-204.ts: 16 bytes after each packet in place of Reed-Solomon parity.
rng = XorShift32(204)
slots = bytearray()
for packet in packets[:600]:
    slots += packet + rng.bytes_without_sync(16)
write("slots-204.ts", bytes(slots), (204, 0))

# garbage.ts: 1000 bytes of lead-in garbage (lone 0x47 bytes allowed, but none
# that starts three sync bytes at an accepted spacing), packets 0..499 with a
# 77-byte run of garbage (no 0x47 at all) between packets 249 and 250, then the
# first 100 bytes of packet 500 as a truncated last packet.
LEAD, RUN_AFTER, RUN, TAIL, COUNT = 1000, 250, 77, 100, 500
rng = XorShift32(1000)
lead = bytearray(rng.byte() for _ in range(LEAD))
lead[123] = SYNC  # make sure lone sync bytes are there to be rejected
lead[611] = SYNC
body = b"".join(packets[:RUN_AFTER]) + rng.bytes_without_sync(RUN) \
    + b"".join(packets[RUN_AFTER:COUNT]) + packets[COUNT][:TAIL]
for _ in range(2):  # a fix-up can change the bytes seen by an earlier check
    for p in range(LEAD):
        if lead[p] != SYNC:
            continue
        data = bytes(lead) + body
        if any(data[p + s] == SYNC and data[p + 2 * s] == SYNC for s in SLOT_SIZES):
            lead[p] = 0x46
if lead.count(SYNC) < 2:
    sys.exit("garbage.ts lost its lone sync bytes")
write("garbage.ts", bytes(lead) + body, (188, LEAD))
PYTHON

# The fault streams: one-program.ts (clean: no finding at all) with one kind
# of ETSI TR 101 290 fault each, at packets counted from 0 in one-program.ts.
PYTHONPATH="$here" python3 - "$out" <<'PYTHON'
import os
import sys

from mpegcrc import crc32_mpeg2

out = sys.argv[1]
with open(os.path.join(out, "one-program.ts"), "rb") as f:
    base = f.read()
packets = [bytearray(base[i:i + 188]) for i in range(0, len(base), 188)]


def pid(p):
    return ((p[1] & 0x1F) << 8) | p[2]


def null_packet():
    return bytearray(b"\x47\x1F\xFF\x10" + b"\xFF" * 184)




def expect(condition, text):
    if not condition:
        sys.exit("fault streams: " + text)


def write(name, stream):
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"".join(stream))


PAT_PACKETS = [i for i, p in enumerate(packets) if pid(p) == 0x0000]
PMT_PACKETS = [i for i, p in enumerate(packets) if pid(p) == 0x1000]
expect(PAT_PACKETS[:8] == [1, 51, 102, 153, 200, 251, 302, 353], "PAT packets moved")
expect(PMT_PACKETS[0] == 2, "first PMT moved")

# fault-cc-gap.ts: audio packet 301 (PID 0x0101, counter 10) lost, a null packet in its place.
s = [bytearray(p) for p in packets]
expect(pid(s[301]) == 0x0101 and s[301][3] & 0x0F == 10 and pid(s[305]) == 0x0101, "audio packets moved")
s[301] = null_packet()
write("fault-cc-gap.ts", s)

# fault-duplicate.ts: video packet 123 (PID 0x0100, no PCR) sent twice, in
# the place of the null packet 124, so every other packet and every PCR keeps
# its place.
s = [bytearray(p) for p in packets]
expect(pid(s[123]) == 0x0100 and not s[123][3] & 0x20 and pid(s[124]) == 0x1FFF, "packets 123 and 124 moved")
s[124] = bytearray(s[123])
write("fault-duplicate.ts", s)

# fault-pat-crc.ts: the CRC_32 of the PAT section in packet 153 is wrong.
s = [bytearray(p) for p in packets]
p = s[153]
length = 3 + (((p[6] & 0x0F) << 8) | p[7])
p[5 + length - 1] ^= 0x01
write("fault-pat-crc.ts", s)

# fault-pat-gap.ts: the PATs of packets 102 to 302 lost (null packets in their
# place, the later PATs' counters renumbered so that PID 0x0000 stays
# continuous): 0.6 s of stream time from packet 51 to packet 353 without one.
s = [bytearray(p) for p in packets]
cc = s[51][3] & 0x0F
for i in PAT_PACKETS:
    if 102 <= i <= 302:
        s[i] = null_packet()
    elif i > 302:
        cc = (cc + 1) & 0x0F
        s[i][3] = (s[i][3] & 0xF0) | cc
write("fault-pat-gap.ts", s)

# fault-pid-missing.ts: every PMT names one more stream, PID 0x0102
# (stream_type 0x06, no descriptors), that never appears.
s = [bytearray(p) for p in packets]
for i in PMT_PACKETS:
    p = s[i]
    expect(p[1] & 0x40 and p[4] == 0, "PMT packet %d does not start its section" % i)
    length = 3 + (((p[6] & 0x0F) << 8) | p[7])
    section = p[5:5 + length - 4] + bytes([0x06, 0xE1, 0x02, 0xF0, 0x00])
    section[1] = (section[1] & 0xF0) | ((len(section) + 4 - 3) >> 8)
    section[2] = (len(section) + 4 - 3) & 0xFF
    section += crc32_mpeg2(section).to_bytes(4, "big")
    expect(5 + len(section) <= 188, "PMT section does not fit its packet")
    p[5:5 + len(section)] = section
write("fault-pid-missing.ts", s)

# fault-sync.ts: the sync byte of packet 7 (video) destroyed, which keeps
# sync, and those of the null packets 114, 115 and 116, which lose it until
# packet 117.
s = [bytearray(p) for p in packets]
expect(all(pid(s[i]) == 0x1FFF for i in range(113, 122)) and pid(s[7]) == 0x0100, "null packets moved")
for i in (7, 114, 115, 116):
    s[i][0] = 0x00
write("fault-sync.ts", s)

# fault-pcr-gap.ts: the PCRs of packets 21 and 31 (PID 0x0100) removed, the
# adaptation fields kept as stuffing: 59.4 ms from the PCR of packet 11 to
# that of packet 41.
s = [bytearray(p) for p in packets]
for i in (21, 31):
    p = s[i]
    expect(pid(p) == 0x0100 and p[4] == 7 and p[5] == 0x10, "PCR packet %d moved" % i)
    p[5] = 0x00
    p[6:12] = b"\xFF" * 6
write("fault-pcr-gap.ts", s)


def pcr_of(p):
    b = p[6:12]
    return ((b[0] << 25) | (b[1] << 17) | (b[2] << 9) | (b[3] << 1) | (b[4] >> 7)) * 300 + (((b[4] & 1) << 8) | b[5])


def set_pcr(p, value):
    base, extension = divmod(value, 300)
    p[6:12] = bytes([base >> 25 & 0xFF, base >> 17 & 0xFF, base >> 9 & 0xFF, base >> 1 & 0xFF,
                     (base & 1) << 7 | 0x7E | extension >> 8, extension & 0xFF])


# fault-pcr-accuracy.ts: the PCR of packet 395 (PID 0x0100) 1 us (27 ticks)
# late in the constant-rate stream. Its neighbours, 10 and 11 packets before
# and after it, lie on uneven spacings that keep them within 500 ns.
s = [bytearray(p) for p in packets]
p = s[395]
expect(pid(p) == 0x0100 and p[4] >= 7 and p[5] & 0x10, "PCR packet 395 moved")
set_pcr(p, pcr_of(p) + 27)
write("fault-pcr-accuracy.ts", s)
PYTHON

# The SI fault streams: made from nothing, since the third-priority limits
# run to 30 s. A constant-rate stream of 188-byte packets 19.5 ms apart (no
# PCR lies off its byte position): even packets carry the PCR of PID 0x0100
# (an adaptation field alone), odd ones the tables by a cycle of 50 packets
# (0.975 s) or a null packet. si-clean.ts yields no finding at all; each
# fault stream changes the cycle in one way.
PYTHONPATH="$here" python3 - "$out" <<'PYTHON'
import os
import sys

from mpegcrc import crc32_mpeg2

out = sys.argv[1]
TICKS = 526500  # 19.5 ms of the 27 MHz clock per packet
CYCLE = 50
PCR_START = 27000000 * 10


class Section(bytes):
    pass


def section(table_id, body, long_form=True):
    """table_id, the flags and section_length, body, CRC_32 (long form and the TOT)."""
    with_crc = long_form or table_id == 0x73
    length = len(body) + (4 if with_crc else 0)
    head = bytes([table_id, (0xB0 if long_form else 0x70) | length >> 8, length & 0xFF])
    data = head + body
    return Section(data + crc32_mpeg2(data).to_bytes(4, "big") if with_crc else data)


def long_body(extension, section_number=0, last=0, rest=b""):
    return extension.to_bytes(2, "big") + bytes([0xC1, section_number, last]) + rest


PAT = section(0x00, long_body(1, rest=bytes([0, 0, 0xE0, 0x10, 0, 1, 0xF0, 0x00])))
PMT = section(0x02, long_body(1, rest=bytes([0xE1, 0x00, 0xF0, 0x00, 0x02, 0xE1, 0x00, 0xF0, 0x00])))
NIT = section(0x40, long_body(1, rest=bytes([0xF0, 0x00, 0xF0, 0x00])))
SDT = section(0x42, long_body(1, rest=bytes([0x00, 0x01, 0xFF, 0x00, 0x01, 0xFF, 0x80, 0x00])))
EIT = [section(0x4E, long_body(1, n, 1, bytes([0, 1, 0, 1, 1, 0x4E]))) for n in (0, 1)]
TDT = section(0x70, bytes([0xEA, 0x60, 0x12, 0x00, 0x00]), long_form=False)
RST = section(0x71, bytes([0, 1, 0, 1, 0, 1, 0, 1, 0xFC]), long_form=False)

# Odd packet j of the cycle (packet 2j + 1): PAT and PMT every 8 or 9 (at
# most 0.351 s apart), SDT, EIT present/following sections 0 and 1, NIT and
# TDT once a cycle; j = 19 and 20 are left for the faults.
TABLES = {0: ("tdt", 0x14), 1: ("pat", 0x00), 2: ("pmt", 0x1000), 4: ("sdt", 0x11), 6: ("eit0", 0x12),
          8: ("eit1", 0x12), 9: ("pat", 0x00), 10: ("pmt", 0x1000), 12: ("nit", 0x10), 17: ("pat", 0x00),
          18: ("pmt", 0x1000)}
SECTIONS = {"pat": PAT, "pmt": PMT, "nit": NIT, "sdt": SDT, "eit0": EIT[0], "eit1": EIT[1], "tdt": TDT}


class Stream:
    def __init__(self):
        self.packets = []
        self.cc = {}

    def add(self, pid, payload=b"", pcr=None):
        """A packet of an adaptation field with the PCR, or of the payload: a
        section after a pointer_field when payload is bytes of one, else as it is."""
        if pcr is not None:
            base, extension = divmod(pcr, 300)
            field = bytes([0x10, base >> 25 & 0xFF, base >> 17 & 0xFF, base >> 9 & 0xFF, base >> 1 & 0xFF,
                           (base & 1) << 7 | 0x7E | extension >> 8, extension & 0xFF])
            packet = bytes([0x47, pid >> 8, pid & 0xFF, 0x20]) + bytes([183]) + field + b"\xFF" * (183 - len(field))
        else:
            cc = self.cc.get(pid, 0)
            self.cc[pid] = (cc + 1) & 0x0F
            start = 0
            if isinstance(payload, Section):
                start, payload = 0x40, b"\x00" + payload
            packet = bytes([0x47, start | pid >> 8, pid & 0xFF, 0x10 | cc]) + payload
            packet += b"\xFF" * (188 - len(packet))
        assert len(packet) == 188
        self.packets.append(packet)


def make(name, packets, drop=lambda k, table: False, extra=lambda k: None):
    """extra(k): (pid, payload) to send in odd packet k in place of what the cycle has there."""
    s = Stream()
    for k in range(packets):
        if k % 2 == 0:
            s.add(0x0100, pcr=PCR_START + k * TICKS)
            continue
        forced = extra(k)
        if forced is not None:
            s.add(*forced)
            continue
        table = TABLES.get((k % CYCLE) // 2)
        if table and not drop(k, table[0]):
            s.add(table[1], SECTIONS[table[0]])
        else:
            s.add(0x1FFF, b"\xFF" * 184)
    data = b"".join(s.packets)
    if len(data) >= 300000:
        sys.exit(f"{name} is too large")
    with open(os.path.join(out, name), "wb") as f:
        f.write(data)


def cycle(k):
    return k // CYCLE


def at(packet, pid, payload):
    return lambda k: (pid, payload) if k == packet else None


make("si-clean.ts", 12 * CYCLE)
# The NIT of packet 25 (0.4875 s) and then none until packet 589, 11 s later.
make("fault-nit-gap.ts", 13 * CYCLE, drop=lambda k, t: t == "nit" and 1 <= cycle(k) <= 11,
     extra=at(589, 0x10, NIT))
# The SDT of packet 9 and the next at packet 165, 3.042 s later.
make("fault-sdt-gap.ts", 6 * CYCLE, drop=lambda k, t: t == "sdt" and 1 <= cycle(k) <= 3,
     extra=at(165, 0x11, SDT))
# EIT present/following sections 0 and 1 of packets 13 and 17, then 167 and
# 173: 3.003 and 3.042 s later.
make("fault-eit-gap.ts", 6 * CYCLE, drop=lambda k, t: t in ("eit0", "eit1") and 1 <= cycle(k) <= 3,
     extra=lambda k: {167: (0x12, EIT[0]), 173: (0x12, EIT[1])}.get(k))
# The TDT of packet 1 and the next at packet 1591, 31.005 s later: the end.
make("fault-tdt-gap.ts", 1592, drop=lambda k, t: t == "tdt" and k > 1, extra=at(1591, 0x14, TDT))
# The SDT of packet 109 twice in its packet, one section right after the other.
make("fault-si-fast.ts", 3 * CYCLE, extra=at(109, 0x11, Section(SDT + SDT)))
# PID 0x0200, named by no PMT, in packets 41, 91 and 141 (0.975 s apart).
make("fault-unreferenced-pid.ts", 3 * CYCLE, extra=lambda k: (0x0200, b"\x55" * 184) if k % CYCLE == 41 else None)
# An RST in packet 41, and in packet 91 a TDT on the RST's PID 0x0013.
make("fault-rst-table.ts", 3 * CYCLE, extra=lambda k: {41: (0x13, RST), 91: (0x13, TDT)}.get(k))
PYTHON


# The analysis fixtures: a clean constant-rate stream and a 192-byte M2TS
# one from ffmpeg's muxer, two services named in ISO/IEC 8859-5 and UTF-8,
# and variants of the clean stream with one timing fault each. The PCR
# arithmetic of each (the duration as the sum of PCR steps on one time base,
# the fault's place and size) is written to expected/analysis.pcr.json.
if ((encode == 1)); then
analysis_sources=(-f lavfi -i "testsrc=size=160x120:rate=25:duration=1.0"
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1.0")
analysis_codecs=(-map 0:v -map 1:a -c:v mpeg2video -b:v 300k -maxrate 400k -bufsize 200k -g 12 -bf 2
  -c:a aac -b:a 64k)
ffmpeg "${common[@]}" "${analysis_sources[@]}" "${analysis_codecs[@]}" "${exact[@]}" \
  -metadata service_provider=Tessaro -metadata service_name="Analysis CBR" \
  -mpegts_service_id 1 -muxrate 600000 -f mpegts "$out/analysis-cbr.ts"
ffmpeg "${common[@]}" "${analysis_sources[@]}" "${analysis_codecs[@]}" "${exact[@]}" \
  -metadata service_provider=Tessaro -metadata service_name="Analysis M2TS" \
  -mpegts_service_id 1 -muxrate 600000 -mpegts_m2ts_mode 1 -f mpegts "$out/analysis-m2ts.ts"
# Both names in UTF-8 here (ffmpeg marks a name that starts with a non-ASCII
# letter with table byte 0x15); the Python step rewrites the first in 8859-5.
ffmpeg "${common[@]}" \
  -f lavfi -i "testsrc=size=160x120:rate=25:duration=0.5" \
  -f lavfi -i "testsrc2=size=160x120:rate=25:duration=0.5" \
  -map 0:v -map 1:v -c:v mpeg2video -b:v 200k "${exact[@]}" \
  -metadata service_provider=Tessaro \
  -program program_num=1:title="Пятый канал":st=0 \
  -program program_num=2:title="Первый канал":st=1 \
  -f mpegts "$out/analysis-names.ts"
fi

PYTHONPATH="$here" python3 - "$out" <<'PYTHON'
import json
import os
import sys

from mpegcrc import crc32_mpeg2

out = sys.argv[1]
WRAP = (1 << 33) * 300


def expect(condition, text):
    if not condition:
        sys.exit("analysis fixtures: " + text)


def read_packets(name, slot=188, lead=0):
    with open(os.path.join(out, name), "rb") as f:
        data = f.read()
    expect(len(data) % slot == 0, name + " is not whole slots")
    packets = [bytearray(data[i + lead:i + lead + 188]) for i in range(0, len(data), slot)]
    expect(all(p[0] == 0x47 for p in packets), name + " lost sync")
    return packets


def write(name, packets):
    with open(os.path.join(out, name), "wb") as f:
        f.write(b"".join(packets))


def pid(p):
    return ((p[1] & 0x1F) << 8) | p[2]


def has_pcr(p):
    return p[3] & 0x20 and p[4] > 0 and p[5] & 0x10


def get_pcr(p):
    base = (p[6] << 25) | (p[7] << 17) | (p[8] << 9) | (p[9] << 1) | (p[10] >> 7)
    return base * 300 + (((p[10] & 1) << 8) | p[11])


def set_pcr(p, value):
    base, ext = value // 300 % (1 << 33), value % 300
    p[6:12] = bytes([base >> 25 & 0xFF, base >> 17 & 0xFF, base >> 9 & 0xFF, base >> 1 & 0xFF,
                     (base & 1) << 7 | 0x7E | ext >> 8, ext & 0xFF])


def pcr_arithmetic(packets, slot=188, lead=0):
    """The PID with the most PCRs, and its duration: the sum of the steps
    between consecutive PCRs, leaving out a step into a discontinuity_indicator
    or one that is not forward by at most a second."""
    counts = {}
    for p in packets:
        if has_pcr(p):
            counts[pid(p)] = counts.get(pid(p), 0) + 1
    if not counts:
        return {"pcr_pid": None, "duration": None}
    ref = min(counts, key=lambda k: (-counts[k], k))
    pcrs = [(i, get_pcr(p), bool(p[5] & 0x80)) for i, p in enumerate(packets) if pid(p) == ref and has_pcr(p)]
    ticks, steps, largest = 0, [], 0
    for (i0, a, _), (i1, b, jump) in zip(pcrs, pcrs[1:]):
        step = (b - a) % WRAP
        if not jump and 0 < step <= 27000000:
            ticks += step
            largest = max(largest, step)
    return {"pcr_pid": ref, "pcrs": len(pcrs), "duration": ticks / 27e6, "interval_max": largest / 27e6,
            "first_offset": pcrs[0][0] * slot + lead}


clean = read_packets("analysis-cbr.ts")
expected = {"analysis-cbr.ts": pcr_arithmetic(clean),
            "analysis-m2ts.ts": pcr_arithmetic(read_packets("analysis-m2ts.ts", 192, 4), 192, 4)}
expect(pcr_arithmetic(read_packets("analysis-m2ts.ts", 192, 4))["pcrs"] > 10, "M2TS stream without PCRs")
PCR_PID = expected["analysis-cbr.ts"]["pcr_pid"]
PCR_PACKETS = [i for i, p in enumerate(clean) if pid(p) == PCR_PID and has_pcr(p)]
expect(len(PCR_PACKETS) > 40, "too few PCRs in analysis-cbr.ts")

# analysis-pcr-moved.ts: the 20th PCR 27 ticks (1 us) late.
s = [bytearray(p) for p in clean]
moved = PCR_PACKETS[20]
set_pcr(s[moved], get_pcr(s[moved]) + 27)
write("analysis-pcr-moved.ts", s)
expected["analysis-pcr-moved.ts"] = dict(pcr_arithmetic(s), moved_offset=moved * 188)

# analysis-pcr-gap.ts: the PCRs after the 10th removed (their adaptation
# fields kept as stuffing) up to the first one at least 100 ms after it.
s = [bytearray(p) for p in clean]
start = get_pcr(clean[PCR_PACKETS[10]])
removed = [i for i in PCR_PACKETS[11:] if get_pcr(clean[i]) - start < 2700000]
for i in removed:
    s[i][5] &= 0xEF
    s[i][6:12] = b"\xFF" * 6
write("analysis-pcr-gap.ts", s)
expected["analysis-pcr-gap.ts"] = pcr_arithmetic(s)
expect(expected["analysis-pcr-gap.ts"]["interval_max"] >= 0.1, "no gap of 100 ms")

# analysis-discontinuity.ts: from the 25th PCR on a time base 10 s ahead,
# signalled by discontinuity_indicator in that PCR's packet.
s = [bytearray(p) for p in clean]
jump = PCR_PACKETS[25]
s[jump][5] |= 0x80
for i in PCR_PACKETS[25:]:
    set_pcr(s[i], get_pcr(s[i]) + 270000000)
write("analysis-discontinuity.ts", s)
expected["analysis-discontinuity.ts"] = dict(pcr_arithmetic(s), discontinuity_offset=jump * 188)

# analysis-unreferenced.ts: the first 20 null packets moved to PID 0x0777,
# which no table names, with counters in order.
s = [bytearray(p) for p in clean]
nulls = [i for i, p in enumerate(s) if pid(p) == 0x1FFF][:20]
expect(len(nulls) == 20, "too few null packets")
for n, i in enumerate(nulls):
    s[i][1:4] = bytes([0x07, 0x77, 0x10 | n % 16])
write("analysis-unreferenced.ts", s)
expected["analysis-unreferenced.ts"] = dict(pcr_arithmetic(s), unreferenced_pid=0x0777, unreferenced_packets=20)

# analysis-no-pcr.ts: every PCR_flag cleared, the PCR bytes made stuffing.
s = [bytearray(p) for p in clean]
for p in s:
    if has_pcr(p):
        p[5] &= 0xEF
        p[6:12] = b"\xFF" * 6
write("analysis-no-pcr.ts", s)
expected["analysis-no-pcr.ts"] = pcr_arithmetic(s)

# analysis-names.ts: service 1's name rewritten in ISO/IEC 8859-5 (table
# byte 0x01) in every SDT section, which is rebuilt with its CRC_32.
s = read_packets("analysis-names.ts")
NAME_8859_5 = "Пятый канал"
rewritten = 0
for p in s:
    if pid(p) != 0x0011 or not p[1] & 0x40:
        continue
    section = p[5 + p[4]:]
    length = 3 + (((section[1] & 0x0F) << 8) | section[2])
    body, pos, services = section[:11], 11, b""
    while pos < length - 4:
        sid = (section[pos] << 8) | section[pos + 1]
        loop = ((section[pos + 3] & 0x0F) << 8) | section[pos + 4]
        descriptors = section[pos + 5:pos + 5 + loop]
        if sid == 1:
            expect(descriptors[0] == 0x48, "service 1 without service_descriptor first")
            provider = descriptors[3:4 + descriptors[3]]
            name = b"\x01" + NAME_8859_5.encode("iso8859-5")
            rest = descriptors[2 + descriptors[1]:]
            d = bytes([descriptors[2]]) + provider + bytes([len(name)]) + name
            descriptors = bytes([0x48, len(d)]) + d + rest
            loop = len(descriptors)
        services += bytes(section[pos:pos + 3]) + bytes([(section[pos + 3] & 0xF0) | loop >> 8, loop & 0xFF])
        services += descriptors
        pos += 5 + ((section[pos + 3] & 0x0F) << 8 | section[pos + 4])
    new = bytearray(body + services)
    new[1] = (new[1] & 0xF0) | ((len(new) + 1) >> 8)
    new[2] = (len(new) + 1) & 0xFF
    new += crc32_mpeg2(new).to_bytes(4, "big")
    expect(5 + p[4] + len(new) <= 188, "SDT does not fit its packet")
    p[5 + p[4]:] = new + b"\xFF" * (183 - p[4] - len(new))
    rewritten += 1
expect(rewritten > 0, "no SDT in analysis-names.ts")
write("analysis-names.ts", s)

os.makedirs(os.path.join(out, "expected"), exist_ok=True)
with open(os.path.join(out, "expected", "analysis.pcr.json"), "w") as f:
    json.dump(expected, f, indent=1, sort_keys=True)
    f.write("\n")
PYTHON

ls -l "$out"/*.ts
