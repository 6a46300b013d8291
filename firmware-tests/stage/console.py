"""The serial console of a boot: the sections startup.nsh marks, the
checker's BOARDCHECK lines, the companion's log (BOARDSTAGE lines), and the
shell's `dh` and `smbiosview -t 9` listings."""

import re
from pathlib import Path

from .firmware import SECTION_MARKER

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
        for line in lines:
            if not line.startswith("BOARDCHECK "):
                continue
            body = line[len("BOARDCHECK "):].strip()
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


def dh_handles(lines, wanted):
    """Handle numbers (hex text) of the `dh` lines that contain wanted."""
    handles = []
    for line in lines:
        handle, colon, rest = line.partition(":")
        if colon and re.fullmatch(r"\s*[0-9A-Fa-f]+", handle) and wanted.upper() in rest.upper():
            handles.append(handle.strip())
    return handles


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
        self.slots = slot_designations(self.parts.get("smbiosview", []))
