import json
from dataclasses import replace
import unittest

from stage import health
from stage.console import BootConsole

from .fixture import (FV_SMM_LAID_OUT, LAID_OUT, LOAD_PATH, PLATFORM_LAID_OUT, RECORDED, UNBACKED, copied,
                      facts, image_layout)


def problems_of(directory, play):
    return health.scenario_problems(directory, BootConsole(directory / "console.log"), facts(), play,
                                    play.load_path, image_layout(directory.name))


def edit_console(directory, change):
    path = directory / "console.log"
    path.write_bytes(change(path.read_bytes()))


def problems_after(fixture, change, play):
    """The problems of a recorded boot whose console was changed."""
    scratch, directory = copied(fixture)
    with scratch:
        edit_console(directory, change)
        return problems_of(directory, play)


class RecordedBootsTest(unittest.TestCase):
    def test_recorded_boots_are_healthy(self):
        for name, play in RECORDED.items():
            with self.subTest(name):
                scratch, directory = copied(name)
                with scratch:
                    self.assertEqual(problems_of(directory, play), [])


class BrokenBootTest(unittest.TestCase):
    """Each fault of the harness is caught, with a message naming it."""

    CASES = [
        ("the shell stopped early", lambda c: c.replace(b"BOARDSTAGE-SECTION end", b""),
         "did not reach the end of startup.nsh"),
        ("a CPU exception", lambda c: c + b"\r\n!!!! X64 Exception Type - 0D(#GP - General Protection) !!!!\r\n",
         "CPU exception"),
        ("a companion line lost", lambda c: c.replace(b"BOARDSTAGE smbios-type9-before count=0\r\n", b""),
         "the companion's log has"),
        ("an unused entry called", lambda c: c.replace(b"BOARDSTAGE companion done",
                                                       b"BOARDSTAGE unexpected-entry 3\r\nBOARDSTAGE companion done"),
         "unused service entries were called"),
        ("records there before", lambda c: c.replace(b"smbios-type9-before count=0", b"smbios-type9-before count=1"),
         "already had System Slots records"),
        ("ready-to-boot after the shell", lambda c: c.replace(b"COMPANION ready-to-boot signalled", b""),
         "before it started the shell"),
        ("the windows moved", lambda c: c.replace(b"chipset-windows moved=0", b"chipset-windows moved=2"),
         "windows moved although none is backed"),
        ("a refusal accepted", lambda c: c.replace(b"setup-refusal name=Nowhere id=0x1a52 status=0x800000000000000e",
                                                   b"setup-refusal name=Nowhere id=0x1a52 status=0x0"),
         "must refuse an unknown name and identifier"),
        ("no Setup form", lambda c: c.replace(b"setup-form registered status=0x0",
                                              b"setup-form registered status=0x8000000000000009"),
         "did not register the board's Setup form"),
        ("the takeover skipped", lambda c: c.replace(b"takeover scope=driver-image", b"takeover skipped"),
         "did not log 'pci-location takeover scope=driver-image'"),
    ]

    def test_each_fault_is_named(self):
        for what, change, message in self.CASES:
            with self.subTest(what):
                problems = problems_after("reads-zero", change, UNBACKED)
                self.assertTrue(any(message in p for p in problems), problems)

    def test_hang_limit_and_exit_status(self):
        for record, message in (({"timed_out": True}, "hang limit"), ({"exit_status": 1}, "exit status 1")):
            with self.subTest(message):
                scratch, directory = copied("varnex-w")
                with scratch:
                    boot = json.loads((directory / "boot.json").read_text())
                    boot.update(record)
                    (directory / "boot.json").write_text(json.dumps(boot))
                    problems = problems_of(directory, LAID_OUT)
                    self.assertTrue(any(message in p for p in problems), problems)

    def test_a_laid_out_board_needs_its_windows_and_account(self):
        scratch, directory = copied("varnex-w")
        with scratch:
            (directory / "board-account.json").unlink()
            edit_console(directory, lambda c: c.replace(b"bar2=0xfd00000c", b"bar2=0xfe00000c"))
            problems = problems_of(directory, LAID_OUT)
        self.assertTrue(any("no board-account.json" in p for p in problems), problems)
        self.assertTrue(any("chipset windows were not moved" in p for p in problems), problems)


