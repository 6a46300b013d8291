#!/usr/bin/env python3
"""Reads back what BoardConfigDxe did inside OVMF and checks it.

For each firmware variant it reads the console of the set-up boot (bcfg), the
console of the driver boot (checker, companion log, smbiosview, dh) and QEMU's
guest_errors log, which lists every access to the two chipset windows because
nothing backs them in QEMU. It prints an account of the driver's work, the
result of every check, and exits 1 when any check of any boot fails.
"""

import argparse
import json
import re
import sys
from pathlib import Path

BOARD_SERVICE_GUID = "6B588D7C-C72E-4A78-8858-77E1DA8FC7F7"
DRIVER_FILE = "BoardConfigDxe.efi"
COMPANION_FILE = "BoardStageCompanion.efi"
SLOT_DESIGNATIONS = ["RISER SLOT NONE", "RISER SLOT VARNEX-W", "RISER SLOT VARNEX-N"]
# The riser straps read 0 in QEMU: no riser recognised, the first record stays.
KEPT_SLOT = SLOT_DESIGNATIONS[0]
FIRST_CANARY, SECOND_CANARY = 0xA5, 0x5A
EXPECTED_FIRST = bytes([FIRST_CANARY] * 3 + [0] + [FIRST_CANARY] * 12)
EXPECTED_SECOND = bytes([0] + [SECOND_CANARY] * 15)
BRIDGES = [(8, 0xE0), (403, 0xE1)]
# PCI configuration space and the PCH private-register window.
WINDOWS = [(0xE0000000, 0xF0000000), (0xFD000000, 0xFE000000)]

ANSI = re.compile(r"\x1b\[[0-9;=?]*[A-Za-z]")
GUEST_ERROR = re.compile(
    r"Invalid (read|write) at addr 0x([0-9A-Fa-f]+), size (\d+)")


def console_lines(path):
    text = Path(path).read_bytes().decode("latin-1")
    text = ANSI.sub("", text).replace("\r", "")
    return text.split("\n")


def sections(lines):
    """Splits the driver boot's console at the markers startup.nsh echoes."""
    parts, name = {}, None
    for line in lines:
        marker = re.match(r"^BOARDSTAGE-SECTION (\S+)", line)
        if marker:
            name = marker.group(1)
            parts[name] = []
        elif name is not None:
            parts[name].append(line)
    return parts


def in_windows(address):
    return any(low <= address < high for low, high in WINDOWS)


def qemu_accesses(path):
    accesses = []
    for line in Path(path).read_text(errors="replace").splitlines():
        match = GUEST_ERROR.search(line)
        if not match:
            continue
        address = int(match.group(2), 16)
        if in_windows(address):
            accesses.append({"op": match.group(1), "width": 8 * int(match.group(3)),
                             "address": address})
    return accesses


def fold(accesses):
    """Same shape as the host trace: identical neighbours kept once with repeat.
    QEMU returns 0 for every read and does not log written values."""
    folded = []
    for access in accesses:
        item = {"op": access["op"], "width": access["width"],
                "address": "0x%08X" % access["address"]}
        if access["op"] == "read":
            item["value"] = "0x0"
        if folded and {k: v for k, v in folded[-1].items() if k != "repeat"} == item:
            folded[-1]["repeat"] = folded[-1].get("repeat", 1) + 1
        else:
            folded.append(item)
    return folded


def number(value):
    if isinstance(value, int):
        return value
    return int(str(value), 0)


def expected_accesses(path):
    data = json.loads(Path(path).read_text())
    items = data["accesses"] if isinstance(data, dict) else data
    flat = []
    for item in items:
        access = {"op": item["op"], "width": int(item["width"]),
                  "address": number(item["address"]),
                  "value": None if item.get("value") is None else number(item["value"])}
        flat.extend([access] * int(item.get("repeat", 1)))
    return flat


def describe(access):
    if access is None:
        return "-"
    return "%-5s %2d 0x%08X" % (access["op"], access["width"], access["address"])


