#!/usr/bin/env python3
"""Writes sample/kovo.fon: a 100-slot directory file with used entries in
scattered slots, free slots holding stale bytes, mixed-case and equal first
fields, an over-long length byte and bytes above 0x7F (code page 437)."""
import os

CAPACITIES = (60, 60, 12, 30, 30)
SLOT_SIZE = sum(c + 1 for c in CAPACITIES)  # 197


def slot(*values, stale=b"\0"):
    out = b""
    for capacity, value in zip(CAPACITIES, values + (b"",) * (5 - len(values))):
        text = value[:capacity]
        out += bytes([len(text)]) + text + (stale * capacity)[: capacity - len(text)]
    assert len(out) == SLOT_SIZE
    return out


slots = [slot() for _ in range(100)]
slots[1] = slot(b"Smith", b"12 High Street", b"555-0142", b"smith@example.org", b"plumber")
slots[4] = slot(b"anderson", b"3 Mill Lane", b"555-0199", stale=b"#")
slots[5] = slot(b"Old entry", b"", b"555-0000", stale=b"~")          # free: no second field
slots[9] = slot(b"M\x81ller", b"Hauptstra\xe1e 7", b"555-0111", b"", b"\xfe VIP")
slots[17] = slot(b"ANDERSON", b"Second Anderson", b"555-0198")
slots[23] = slot(b"", b"orphaned address", b"555-0001")               # free: no first field
slots[30] = slot(b"zimmerman", b"Zoo Road 1", b"555-0777")
slots[41] = slot(b"Anderson", b"Third Anderson", b"555-0197")
slots[56] = slot(b"42nd Street Deli", b"42nd Street", b"555-0042")
slots[63] = slot(b"smith", b"Lower-case smith", b"555-0143")
slots[77] = slot(b"\xe1uerst", b"Sharp s first", b"555-0300")
slots[99] = slot(b"brown", b"Last slot", b"555-0100")
# An over-long length byte: Field3 claims 200 bytes, holds 12.
over = bytearray(slot(b"Jones", b"Long Field3", b"555-0123-EXT"))
over[122] = 200
slots[88] = bytes(over)

image = b"".join(slots)
assert len(image) == 19700
path = os.path.join(os.path.dirname(os.path.abspath(__file__)), "kovo.fon")
with open(path, "wb") as f:
    f.write(image)
