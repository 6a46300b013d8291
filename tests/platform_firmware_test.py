#!/usr/bin/env python3
"""The platform built from source with the package (make platform, into
build/platform/) against what the driver ships and what the README says:
the firmware file EDK2's build made from the package by its rule is the one
`make image` makes and the stage boots; and what the README says OVMF's
build assigned to the PCD tokens the driver asks for (8 and 403) is what the
README's own commands find in that build."""

import re
import sys
import unittest
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
PLATFORM = REPO / "build" / "platform"


def token_facts(text):
    """What the README's pcd-tokens commands printed: {token: (name, bits)}
    and the PEI and DXE token counts."""
    names = {int(number): name for name, number in
             re.findall(r"^#define _PCD_TOKEN_(\w+)\s+(\d+)U$", text, re.M)}
    bits = dict((name, int(size)) for size, name in
                re.findall(r"^#define _PCD_GET_MODE_(\d+|BOOL|PTR)_(\w+)\s", text, re.M)
                if size.isdigit())
    counts = dict(re.findall(r"^#define (PEI|DXE)_LOCAL_TOKEN_NUMBER\s+(\d+)$", text, re.M))
    return {token: (name, bits.get(name)) for token, name in names.items()}, \
        {phase: int(count) for phase, count in counts.items()}


class PlatformFirmwareTest(unittest.TestCase):
    def test_the_platform_made_the_firmware_file_the_driver_ships_as(self):
        self.assertEqual((PLATFORM / "BoardConfigDxe.ffs").read_bytes(),
                         (REPO / "build" / "efi" / "BoardConfigDxe.ffs").read_bytes())

    def test_readme_says_what_the_build_assigned_to_tokens_8_and_403(self):
        tokens, counts = token_facts((PLATFORM / "pcd-tokens.txt").read_text())
        self.assertEqual(set(counts), {"PEI", "DXE"})
        readme = " ".join((REPO / "README.md").read_text().split())
        for token in (8, 403):
            with self.subTest(token=token):
                if token in tokens:
                    name, bits = tokens[token]
                    self.assertIn("token %d is `gEfiMdePkgTokenSpaceGuid.%s`, a UINT%d" % (token, name, bits),
                                  readme)
                else:
                    self.assertGreater(token, counts["PEI"] + counts["DXE"])
                    self.assertIn("so %d is none" % token, readme)
        self.assertIn("the database has %d tokens (%d PEI, %d DXE)"
                      % (counts["PEI"] + counts["DXE"], counts["PEI"], counts["DXE"]), readme)


if __name__ == "__main__":
    if not (PLATFORM / "OVMF_CODE.fd").exists():
        sys.exit("no build/platform/OVMF_CODE.fd: build it with 'make platform'")
    unittest.main()
