"""The serial console of a boot: the sections startup.nsh marks, the
checker's BOARDCHECK lines, the companion's log (BOARDSTAGE lines), and the
shell's `dh`, `dh -p LoadedImage -v` and `smbiosview -t 9` listings."""

import re
from dataclasses import dataclass
from pathlib import Path

# The line `echo SECTION_MARKER name` in startup.nsh starts each part.
SECTION_MARKER = "BOARDSTAGE-SECTION"
ANSI = re.compile(r"\x1b\[[0-9;=?]*[A-Za-z]")
FIELD = re.compile(r"(\S+?)=(\S+)")


def console_lines(path):
    """The console as text lines, terminal escapes and CRs removed."""
    text = Path(path).read_bytes().decode("latin-1")
    return ANSI.sub("", text).replace("\r", "").split("\n")


def sections(lines):
    """The lines after each `echo BOARDSTAGE-SECTION name`, by name."""
    parts, name = {}, None
    marker = re.compile(r"^%s (\S+)" % SECTION_MARKER)
    for line in lines:
        found = marker.match(line)
        if found:
            name = found.group(1)
            parts[name] = []
        elif name is not None:
            parts[name].append(line)
    return parts


def fields(text):
    """key=value words of a line."""
    return dict(FIELD.findall(text))


class CheckerReport:
    """BOARDCHECK lines: `entry N kind=value` per entry called, other facts
    as `word key=value ...`."""

    def __init__(self, lines):
        self.entries = {}
        self.facts = {}
        self.words = []
        self.lines = []  # every line without its BOARDCHECK
        for line in lines:
            if not line.startswith("BOARDCHECK "):
                continue
            body = line[len("BOARDCHECK "):].strip()
            self.lines.append(body)
            entry = re.match(r"^entry (\d+) (\w+)=(\S*)$", body)
            if entry:
                self.entries.setdefault(int(entry.group(1)), {})[entry.group(2)] = entry.group(3)
                continue
            word, _, rest = body.partition(" ")
            self.words.append(word)
            self.facts[word] = {**self.facts.get(word, {}), **fields(rest)}

    def ran_to_end(self):
        return "begin" in self.words and "end" in self.words


class CompanionLog:
    """The companion's log as the checker printed it (BOARDSTAGE lines)."""

    def __init__(self, lines):
        self.lines = [line[len("BOARDSTAGE "):].rstrip() for line in lines
                      if line.startswith("BOARDSTAGE ")]

    def starting(self, prefix):
        """(line, its key=value fields) for each line that starts with prefix."""
        return [(line, fields(line)) for line in self.lines if line.startswith(prefix)]

    def first(self, prefix):
        found = self.starting(prefix)
        return found[0][1] if found else None

    def byte_count(self):
        """Bytes of the log as the companion keeps it: each line and its LF."""
        return sum(len(line.encode("latin-1")) + 1 for line in self.lines)


def dh_entries(lines):
    """(handle number as hex text, what follows its colon) of each `dh` line
    that starts a handle."""
    for line in lines:
        handle, colon, rest = line.partition(":")
        if colon and re.fullmatch(r"\s*[0-9A-Fa-f]+", handle):
            yield handle.strip(), rest


def dh_handles(lines, wanted):
    """Handle numbers (hex text) of the `dh` lines that contain wanted."""
    return [handle for handle, rest in dh_entries(lines) if wanted.upper() in rest.upper()]


def dh_carriers(lines, protocol):
    """Handle numbers (hex text) of the `dh` lines that list the protocol, by
    the name dh gives it, as a word of its own."""
    word = re.compile(r"(?:^|\s)%s(?:[\s(]|$)" % re.escape(protocol))
    return [handle for handle, rest in dh_entries(lines) if word.search(rest)]


@dataclass
class LoadedImage:
    handle: str  # hex text, as dh prints it
    name: str  # the image's name: its file's user-interface section
    file_path: str  # the loaded image's FilePath, e.g. FvFile(GUID)
    device_path: str  # the image's whole device path, when dh shows one


def loaded_images(lines):
    """`dh -p LoadedImage -v`: one record per loaded image. Each starts with
    `HANDLE: ImageDevicePath(ADDRESS)   PATH LoadedImage(ADDRESS)   Name...: NAME`
    (no device path for the DXE core) and lists `FilePath......: PATH`."""
    images = []
    for line in lines:
        start = re.match(r"^\s*([0-9A-Fa-f]+): (.*)$", line)
        if start and "LoadedImage(" in start.group(2):
            rest = start.group(2)
            name = re.search(r"Name\.+: (.*?)\s*$", rest)
            device = re.search(r"ImageDevicePath\([0-9A-Fa-f]+\)\s+(\S+)", rest)
            images.append(LoadedImage(start.group(1).upper(), name.group(1) if name else "",
                                      "", device.group(1) if device else ""))
            continue
        file_path = re.match(r"^\s+FilePath\.+: (.*?)\s*$", line)
        if file_path and images and not images[-1].file_path:
            images[-1].file_path = file_path.group(1)
    return images


def slot_designations(lines):
    """`smbiosview -t 9`: (handle, designation) of each System Slots record."""
    slots = []
    for line in lines:
        header = re.match(r"^Type=9, Handle=(0x[0-9A-Fa-f]+)", line)
        if header:
            slots.append([int(header.group(1), 16), None])
            continue
        designation = re.match(r"^SlotDesignation: (.*?)\s*$", line)
        if designation and slots and slots[-1][1] is None:
            slots[-1][1] = designation.group(1)
    return [tuple(slot) for slot in slots]


class BootConsole:
    """Everything one scenario boot printed, split into its parts."""

    def __init__(self, path):
        self.path = Path(path)
        self.lines = console_lines(path) if self.path.exists() else []
        self.parts = sections(self.lines)
        checker = self.parts.get("checker", [])
        self.checker = CheckerReport(checker)
        self.companion = CompanionLog(checker)
        self.dh = self.parts.get("dh", [])
        self.images = loaded_images(self.parts.get("images", []))
        self.slots = slot_designations(self.parts.get("smbiosview", []))