def compare_traces(expected, actual):
    """Returns the problems and, when there are any, the two sequences side by side."""
    problems = []
    for index, access in enumerate(expected):
        if access["op"] == "read" and access["value"] not in (None, 0):
            problems.append("model read #%d returned 0x%X: not a reads-zero run"
                            % (index, access["value"]))
            break
    key = lambda a: (a["op"], a["width"], a["address"])
    first_difference = None
    for index in range(max(len(expected), len(actual))):
        e = expected[index] if index < len(expected) else None
        a = actual[index] if index < len(actual) else None
        if e is None or a is None or key(e) != key(a):
            first_difference = index
            break
    if first_difference is not None:
        problems.append("access trace differs from the model's at #%d (model %d accesses, QEMU %d)"
                        % (first_difference, len(expected), len(actual)))
    table = []
    if problems:
        table.append("      #  %-22s  %-22s" % ("model", "QEMU"))
        for index in range(max(len(expected), len(actual))):
            e = expected[index] if index < len(expected) else None
            a = actual[index] if index < len(actual) else None
            mark = "  " if e is not None and a is not None and key(e) == key(a) else "<>"
            table.append("  %s %3d  %-22s  %-22s" % (mark, index, describe(e), describe(a)))
    return problems, table


def parse_stage_log(lines):
    return [line[len("BOARDSTAGE "):].strip() for line in lines if line.startswith("BOARDSTAGE ")]


def fields(text):
    return dict(re.findall(r"(\S+?)=(\S+)", text))


def parse_slots(lines):
    """smbiosview -t 9: one (handle, designation) per System Slots structure."""
    slots, handle = [], None
    for line in lines:
        header = re.match(r"^Type=9, Handle=(0x[0-9A-Fa-f]+)", line)
        if header:
            handle = int(header.group(1), 16)
            slots.append([handle, None])
        designation = re.match(r"^SlotDesignation: (.*?)\s*$", line)
        if designation and slots and slots[-1][1] is None:
            slots[-1][1] = designation.group(1)
    return [tuple(slot) for slot in slots]


class Boot:
    def __init__(self, name):
        self.name = name
        self.failures = []

    def check(self, condition, what):
        if not condition:
            self.failures.append(what)
        return condition


def check_setup_boot(variant, directory):
    boot = Boot("%s: set-up boot (bcfg)" % variant)
    rc = (directory / "setup.rc").read_text().strip() if (directory / "setup.rc").exists() else "missing"
    boot.check(rc == "0", "QEMU exit status %s" % rc)
    path = directory / "setup-console.log"
    if not boot.check(path.exists(), "no console log"):
        return boot
    text = "\n".join(console_lines(path))
    boot.check("bcfg: Add Driver0000 as 0" in text, "bcfg did not add Driver0000 at position 0")
    boot.check("bcfg: Add Driver0001 as 1" in text, "bcfg did not add Driver0001 at position 1")
    options = re.findall(r"Variable: (Driver\d{4})\s*\n\s*Desc\s*- (\S+)\s*\n\s*DevPath - (\S+)", text)
    order = [(var, desc, path.rsplit("\\", 1)[-1]) for var, desc, path in options]
    boot.check(order == [("Driver0000", "BoardConfigDxe", DRIVER_FILE),
                         ("Driver0001", "BoardStageCompanion", COMPANION_FILE)],
               "driver options after bcfg are %s" % order)
    return boot