class LoadPathEvidenceTest(unittest.TestCase):
    """What shows how the driver was loaded must agree with the load path."""

    CASES = [
        ("loaded from another file", FV_SMM_LAID_OUT,
         lambda c: c.replace(b"FvFile(EE004913", b"FvFile(EE004914"),
         "not from the firmware volume's FvFile(EE004913-32A0-49F1-BAB8-D6B172F11AC6)"),
        ("no image listing", FV_SMM_LAID_OUT, lambda c: c.replace(b"BOARDSTAGE-SECTION images", b""),
         "listed no loaded images"),
        ("started after PCI enumeration", FV_SMM_LAID_OUT,
         lambda c: c.replace(b"complete-at-entry=0", b"complete-at-entry=1"),
         "the firmware-volume path starts it before PCI enumeration"),
        ("judged as loaded by the boot manager", replace(FV_SMM_LAID_OUT, load_path=LOAD_PATH), lambda c: c,
         "the driver-option path starts it after PCI enumeration"),
        ("windows moved away before ready-to-boot", FV_SMM_LAID_OUT,
         lambda c: c.replace(b"windows-held at=ready-to-boot count=2", b"windows-held at=ready-to-boot count=1"),
         "did not hold until ready-to-boot"),
    ]

    def test_the_firmware_volume_boot_is_healthy_and_each_fault_named(self):
        scratch, directory = copied("fv-smm-varnex-w")
        with scratch:
            self.assertEqual(problems_of(directory, FV_SMM_LAID_OUT), [])
        for what, play, change, message in self.CASES:
            with self.subTest(what):
                problems = problems_after("fv-smm-varnex-w", change, play)
                self.assertTrue(any(message in p for p in problems), problems)


class DebugConsoleEvidenceTest(unittest.TestCase):
    """What the platform build's debug console must show of the driver."""

    CASES = [
        ("an ASSERT", lambda d: d + "ASSERT /edk2/MdeModulePkg/Universal/PCD/Dxe/Service.c(413): GetSize\n",
         "the firmware ASSERTed: ASSERT /edk2/MdeModulePkg"),
        ("a CPU exception", lambda d: d + "!!!! X64 Exception Type - 0E(#PF - Page-Fault)  CPU Apic ID - 00 !!!!\n",
         "CPU exception (debug console)"),
        ("the driver dispatched from elsewhere",
         lambda d: d.replace("Loading driver EE004913", "Loading driver EE004914"),
         "dispatched the driver's file EE004913-32A0-49F1-BAB8-D6B172F11AC6 0 times"),
        ("its code left writable",
         lambda d: d.replace("0x0000000000001000 (0x0000000000020008)", "0x0000000000001000 (0x0000000000004008)", 1),
         "code page +0x1000: attributes 0x4008"),
        ("its data left executable",
         lambda d: d.replace("0x0000000000002000 (0x0000000000004008)", "0x0000000000002000 (0x0000000000000008)", 1),
         "data page +0x2000: attributes 0x8"),
        ("a part left unprotected",
         lambda d: d.replace("SetUefiImageMemoryAttributes - 0x000000000DF58000", "Set - 0x000000000DF58000"),
         "page +0x0: no attributes set"),
        ("no debug console", lambda d: "", "debug console (debug.log) is missing or empty"),
    ]

    def test_the_platform_boot_is_healthy_and_each_fault_named(self):
        for what, change, message in self.CASES:
            with self.subTest(what):
                scratch, directory = copied("platform-varnex-w")
                with scratch:
                    log = directory / "debug.log"
                    log.write_text(change(log.read_text()))
                    problems = problems_of(directory, PLATFORM_LAID_OUT)
                self.assertTrue(any(message in p for p in problems), problems)

    def test_debian_ovmf_has_no_debug_console_to_read(self):
        scratch, directory = copied("fv-smm-varnex-w")
        with scratch:
            self.assertFalse((directory / "debug.log").exists())
            self.assertEqual(problems_of(directory, FV_SMM_LAID_OUT), [])


class SetUpBootTest(unittest.TestCase):
    DUMP = ("bcfg: Add Driver0000 as 0\nbcfg: Add Driver0001 as 1\n"
            "Option: 00. Variable: Driver0000 \n  Desc    - BoardConfigDxe\n"
            "  DevPath - PciRoot(0x0)/HD(1,MBR)/\\BoardConfigDxe.efi\n"
            "Option: 01. Variable: Driver0001 \n  Desc    - BoardStageCompanion\n"
            "  DevPath - PciRoot(0x0)/HD(1,MBR)/\\BoardStageCompanion.efi\n")

    def test_bcfg_order(self):
        self.assertEqual(LOAD_PATH.setup_problems(self.DUMP), [])
        swapped = self.DUMP.replace("BoardConfigDxe", "X").replace("BoardStageCompanion", "BoardConfigDxe") \
            .replace("X", "BoardStageCompanion")
        self.assertEqual(len(LOAD_PATH.setup_problems(swapped)), 1)
        self.assertEqual(len(LOAD_PATH.setup_problems("")), 3)


if __name__ == "__main__":
    unittest.main()
