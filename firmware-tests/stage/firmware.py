"""What a boot in OVMF is made of: the firmware variant (plain or SMM), the
way the driver is loaded, and the three EFI programs on the boot disk."""

import re
from dataclasses import dataclass, field
from pathlib import Path

OVMF = Path("/usr/share/OVMF")
VARS_TEMPLATE = OVMF / "OVMF_VARS_4M.fd"

DRIVER = "BoardConfigDxe.efi"
COMPANION = "BoardStageCompanion.efi"
CHECKER = "BoardServiceCheck.efi"
IMAGES = (DRIVER, COMPANION, CHECKER)


@dataclass(frozen=True)
class Variant:
    name: str
    code: str  # the code image in OVMF
    machine: str
    args: tuple = field(default=())

    def qemu_args(self):
        return ["-machine", self.machine, *self.args]


VARIANTS = {
    "plain": Variant("plain", "OVMF_CODE_4M.fd", "q35"),
    # Only this build has EFI_SMM_BASE2_PROTOCOL; it needs its variable
    # store in secure flash and no S3.
    "smm": Variant("smm", "OVMF_CODE_4M.secboot.fd", "q35,smm=on",
                   ("-global", "driver=cfi.pflash01,property=secure,value=on",
                    "-global", "ICH9-LPC.disable_s3=1")),
}


class DriverOptionLoad:
    """The boot manager loads the driver, then the companion, from the
    options Driver0000 and Driver0001 that a set-up boot writes with bcfg."""

    name = "driver-option"

    def code_image(self, variant):
        """The firmware code the variant boots with this load path."""
        return OVMF / variant.code

    def setup_script(self):
        """What the set-up boot's shell runs; None when it needs none."""
        return ['bcfg driver add 0 fs0:\\%s "%s"' % (DRIVER, Path(DRIVER).stem),
                'bcfg driver add 1 fs0:\\%s "%s"' % (COMPANION, Path(COMPANION).stem),
                "bcfg driver dump"]

    def setup_problems(self, text):
        """What is wrong with the set-up boot's console (bcfg's output)."""
        problems = []
        for number in (0, 1):
            if "bcfg: Add Driver%04d as %d" % (number, number) not in text:
                problems.append("bcfg did not add Driver%04d at position %d" % (number, number))
        options = re.findall(r"Variable: (Driver\d{4})\s*\n\s*Desc\s*- (\S+)\s*\n\s*DevPath - (\S+)", text)
        order = [(var, desc, path.rsplit("\\", 1)[-1]) for var, desc, path in options]
        wanted = [("Driver0000", Path(DRIVER).stem, DRIVER), ("Driver0001", Path(COMPANION).stem, COMPANION)]
        if order != wanted:
            problems.append("driver options after bcfg are %s, expected %s" % (order, wanted))
        return problems

    def loaded_image(self, image):
        """How `dh` names the loaded image of a program."""
        return "LoadedImage(\\%s)" % image


LOAD_PATHS = {DriverOptionLoad.name: DriverOptionLoad()}

# What the shell runs in a scenario boot; each part's output starts at its
# marker line.
SECTION_MARKER = "BOARDSTAGE-SECTION"


def scenario_script():
    return ["echo %s checker" % SECTION_MARKER, "fs0:\\%s" % CHECKER,
            "echo %s smbiosview" % SECTION_MARKER, "smbiosview -t 9",
            "echo %s dh" % SECTION_MARKER, "dh",
            "echo %s end" % SECTION_MARKER]