def check_driver_boot(variant, directory, expected_trace, smm):
    boot = Boot("%s: driver boot" % variant)
    account = []
    rc = (directory / "boot.rc").read_text().strip() if (directory / "boot.rc").exists() else "missing"
    boot.check(rc == "0", "QEMU exit status %s" % rc)
    console = directory / "console.log"
    if not boot.check(console.exists(), "no console log"):
        return boot, account
    lines = console_lines(console)
    parts = sections(lines)
    boot.check("end" in parts, "the shell did not reach the end of startup.nsh")
    checker = parts.get("checker", [])
    check = {}
    for line in checker:
        if line.startswith("BOARDCHECK "):
            body = line[len("BOARDCHECK "):].strip()
            entry = re.match(r"entry (\d+) (\w+)=(\S+)", body)
            if entry:
                check["entry%s.%s" % (entry.group(1), entry.group(2))] = entry.group(3)
            else:
                word = body.split(" ", 1)
                check[word[0]] = {**check.get(word[0], {}),
                                  **(fields(word[1]) if len(word) > 1 else {})}
    exceptions = [l.strip() for l in lines if l.startswith("!!!!")]
    boot.check(not exceptions, "the firmware took a CPU exception: %s" % " / ".join(exceptions[:2]))
    log = parse_stage_log(checker)
    if not boot.check("begin" in check and "end" in check and log,
                      "the checker did not run to its end; later checks skipped"):
        account.append("driver boot did not complete: see %s" % console)
        compare_only(boot, directory, expected_trace, account)
        return boot, account

    # Entry status: a failed entry is unloaded with its protocol withdrawn.
    dh = parts.get("dh", [])
    image_handles = [l.split(":")[0].strip() for l in dh if "LoadedImage(\\%s)" % DRIVER_FILE in l]
    service_handles = [l.split(":")[0].strip() for l in dh if BOARD_SERVICE_GUID in l.upper()]
    entry_ok = boot.check(len(image_handles) == 1, "dh: %s image loaded %d times" % (DRIVER_FILE, len(image_handles)))
    entry_ok &= boot.check(len(service_handles) == 1, "dh: %d handles with %s" % (len(service_handles), BOARD_SERVICE_GUID))
    entry_ok &= boot.check(check.get("driver-image", {}).get("loaded") == "1", "checker: driver image not loaded")
    entry_ok &= boot.check(check.get("board-service", {}).get("status") == "0x0", "checker: LocateProtocol of BoardServiceProtocol failed")
    entry_ok &= boot.check(check.get("board-service", {}).get("handles") == "1",
                           "checker: BoardServiceProtocol on %s handles" % check.get("board-service", {}).get("handles"))
    account.append("driver entry:   %s" % (
        "status 0: image %s kept loaded (handle %s), BoardServiceProtocol on handle %s"
        % (DRIVER_FILE, ",".join(image_handles), ",".join(service_handles))
        if entry_ok else "FAILED (image or protocol missing)"))

    stage = [fields(l) | {"_": l} for l in log]
    has = lambda prefix: [f for f in stage if f["_"].startswith(prefix)]
    found = has("driver-image found=")
    boot.check(found and found[0].get("found") == "1", "companion: driver image not loaded before it")
    before = has("board-service before-services")
    boot.check(before and before[0].get("status") == "0x0",
               "companion: BoardServiceProtocol not installed when the companion started")
    smm_line = has("smm-base2")
    smm_status = smm_line[0].get("status") if smm_line else None
    if smm:
        boot.check(smm_status == "0x0", "EFI_SMM_BASE2_PROTOCOL not found (status %s)" % smm_status)
        boot.check(smm_line and smm_line[0].get("in-smm") == "0x0", "InSmm did not answer FALSE")
        account.append("SMM base:       present, InSmm answers FALSE")
    else:
        boot.check(smm_status not in (None, "0x0"), "EFI_SMM_BASE2_PROTOCOL unexpectedly present")
        account.append("SMM base:       absent (status %s)" % smm_status)
    boot.check(has("ready-to-boot signalled"), "ready-to-boot was not signalled before the checker ran")
    # The boot manager signals it before it starts the shell that runs the checker.
    shown = [i for i, l in enumerate(lines) if l.startswith("COMPANION ready-to-boot signalled")]
    shell = [i for i, l in enumerate(lines) if l.startswith("UEFI Interactive Shell")]
    boot.check(shown and shell and shown[0] < shell[0],
               "ready-to-boot was not signalled by the boot manager before it started the shell")
    boot.check(not has("unexpected-entry"), "an unused service entry was called: %s"
               % [f["_"] for f in has("unexpected-entry")])

    wanted = {"entry0.boolean": "0x0", "entry1.status": "0x0", "entry2.boolean": "0x0",
              "entry5.boolean": "0x1", "entry6.status": "0x0"}
    answers = {k: check.get(k) for k in wanted}
    boot.check(answers == wanted, "entries 0,1,2,5,6 answered %s" % answers)
    names = {"0x0": "FALSE", "0x1": "TRUE"}
    account.append("board service:  entries 0,1,2,5,6 = %s" % ", ".join(
        (names.get(answers[k], str(answers[k])) if "boolean" in k else
         ("SUCCESS" if answers[k] == "0x0" else str(answers[k]))) for k in wanted))

    first = bytes.fromhex(check.get("entry4.first", ""))
    second = bytes.fromhex(check.get("entry4.second", ""))
    boot.check(check.get("entry4.status") == "0x0", "entry 4 status %s" % check.get("entry4.status"))
    boot.check(first == EXPECTED_FIRST, "entry 4 first buffer %s, expected %s" % (first.hex(), EXPECTED_FIRST.hex()))
    boot.check(second == EXPECTED_SECOND, "entry 4 second buffer %s, expected %s" % (second.hex(), EXPECTED_SECOND.hex()))
    lookups = [(int(f["key"]), int(f["result"], 16)) for f in has("pci-location key=")]
    boot.check(lookups == BRIDGES, "bridge lookups %s, expected %s" % (lookups, BRIDGES))
    if len(first) > 3 and len(second) > 0:
        account.append("MACs (entry 4): first count %d, second count %d; bytes around them %s"
                       % (first[3], second[0], "untouched" if first == EXPECTED_FIRST and second == EXPECTED_SECOND else "CHANGED"))

    before9 = has("smbios-type9-before")
    boot.check(before9 and before9[0].get("count") == "0", "firmware already had System Slots records")
    added = {}
    for f in has("smbios-add "):
        parts_add = f["_"].split(" ", 2)
        boot.check(f.get("status") == "0x0", "SMBIOS Add failed: %s" % f["_"])
        added[int(parts_add[1])] = int(f["handle"], 16)
    boot.check(sorted(added) == [1, 2, 3], "companion added records %s" % sorted(added))
    slots = parse_slots(parts.get("smbiosview", []))
    boot.check([d for _, d in slots] == [KEPT_SLOT],
               "smbiosview -t 9 lists %s, expected only '%s'" % ([d for _, d in slots], KEPT_SLOT))
    reads = [(int(f["instance"]), f.get("status"), f.get("value-in")) for f in has("smbios-read ")]
    boot.check(reads == [(3, "0x0", "0x0"), (2, "0x0", "0x0")],
               "record reads (instance, status, value) %s, expected instances 3 then 2" % reads)
    removed = [int(f["handle"], 16) for f in has("smbios-remove ") if f.get("status") == "0x0"]
    boot.check(removed == [added.get(3), added.get(2)], "records removed %s, expected handles of instances 3, 2"
               % [hex(h) for h in removed])
    account.append("slot records:   %d left: %s; removed %s" % (
        len(slots), ", ".join("'%s' (handle 0x%X)" % (d, h) for h, d in slots) or "none",
        ", ".join("0x%X" % h for h in removed) or "none"))

    strings = [f["_"] for f in has("setup-string ")]
    boot.check(not strings, "Setup strings replaced: %s" % strings)
    account.append("Setup strings:  %s" % ("none replaced" if not strings else "; ".join(strings)))

    compare_only(boot, directory, expected_trace, account)
    return boot, account


