"""What a boot in OVMF is made of: the firmware (Debian's OVMF, or the
platform built from source with the package: FIRMWARES), its variant (plain
or SMM), the way the driver is loaded (LOAD_PATHS), and the EFI programs on
the boot disk."""

import re
from dataclasses import dataclass, field
from pathlib import Path

from .boardsim import REPO
from .console import SECTION_MARKER, dh_handles

OVMF = Path("/usr/share/OVMF")
VARS_TEMPLATE = OVMF / "OVMF_VARS_4M.fd"
BUILT = REPO / "build" / "efi"
# OVMF's code images with the driver's and the companion's files in the DXE
# volume, under OVMF's own file names (firmware-tests/CMakeLists.txt).
FIRMWARE_IMAGES = BUILT / "firmware-images"
# OvmfPkgX64 built from source with the package (make platform), and the
# file its debug console is kept in beside a boot's logs.
PLATFORM_BUILT = REPO / "build" / "platform"
DEBUG_LOG = "debug.log"

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
    dispatched_before_pci_enumeration = False
    disk = IMAGES  # what the boot disk holds
    listings = ("dh",)  # the console parts that show the loaded images

    def code_image(self, variant):
        """The firmware code Debian's OVMF boots in the variant with this
        load path."""
        return OVMF / variant.code

    def needs(self, variants):
        """The built files the boots of these variants need besides the
        firmware's code."""
        return [BUILT / image for image in self.disk]

    def smm_base_at_entry(self, variant):
        """Whether EFI_SMM_BASE2_PROTOCOL stands installed when the driver
        starts: loaded in BDS, after every DXE driver, wherever the variant
        has it."""
        return variant == "smm"

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

    def scenario_script(self):
        return scenario_script()

    def image_handles(self, console, program):
        """Handles of the program's loaded images, as `dh` lists them."""
        return dh_handles(console.dh, "LoadedImage(\\%s)" % program)

    def driver_origin(self, console, facts):
        """Where the firmware loaded the driver from, each image as it says."""
        return ["\\" + DRIVER for _ in self.image_handles(console, DRIVER)]

    def origin_problems(self, console, facts):
        """What is wrong with where the driver came from."""
        return []


class FirmwareVolumeLoad:
    """The DXE core dispatches the driver, then the companion (whose
    dependency expression waits for the board service), from the firmware's
    DXE volume, to which the build added both files. No set-up boot; the
    boot disk holds only the checker. The shell lists every loaded image
    with its file path (`dh -p LoadedImage -v`)."""

    name = "firmware-volume"
    dispatched_before_pci_enumeration = True
    disk = (CHECKER,)
    listings = ("dh", "images")

    def code_image(self, variant):
        return FIRMWARE_IMAGES / variant.code

    def needs(self, variants):
        return [BUILT / CHECKER]

    def smm_base_at_entry(self, variant):
        """Never: its dependency expression TRUE puts the driver in the DXE
        core's first round of dispatch, before the SMM IPL, which waits for
        the SMM access and control protocols, installs
        EFI_SMM_BASE2_PROTOCOL."""
        return False

    def setup_script(self):
        return None

    def setup_problems(self, text):
        return []

    def scenario_script(self):
        return scenario_script(["echo %s images" % SECTION_MARKER, "dh -p LoadedImage -v"])

    def image_handles(self, console, program):
        """Handles of the loaded images that carry the program's name (the
        file's user-interface section)."""
        return [image.handle for image in console.images if image.name == Path(program).stem]

    def _driver_images(self, console):
        return [image for image in console.images if image.name == Path(DRIVER).stem]

    def driver_origin(self, console, facts):
        return [image.device_path or image.file_path for image in self._driver_images(console)]

    def origin_problems(self, console, facts):
        if "images" not in console.parts:
            return ["the shell listed no loaded images (dh -p LoadedImage -v)"]
        wanted = "FvFile(%s)" % facts.driver_file_guid
        return ["%s on handle %s was loaded from %s, not from the firmware volume's %s"
                % (DRIVER, image.handle, image.file_path, wanted)
                for image in self._driver_images(console) if image.file_path.upper() != wanted.upper()]


