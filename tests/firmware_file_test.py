#!/usr/bin/env python3
"""Reads build/efi/BoardConfigDxe.ffs as the firmware's DXE core would (the
PI firmware-file and section headers) and checks what a platform relies
on: a DXE driver file under the module description's file GUID holding the
dependency expression, the image byte for byte and the driver's name, in
that order; and that the integration package's public header compiles as
C after the platform's UEFI types."""

import re
import struct
import subprocess
import sys
import tempfile
import unittest
import uuid
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "efi"

FILE_TYPE_DRIVER = 0x07
SECTION_PE32, SECTION_USER_INTERFACE, SECTION_DXE_DEPEX = 0x10, 0x15, 0x13
DEPEX_TRUE, DEPEX_END = 0x06, 0x08


def sections(body):
    """(type, payload) of each section, each on a 4-byte boundary."""
    found, at = [], 0
    while at < len(body):
        size = int.from_bytes(body[at:at + 3], "little")
        found.append((body[at + 3], body[at + 4:at + size]))
        at = (at + size + 3) & ~3
    return found


class FirmwareFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ffs = (BUILD / "BoardConfigDxe.ffs").read_bytes()
        cls.image = (BUILD / "BoardConfigDxe.efi").read_bytes()
        inf = (BUILD / "integration" / "BoardConfigDxe.inf").read_text()
        cls.guid = uuid.UUID(re.search(r"FILE_GUID\s*=\s*(\S+)", inf).group(1))

    def test_driver_file_under_the_module_guid(self):
        name, _, file_type, _, size, state = struct.unpack_from("<16sHBB3sB", self.ffs)
        self.assertEqual(uuid.UUID(bytes_le=name), self.guid)
        self.assertEqual(file_type, FILE_TYPE_DRIVER)
        self.assertEqual(int.from_bytes(size, "little"), len(self.ffs))
        # Header under construction, header and data valid; a volume with
        # erase polarity 1 stores the complement.
        self.assertEqual(state, 0x07)

    def test_depex_image_and_name_in_order(self):
        found = sections(self.ffs[24:])
        self.assertEqual([t for t, _ in found],
                         [SECTION_DXE_DEPEX, SECTION_PE32, SECTION_USER_INTERFACE])
        depex, pe32, name = (payload for _, payload in found)
        self.assertEqual(depex, bytes([DEPEX_TRUE, DEPEX_END]))
        self.assertEqual(pe32, self.image)
        self.assertEqual(name.decode("utf-16-le"), "BoardConfigDxe\0")

    def test_public_header_compiles_after_the_platform_types(self):
        with tempfile.TemporaryDirectory() as scratch:
            source = Path(scratch) / "driver.c"
            source.write_text('#include "platform/uefi.h"\n'
                              '#include "board_service.h"\n'
                              "static const EFI_GUID kGuid = BOARD_SERVICE_PROTOCOL_GUID_INIT;\n"
                              "const EFI_GUID *Guid(void) { return &kGuid; }\n")
            done = subprocess.run(["cc", "-std=c11", "-pedantic", "-Wall", "-Werror", "-fsyntax-only",
                                   "-I", str(BUILD / "integration"), "-I", str(REPO), str(source)],
                                  capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stderr)


if __name__ == "__main__":
    if not (BUILD / "BoardConfigDxe.ffs").exists():
        sys.exit("no build/efi/BoardConfigDxe.ffs: build it with 'make image'")
    unittest.main()
