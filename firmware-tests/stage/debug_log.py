"""The DXE debug console of a DEBUG firmware (debug.log: QEMU's debugcon on
port 0x402), as the stage reads it: which images the DXE core dispatched
from a firmware volume, where it placed each and how it protected it, the
ASSERTs and CPU exceptions it reports, and the sample consumer's lines."""

import re
import struct
from dataclasses import dataclass, field
from pathlib import Path

# UEFI memory attributes the DXE core sets on a protected image's pages.
EFI_MEMORY_XP = 0x4000
EFI_MEMORY_RO = 0x20000
PAGE = 0x1000

# PE section characteristics.
SCN_MEM_EXECUTE = 0x20000000

CONSUMER = "OnboardMacReport: "
GUID = r"[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}"


def debug_lines(path):
    path = Path(path)
    if not path.exists():
        return None
    return path.read_text(errors="replace").splitlines()


@dataclass
class ImageLoad:
    """One image the DXE core dispatched from a firmware volume."""
    file_guid: str
    base: int = None  # where it placed the image
    size: int = None  # the range it protected
    ranges: list = field(default_factory=list)  # (address, length, attributes) it set


def image_loads(lines):
    """Each image the DXE core dispatched, in order: "Loading driver <file
    GUID>", then "Loading driver at <base> EntryPoint=...", "ProtectUefiImage
    Common" with "  - <base> - <size>", and one "SetUefiImageMemoryAttributes -
    <address> - <length> (<attributes>)" per part of the image."""
    loads = []
    current = None
    for line in lines:
        found = re.match(r"^Loading driver (%s)\s*$" % GUID, line)
        if found:
            current = ImageLoad(found.group(1).upper())
            loads.append(current)
            continue
        if current is None:
            continue
        found = re.match(r"^Loading driver at 0x([0-9A-Fa-f]+) EntryPoint=", line)
        if found and current.base is None:
            current.base = int(found.group(1), 16)
            continue
        found = re.match(r"^\s+- 0x([0-9A-Fa-f]+) - 0x([0-9A-Fa-f]+)\s*$", line)
        if found and current.base is not None and int(found.group(1), 16) == current.base:
            current.size = int(found.group(2), 16)
            continue
        found = re.match(r"^SetUefiImageMemoryAttributes - 0x([0-9A-Fa-f]+) - 0x([0-9A-Fa-f]+) "
                         r"\(0x([0-9A-Fa-f]+)\)", line)
        if found and current.size is not None:
            address, length, attributes = (int(group, 16) for group in found.groups())
            if current.base <= address < current.base + current.size:
                current.ranges.append((address, length, attributes))
    return loads


def pe_layout(image):
    """(SizeOfImage, [(virtual address, virtual size, executable)]) of a PE32+
    image's sections."""
    data = Path(image).read_bytes()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<HxxxxxxxxxxxxH", data, pe + 6)
    size_of_image = struct.unpack_from("<I", data, pe + 24 + 56)[0]
    table = pe + 24 + optional_size
    layout = []
    for index in range(sections):
        virtual_size, address = struct.unpack_from("<II", data, table + 40 * index + 8)
        characteristics = struct.unpack_from("<I", data, table + 40 * index + 36)[0]
        layout.append((address, virtual_size, bool(characteristics & SCN_MEM_EXECUTE)))
    return size_of_image, layout


def protection_problems(load, layout):
    """What is wrong with how the DXE core protected the image it placed at
    load.base, given the image's pe_layout: every page covered, the pages of
    executable sections read-only and executable, every other page
    (headers, data, relocations) not executable."""
    size_of_image, layout = layout
    if load.base is None or load.size is None:
        return ["the DXE core placed or protected it nowhere it logged (no \"Loading driver at\" "
                "and \"ProtectUefiImageCommon\" range)"]
    if load.size != size_of_image:
        return ["the DXE core protected 0x%X bytes of an image of 0x%X" % (load.size, size_of_image)]
    code = {page for address, length, executable in layout if executable
            for page in range(address & ~(PAGE - 1), address + length, PAGE)}
    attributes = {}
    for address, length, set_to in load.ranges:
        for page in range(address - load.base, address - load.base + length, PAGE):
            attributes[page] = set_to
    problems = []
    for page in range(0, size_of_image, PAGE):
        set_to = attributes.get(page)
        if set_to is None:
            problems.append("page +0x%X: no attributes set" % page)
        elif page in code and (not set_to & EFI_MEMORY_RO or set_to & EFI_MEMORY_XP):
            problems.append("code page +0x%X: attributes 0x%X, not read-only and executable" % (page, set_to))
        elif page not in code and not set_to & EFI_MEMORY_XP:
            problems.append("data page +0x%X: attributes 0x%X, executable" % (page, set_to))
    return problems


def asserts(lines):
    return [line.strip() for line in lines if line.startswith("ASSERT ")]


def exceptions(lines):
    return [line.strip() for line in lines if line.startswith("!!!!") and "Exception" in line]


def consumer_report(lines):
    """The sample consumer's report: {"status": its %r text, "ports": [each
    port's MAC or None]}, or None when it printed nothing."""
    ports, status = {}, None
    for line in lines:
        if not line.startswith(CONSUMER):
            continue
        said = line[len(CONSUMER):].strip()
        found = re.match(r"^port (\d+) (\S+)$", said)
        if found:
            ports[int(found.group(1))] = None if found.group(2) == "none" else found.group(2).lower()
        elif said.startswith("status "):
            status = said[len("status "):]
        else:
            status = said
    if status is None and not ports:
        return None
    return {"status": status, "ports": [ports[number] for number in sorted(ports)]}