LOAD_PATHS = {path.name: path for path in (FirmwareVolumeLoad(), DriverOptionLoad())}


def with_consumer_call(steps):
    """The steps with the sample consumer's call of entry 4 at the first
    ready-to-boot signal, before the driver's own work there: EDK2's DXE core
    notifies the events of a group newest first, and the consumer, which
    waits for the board service, creates its event after the driver."""
    if "ready_to_boot" not in steps:
        return list(steps)
    at = steps.index("ready_to_boot")
    return [*steps[:at], "entry4", *steps[at:]]


class DebianOvmf:
    """Debian's OVMF (the ovmf package, RELEASE builds): its code images as
    installed, or, from the firmware volume, copies with the driver's and
    the companion's files added to the DXE volume by make image."""

    name = "debian-ovmf"
    variants = ("plain", "smm")
    load_paths = ("firmware-volume", "driver-option")
    debug_log = False  # its DEBUG output is compiled out
    consumer = False
    needs_companion_bridges = False

    def code_image(self, variant, load_path):
        return load_path.code_image(variant)

    def vars_template(self, variant):
        return VARS_TEMPLATE

    def needs(self, load_path, variants):
        """The built files the boots of these variants need."""
        return load_path.needs(variants) + [
            self.code_image(VARIANTS[v], load_path) for v in variants]

    def variant_for(self, variant):
        return variant

    def log_root(self, load_path):
        """The folder of the load path's boots under the stage's logs."""
        return load_path.name

    def played_steps(self, steps):
        return list(steps)

    def qemu_args(self, directory):
        return []


class PlatformBuild:
    """OvmfPkgX64 built from Debian's edk2 source with BoardConfigPkg added by
    the README's steps (make platform): a DEBUG build whose DXE core protects
    every image and guards boot-services data, with the companion and the
    sample consumer in its DXE volume beside the driver. Its debug console
    (port 0x402) is kept as debug.log. It has no SMM build, and it plays only
    boots in which the companion names the bridges: the driver's Get32 of
    tokens 8 and 403 from OVMF's own PCD database would ASSERT there."""

    name = "platform-build"
    variants = ("plain",)
    load_paths = ("firmware-volume",)
    debug_log = True
    consumer = True
    needs_companion_bridges = True

    def code_image(self, variant, load_path):
        return PLATFORM_BUILT / "OVMF_CODE.fd"

    def vars_template(self, variant):
        return PLATFORM_BUILT / "OVMF_VARS.fd"

    def needs(self, load_path, variants):
        return load_path.needs(variants) + [PLATFORM_BUILT / "OVMF_CODE.fd",
                                            PLATFORM_BUILT / "OVMF_VARS.fd"]

    def variant_for(self, variant):
        """Every scenario plays in its one variant: dispatched from the
        volume, the driver finds no SMM base protocol in either."""
        return "plain"

    def log_root(self, load_path):
        return self.name

    def played_steps(self, steps):
        return with_consumer_call(steps)

    def qemu_args(self, directory):
        return ["-debugcon", "file:%s" % (Path(directory) / DEBUG_LOG),
                "-global", "isa-debugcon.iobase=0x402"]


FIRMWARES = {firmware.name: firmware for firmware in (DebianOvmf(), PlatformBuild())}
DEBIAN_OVMF = FIRMWARES["debian-ovmf"]

def scenario_script(more=()):
    """What the shell runs in a scenario boot: the checker, the slot
    records, the handles, then more; each part's output starts at its
    marker line."""
    return ["echo %s checker" % SECTION_MARKER, "fs0:\\%s" % CHECKER,
            "echo %s smbiosview" % SECTION_MARKER, "smbiosview -t 9",
            "echo %s dh" % SECTION_MARKER, "dh",
            *more,
            "echo %s end" % SECTION_MARKER]
