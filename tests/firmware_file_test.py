#!/usr/bin/env python3
"""Reads what `make image` ships as a platform would take it.

The firmware file build/efi/BoardConfigDxe.ffs, as the DXE core reads it
(the PI firmware-file and section headers): a DXE driver file under the
module's file GUID holding the dependency expression, the image byte for
byte and the driver's name, in that order.

The EDK2 package build/efi/BoardConfigPkg/ and its archive: every file
listed with its SHA-256, the archive the same files and bytes with nothing
of the machine that packed it; the DEC's GUIDs those the test side knows
(boardsim --facts), the INF's GUID names declared by the DEC or by MdePkg;
the header valid C that, with the GUID definition EDK2's AutoGen writes from
the DEC, names the interface the driver installs; the FDF line asking for
the rule the package brings."""

import json
import os
import re
import struct
import subprocess
import sys
import tarfile
import tempfile
import unittest
import uuid
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
BUILD = REPO / "build" / "efi"
PACKAGE = BUILD / "BoardConfigPkg"
ARCHIVE = BUILD / "BoardConfigPkg.tar.gz"
BOARDSIM = Path(os.environ.get("BOARDSIM", REPO / "build" / "host" / "boardsim"))

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


def edk2_sections(text):
    """{section header: [its lines]} of an EDK2 INF or DEC, comments dropped."""
    found, current = {}, None
    for line in text.splitlines():
        line = line.split("#", 1)[0].strip()
        if not line:
            continue
        header = re.fullmatch(r"\[([^\]]+)\]", line)
        if header:
            current = found.setdefault(header.group(1), [])
        elif current is not None:
            current.append(line)
    return found


def dec_guid(initializer):
    """A DEC's C initializer { 0x..., 0x..., 0x..., { 0x.., ... }} in
    registry format."""
    numbers = [int(n, 16) for n in re.findall(r"0x[0-9A-Fa-f]+", initializer)]
    assert len(numbers) == 11, initializer
    return str(uuid.UUID(fields=(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4],
                                 int.from_bytes(bytes(numbers[5:]), "big")))).upper()


def module_inf():
    return (PACKAGE / "BoardConfigDxe" / "BoardConfigDxe.inf").read_text()


def defines(sections_found):
    """The [Defines] of an INF or DEC as a dict."""
    return {name.strip(): value.strip()
            for name, value in (line.split("=", 1) for line in sections_found["Defines"])}


def edk2_tree():
    located = subprocess.run([str(REPO / "tools" / "ensure-edk2.sh"), "--locate"],
                             capture_output=True, text=True)
    return Path(located.stdout.strip()) if located.returncode == 0 else None


class FirmwareFileTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.ffs = (BUILD / "BoardConfigDxe.ffs").read_bytes()
        cls.image = (BUILD / "BoardConfigDxe.efi").read_bytes()
        cls.guid = uuid.UUID(defines(edk2_sections(module_inf()))["FILE_GUID"])

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


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dec = edk2_sections((PACKAGE / "BoardConfigPkg.dec").read_text())
        cls.inf = edk2_sections(module_inf())
        cls.dec_guids = dict(re.fullmatch(r"(\w+)\s*=\s*(\{.*\})", line).groups()
                             for line in cls.dec["Protocols"])
        facts = subprocess.run([str(BOARDSIM), "--facts"], capture_output=True, text=True, check=True)
        cls.facts = json.loads(facts.stdout)

    def test_every_file_listed_with_its_sha256(self):
        listed = {}
        for line in (PACKAGE / "SHA256SUMS").read_text().splitlines():
            digest, name = line.split("  ", 1)
            listed[name] = digest
        files = {str(p.relative_to(PACKAGE)) for p in PACKAGE.rglob("*") if p.is_file()}
        self.assertEqual(set(listed), files - {"SHA256SUMS"})
        done = subprocess.run(["sha256sum", "--check", "--strict", "--quiet", "SHA256SUMS"],
                              cwd=PACKAGE, capture_output=True, text=True)
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        self.assertEqual((PACKAGE / "BoardConfigDxe" / "BoardConfigDxe.efi").read_bytes(),
                         (BUILD / "BoardConfigDxe.efi").read_bytes())

    def test_archive_holds_the_folder_and_nothing_of_the_packer(self):
        with tarfile.open(ARCHIVE) as archive:
            members = archive.getmembers()
            files = {m.name: archive.extractfile(m).read() for m in members if m.isfile()}
            for member in members:
                self.assertEqual((member.uid, member.gid, member.uname, member.gname, member.mtime),
                                 (0, 0, "", "", 0), member.name)
        on_disk = {"BoardConfigPkg/%s" % p.relative_to(PACKAGE): p.read_bytes()
                   for p in PACKAGE.rglob("*") if p.is_file()}
        self.assertEqual(files, on_disk)
        # gzip's own header: no name, no time stamp.
        header = ARCHIVE.read_bytes()[:10]
        self.assertEqual(header[3] & 0x08, 0)
        self.assertEqual(header[4:8], bytes(4))

    def test_dec_guids_are_the_services_the_test_side_knows(self):
        outside = self.facts["outside_service_guids"]
        wanted = {"gBoardServiceProtocolGuid": self.facts["board_service_guid"],
                  "gSmbiosRecordServiceProtocolGuid": outside["smbios_record_service"],
                  "gSetupStringServiceProtocolGuid": outside["setup_string_service"]}
        self.assertEqual({name: dec_guid(value) for name, value in self.dec_guids.items()}, wanted)
        self.assertEqual(self.dec["Includes"], ["Include"])
        self.assertTrue((PACKAGE / "Include" / "Protocol" / "BoardService.h").is_file())

    def test_module_names_only_guids_its_packages_declare(self):
        self.assertEqual(self.inf["Packages"], ["MdePkg/MdePkg.dec", "BoardConfigPkg/BoardConfigPkg.dec"])
        self.assertEqual(self.inf["Binaries.X64"],
                         ["PE32|BoardConfigDxe.efi|*", "DXE_DEPEX|BoardConfigDxe.depex|*"])
        module = defines(self.inf)
        self.assertEqual(module["MODULE_TYPE"], "DXE_DRIVER")
        self.assertEqual(module["FILE_GUID"], self.facts["driver_file_guid"])
        tree = edk2_tree()
        self.assertIsNotNone(tree, "no EDK2 tree prepared (make image)")
        mde = (tree / "MdePkg" / "MdePkg.dec").read_text()
        for section in ("Protocols", "Guids"):
            for name in self.inf[section]:
                with self.subTest(name):
                    declared = name in self.dec_guids or re.search(r"^\s*%s\s*=" % name, mde, re.M)
                    self.assertTrue(declared, "%s is declared by neither BoardConfigPkg nor MdePkg" % name)
        # The PCI location service is EDK2's PCD protocol.
        pcd = re.search(r"^\s*gPcdProtocolGuid\s*=\s*(\{.*\})", mde, re.M).group(1)
        self.assertEqual(dec_guid(pcd), self.facts["outside_service_guids"]["pci_location_service"])

    def test_header_names_the_interface_with_autogens_guid(self):
        """A consumer as EDK2 builds it: its AutoGen defines the GUID from the
        DEC; the header's macro and the DEC agree, and entry 4 is the fifth
        pointer."""
        source = ('#include <stddef.h>\n#include <string.h>\n'
                  '#include "platform/uefi.h"\n'
                  '#include <Protocol/BoardService.h>\n'
                  "EFI_GUID gBoardServiceProtocolGuid = %s;\n"
                  "int main(void) {\n"
                  "  const EFI_GUID fromHeader = BOARD_SERVICE_PROTOCOL_GUID;\n"
                  "  return memcmp(&fromHeader, &gBoardServiceProtocolGuid, sizeof fromHeader) != 0 ||\n"
                  "         offsetof(BOARD_SERVICE_PROTOCOL, CollectOnboardLanMacs) != 4 * sizeof(VOID *);\n"
                  "}\n" % self.dec_guids["gBoardServiceProtocolGuid"])
        with tempfile.TemporaryDirectory() as scratch:
            (Path(scratch) / "consumer.c").write_text(source)
            program = Path(scratch) / "consumer"
            built = subprocess.run(["cc", "-std=c11", "-pedantic", "-Wall", "-Wextra", "-Werror",
                                    "-I", str(PACKAGE / "Include"), "-I", str(REPO),
                                    "-o", str(program), str(Path(scratch) / "consumer.c")],
                                   capture_output=True, text=True)
            self.assertEqual(built.returncode, 0, built.stderr)
            self.assertEqual(subprocess.run([str(program)]).returncode, 0)

    def test_fdf_line_asks_for_the_rule_the_package_brings(self):
        line = (PACKAGE / "BoardConfigDxe.fdf.inc").read_text()
        asked = re.search(r"^INF\s+RuleOverride\s*=\s*(\w+)\s+(\S+)$", line, re.M)
        self.assertIsNotNone(asked, line)
        self.assertEqual(asked.group(2), "BoardConfigPkg/BoardConfigDxe/BoardConfigDxe.inf")
        rules = (PACKAGE / "BoardConfigRules.fdf.inc").read_text()
        self.assertEqual(re.findall(r"^\[Rule\.([^\]]+)\]", rules, re.M),
                         ["Common.DXE_DRIVER.%s" % asked.group(1)])
        components = edk2_sections((PACKAGE / "BoardConfigPkg.dsc.inc").read_text())
        self.assertEqual(components, {"Components.X64": [asked.group(2)]})

    def test_readme_is_the_integration_section(self):
        readme = (REPO / "README.md").read_text()
        section = re.search(r"<!-- package-readme: begin -->\n(.*)<!-- package-readme: end -->",
                            readme, re.S).group(1)
        self.assertEqual((PACKAGE / "README.md").read_text(), "# BoardConfigPkg\n\n" + section)


if __name__ == "__main__":
    if not (BUILD / "BoardConfigDxe.ffs").exists() or not ARCHIVE.exists():
        sys.exit("no build/efi/BoardConfigDxe.ffs or BoardConfigPkg.tar.gz: build them with 'make image'")
    unittest.main()