def compare_only(boot, directory, expected_trace, account):
    """The access trace of the driver boot against the model's."""
    trace = directory / "guest-errors.log"
    actual = qemu_accesses(trace) if trace.exists() else []
    boot.check(trace.exists(), "no guest_errors log")
    (directory / "qemu-trace.json").write_text(json.dumps({"accesses": fold(actual)}, indent=1) + "\n")
    reads_count = sum(1 for a in actual if a["op"] == "read")
    matched = False
    if expected_trace is None:
        boot.failures.append("no model trace to compare with (see the messages above)")
        table = []
    else:
        try:
            model = expected_accesses(expected_trace)
        except (OSError, ValueError, KeyError, TypeError) as error:
            model = None
            boot.failures.append("model trace %s unreadable: %s" % (expected_trace, error))
            table = []
        if model is not None:
            problems, table = compare_traces(model, actual)
            boot.failures.extend(problems)
            matched = not problems
    account.append("hardware:       %d accesses (%d reads, %d writes)%s" % (
        len(actual), reads_count, len(actual) - reads_count,
        ", the same as the model's" if matched else ""))
    for item in fold(actual):
        account.append("                %-5s %2d %s%s" % (item["op"], item["width"], item["address"],
                                                       " x%d" % item["repeat"] if "repeat" in item else ""))
    if table:
        account.append("trace, model against QEMU:")
        account.extend(table)


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--variant", action="append", required=True,
                        help="NAME:DIR[:smm] of one firmware variant's logs")
    parser.add_argument("--expected-trace", help="model trace, JSON with an accesses array")
    args = parser.parse_args()

    boots, failed = [], False
    for given in args.variant:
        name, directory, *flags = given.split(":")
        directory = Path(directory)
        setup = check_setup_boot(name, directory)
        driver, account = check_driver_boot(name, directory, args.expected_trace, "smm" in flags)
        print("== %s ==" % name)
        for line in account:
            print("  " + line)
        for boot in (setup, driver):
            boots.append(boot)
            if boot.failures:
                failed = True
                print("  FAILED %s (logs kept in %s):" % (boot.name, directory))
                for failure in boot.failures:
                    print("    - " + failure)
        print()
    passed = sum(1 for b in boots if not b.failures)
    print("firmware-stage: %d passed, %d failed" % (passed, len(boots) - passed))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
