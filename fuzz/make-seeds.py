#!/usr/bin/env python3
"""Writes the seed corpus of the boot fuzzers into fuzz/corpus/{board,hostile}
and the inputs of fuzz/reproducers/.

Each seed is a scenario in the input layout that input_decoder.cpp decodes;
the hostile seeds append the bytes their register reads take, in the order
the driver reads. Run it again after a change of that layout.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

# Step codes: install pci_location / smbios / setup_strings, entry,
# ready-to-boot, entry 4 through the boot, entry 4 with exact-size buffers.
PCI, SMBIOS, SETUP, ENTRY, RTB, E4, E4_DIRECT = 0, 4, 8, 1, 2, 3, 7

FAULT_SERVICES = ["LocateProtocol", "CreateEvent", "CreateEventEx",
                  "RegisterProtocolNotify", "InstallProtocolInterface",
                  "SmbiosRecordService.ReadRecordByType",
                  "SmbiosRecordService.DeleteRecord",
                  "SetupStringService.ReplaceString"]
NOT_FOUND, OUT_OF_RESOURCES, DEVICE_ERROR, WARN_UNKNOWN_GLYPH = 0, 1, 3, 6


def scenario(series="H", id_low=5, straps=(0, 1, 1, 1), owners=(0, 0, 0, 0),
             b0_owner=0, locked=True, dw0=0x44000201, p2sb=0, lan=(0, 0),
             slots=3, smm=False, tables=False, registers=(), bridges=(),
             replies=(), faults=(), steps=()):
    out = bytearray()
    out += bytes([{"H": 0, "LP": 1}[series], id_low ^ 5])
    out += bytes([sum(level << i for i, level in enumerate(straps)) ^ 0x0E])
    out += bytes([sum(owner << (2 * i) for i, owner in enumerate(owners))])
    out += bytes([b0_owner | (0 if locked else 4)])
    out += struct.pack("<I", dw0 ^ 0x44000201)
    out += struct.pack("<H", p2sb)
    out += bytes([lan[0] | lan[1] << 2, (slots - 3) % 17,
                  (1 if smm else 0) | (0x30 if tables else 0)])
    out += bytes([len(registers)])
    for pick, value in registers:
        out += bytes([pick]) + struct.pack("<I", value)
    out += bytes([sum(1 << key for key, _ in bridges)])
    for _, pick in bridges:
        out += bytes([pick])
    out += bytes([len(replies)])
    for instance, record in replies:
        out += bytes([instance - 1, len(record) - 4]) + bytes(record)
    out += bytes([len(faults)])
    for service, status, occurrence in faults:
        out += bytes([FAULT_SERVICES.index(service), status, occurrence])
    out += bytes([len(steps)]) + bytes(steps)
    return bytes(out)


def reads(*values):
    """(width in bits, value) pairs, little-endian as the reads take them."""
    return b"".join(value.to_bytes(width // 8, "little")
                    for width, value in values)


def straps(levels, lpc_id=None):
    """Reads of one riser identification: ownership, then DW0 of each pad."""
    seq = [(16, lpc_id)] if lpc_id is not None else []
    for level in levels:
        seq += [(32, 0), (32, level << 1)]
    return seq


def sideband(lock_tx):
    """Lock register read, vendor ID, idle, status twice, completion."""
    return [(32, lock_tx), (16, 0x8086), (16, 0), (16, 0), (16, 0x1300),
            (16, 0)]


BOARD = {
    # The default board and boot: H series, VARNEX-W, GPP_B0 TX-locked.
    "default-varnex-w": scenario(),
    "varnex-n-unlocked": scenario(straps=(0, 0, 1, 1), locked=False),
    "lp-series": scenario(series="LP", id_low=4, slots=4, smm=True,
                          tables=True),
    "no-riser-two-slots": scenario(straps=(1, 0, 0, 0), slots=2,
                                   owners=(0, 2, 0, 0)),
    # Only the SMBIOS service, signalled before it; entry 4 without the
    # location service.
    "smbios-only": scenario(steps=[RTB, ENTRY, E4_DIRECT, SMBIOS, RTB, E4]),
    # Services before the entry, three signals, entry 4 everywhere.
    "preinstalled-order": scenario(
        steps=[PCI, SMBIOS, E4, RTB, ENTRY, E4, SETUP, RTB, RTB,
               E4_DIRECT]),
    # The SMBIOS notification cannot be registered: the entry fails.
    "entry-fails": scenario(faults=[("RegisterProtocolNotify", OUT_OF_RESOURCES,
                                     2)]),
    "service-faults": scenario(faults=[
        ("SmbiosRecordService.ReadRecordByType", NOT_FOUND, 1),
        ("SmbiosRecordService.DeleteRecord", DEVICE_ERROR, 0),
        ("LocateProtocol", WARN_UNKNOWN_GLYPH, 3),
        ("SetupStringService.ReplaceString", DEVICE_ERROR, 1)]),
    # P2SB completing with an error, another controller behind the first
    # bridge, the second bridge's subordinate bus and BAR0 moved.
    "p2sb-error-lan-moved": scenario(
        p2sb=6, lan=(1, 0),
        registers=[(12, 0x00040400), (19, 0xB0000000)],
        bridges=[(1, 0)]),
    "p2sb-absent-owned-pad": scenario(p2sb=5, b0_owner=2, lan=(2, 3)),
    # A record copy that names the first slot's handle at instance 3.
    "record-names-other-handle": scenario(
        replies=[(3, [9, 0x11, 0x00, 0x09, 1, 0, 0, 0])]),
}

H_BOOT = (straps([0, 1, 1, 1], lpc_id=0xA305) + straps([0, 1, 1, 1])
          + [(32, 0), (32, 1)] + sideband(1) + [(32, 0x44000201)]
          + sideband(0)
          + [(8, 2), (32, 0x15338086), (32, 0x15338086), (8, 6),
             (32, 0xFDF00000)] + [(8, b) for b in (0, 0x1B, 0x21, 0xA0, 0, 1)]
          + [(8, 3), (32, 0x15338086), (32, 0x15338086), (8, 6),
             (32, 0xFDF20000)] + [(8, b) for b in (0, 0x1B, 0x21, 0xA0, 0, 2)])

HOSTILE = {
    # Reads that tell the default story, MAC bytes included.
    "consistent-h-board": scenario() + reads(*H_BOOT),
    # Two reads of one register that differ: the series, a strap, the
    # controller identity and the busy bit change between reads.
    "values-change": scenario() + reads(
        (16, 0x1234), (32, 0), (16, 0xA305), (32, 2), (32, 0), (32, 2),
        (32, 0), (32, 2), (32, 0), (32, 0), (32, 0), (32, 2), (32, 0),
        (32, 2), (32, 0), (32, 2), (32, 0), (32, 1), (32, 0), (16, 0x8086),
        (16, 1), (16, 1), (16, 0), (16, 0x00FF), (16, 0x00FF), (16, 1),
        (16, 0), (32, 0xFFFFFFFF), (8, 2), (32, 0x15338086), (32, 0),
        (8, 9), (32, 0xFFFFFFFF)),
    "lp-ids": scenario(series="LP", id_low=4) + reads(
        (16, 0x9D84), (32, 0), (32, 3), (32, 1), (32, 0xFFFFFFFF)),
    # Input ends early: every later read answers 0.
    "short-input": scenario(locked=False, steps=[ENTRY, RTB, SMBIOS, PCI, E4])
    + reads((16, 0xA301)),
}


# Not seeds: boots the fuzzers judged sound but worth a look, replayed with
# BOARD_FUZZ_DESCRIBE=1. Here the P2SB's status reads back opcode 0 after
# the driver wrote 0x13, and the message starts with the opcode read back.
REPRODUCERS = {
    "hostile-status-reads-back-other-opcode": scenario() + reads(
        *[(width, 0 if (width, value) == (16, 0x1300) else value)
          for width, value in H_BOOT]),
}


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)


write(os.path.join(HERE, "corpus", "board"), BOARD)
write(os.path.join(HERE, "corpus", "hostile"), HOSTILE)
write(os.path.join(HERE, "reproducers"), REPRODUCERS)
