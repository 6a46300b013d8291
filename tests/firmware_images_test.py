#!/usr/bin/env python3
"""Reads the firmware the driver boots in with an independent reader,
Debian's UEFIExtract, and checks what it reports. The stage's test firmware
(build/efi/firmware-images/, OVMF's code images with the driver's file
added to the DXE volume by FMMT): the driver file in the DXE volume with its
three sections in order, followed by the companion's. The platform built
from source with the package (build/platform/OVMF_CODE.fd): the driver file
in its DXE volume, inside the compressed main volume, beside the companion
and the sample consumer. In both, each section's body is what the build
made (the dependency expression, the .efi byte for byte, the name)."""

import re
import shutil
import subprocess
import sys
import tempfile
import unittest
from dataclasses import dataclass
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "efi"
IMAGES = BUILD / "firmware-images"
PLATFORM_IMAGE = REPO / "build" / "platform" / "OVMF_CODE.fd"
DXE_VOLUME = "7CB8BDC9-F8EB-4F34-AAEA-3EE4AF6516A1"
COMPANION_FILE = "07359607-77CA-478D-9C09-B4E1C2B47632"
SECTION_PE32, SECTION_DXE_DEPEX, SECTION_USER_INTERFACE = "10", "13", "15"


@dataclass
class Row:
    """One line of UEFIExtract's report: an item of the image's tree."""
    kind: str
    subtype: str
    depth: int  # the dashes before the name
    name: str


def report_rows(text):
    rows = []
    for line in text.splitlines()[1:]:
        cells = [cell.strip() for cell in line.split("|")]
        if len(cells) < 6:
            continue
        tree = re.match(r"^(-*)\s*(.*)$", " | ".join(cells[5:]))
        rows.append(Row(cells[0], cells[1], len(tree.group(1)), tree.group(2)))
    return rows


def children(rows, parent):
    """The rows directly under rows[parent]."""
    found = []
    for row in rows[parent + 1:]:
        if row.depth <= rows[parent].depth:
            break
        if row.depth == rows[parent].depth + 1:
            found.append(row)
    return found


def driver_file_guid():
    inf = (BUILD / "BoardConfigPkg" / "BoardConfigDxe" / "BoardConfigDxe.inf").read_text()
    return re.search(r"FILE_GUID\s*=\s*(\S+)", inf).group(1).upper()


class FirmwareImageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory()
        cls.images = sorted(IMAGES.glob("*.fd"))
        cls.firmware = cls.images + [PLATFORM_IMAGE]
        cls.guid = driver_file_guid()

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def extract(self, image, *arguments):
        """UEFIExtract on a copy of the image (it writes beside its input)."""
        work = Path(self.scratch.name) / image.stem / "-".join(arguments)
        work.mkdir(parents=True)
        copy = work / image.name
        shutil.copy(image, copy)
        done = subprocess.run(["UEFIExtract", str(copy), *arguments], cwd=work,
                              capture_output=True, text=True)
        return work, copy, done

    def section_body(self, image, section_type):
        work, copy, done = self.extract(image, self.guid, "-o", "out", "-m", "body", "-t", section_type)
        self.assertEqual(done.returncode, 0, "UEFIExtract found no file %s in %s: %s"
                         % (self.guid, image.name, done.stdout + done.stderr))
        return (work / "out" / "body.bin").read_bytes()

    def test_both_variants_were_built(self):
        self.assertEqual([image.name for image in self.images],
                         ["OVMF_CODE_4M.fd", "OVMF_CODE_4M.secboot.fd"])

    def dxe_volume_files(self, image):
        """The rows of the files in the image's DXE volume, and all rows."""
        work, copy, done = self.extract(image, "report")
        rows = report_rows(Path(str(copy) + ".report.txt").read_text())
        volume = next(i for i, row in enumerate(rows)
                      if row.kind == "Volume" and row.name == DXE_VOLUME)
        return children(rows, volume), rows

    def assert_driver_file(self, files, rows):
        names = [row.name for row in files]
        driver = "%s | BoardConfigDxe" % self.guid
        self.assertEqual(names.count(driver), 1, names)
        at = rows.index(files[names.index(driver)])
        self.assertEqual(rows[at].subtype, "DXE driver")
        self.assertEqual([row.subtype for row in children(rows, at)],
                         ["DXE dependency", "PE32 image", "UI"])
        return names

    def test_driver_file_in_the_dxe_volume_then_the_companion(self):
        for image in self.images:
            with self.subTest(image.name):
                files, rows = self.dxe_volume_files(image)
                names = self.assert_driver_file(files, rows)
                companion = "%s | BoardStageCompanion" % COMPANION_FILE
                self.assertEqual(names.index(companion), names.index("%s | BoardConfigDxe" % self.guid) + 1)

    def test_platform_build_put_the_driver_beside_companion_and_sample(self):
        files, rows = self.dxe_volume_files(PLATFORM_IMAGE)
        names = self.assert_driver_file(files, rows)
        for other in ("%s | BoardStageCompanion" % COMPANION_FILE, "OnboardMacReportDxe"):
            self.assertEqual(sum(name.endswith(other) for name in names), 1, names)

    def test_section_bodies_are_what_the_build_made(self):
        image = (BUILD / "BoardConfigDxe.efi").read_bytes()
        depex = (BUILD / "BoardConfigDxe.depex").read_bytes()
        for firmware in self.firmware:
            with self.subTest(str(firmware.relative_to(REPO))):
                self.assertEqual(self.section_body(firmware, SECTION_PE32), image)
                self.assertEqual(self.section_body(firmware, SECTION_DXE_DEPEX), depex)
                self.assertEqual(self.section_body(firmware, SECTION_USER_INTERFACE).decode("utf-16-le"),
                                 "BoardConfigDxe\0")


if __name__ == "__main__":
    if shutil.which("UEFIExtract") is None:
        sys.exit("UEFIExtract is missing: install Debian's uefitool-cli (make test installs it)")
    if not IMAGES.is_dir():
        sys.exit("no build/efi/firmware-images/: build them with 'make image'")
    if not PLATFORM_IMAGE.exists():
        sys.exit("no build/platform/OVMF_CODE.fd: build it with 'make platform'")
    unittest.main()
