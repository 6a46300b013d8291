"""Checks of the stage itself: did QEMU, the firmware, the companion and the
checker do their part, so that what the reader took from the logs is what
the driver did? None of these is an expectation about the driver."""

from pathlib import Path

from . import debug_log
from .console import console_lines, fields
from .firmware import BUILT, COMPANION, DEBUG_LOG, DRIVER
from .runner import boot_record
from .setup_visit import visit_problems, visit_record


NOT_FOUND = "0x800000000000000e"


def exit_problems(directory, what):
    record = boot_record(directory)
    if record is None:
        return ["%s: no boot record (boot.json)" % what]
    if record["timed_out"]:
        return ["%s hit the hang limit of %d s" % (what, record["hang_limit"])]
    if record["exit_status"] != 0:
        return ["%s exit status %d (see qemu-stderr.log)" % (what, record["exit_status"])]
    return []


def setup_problems(directory, load_path):
    """The set-up boot that writes the load path's options."""
    problems = exit_problems(directory, "QEMU (set-up boot)")
    console = Path(directory) / "console.log"
    if not console.exists():
        return problems + ["the set-up boot left no console log"]
    return problems + load_path.setup_problems("\n".join(console_lines(console)))


def scenario_problems(directory, console, facts, play, load_path, image_layout=None):
    """The scenario boot whose logs are in directory, console already read;
    image_layout is the driver image's pe_layout (by default the built
    image's)."""
    directory = Path(directory)
    problems = exit_problems(directory, "QEMU" if play.windows == "unbacked" else "boardlay with QEMU")

    def check(condition, what):
        if not condition:
            problems.append(what)

    check(console.lines != [""] and console.lines, "no console log")
    check("end" in console.parts, "the shell did not reach the end of startup.nsh")
    exceptions = [line.strip() for line in console.lines if line.startswith("!!!!")]
    check(not exceptions, "the firmware took a CPU exception: %s" % " / ".join(exceptions[:2]))
    check(console.checker.ran_to_end(), "the checker did not run to its end")

    companion = console.companion
    log = console.checker.facts.get("companion-log", {})
    check("bytes" in log, "the companion's log is missing (checker: %s)" % log)
    if "bytes" in log:
        check(int(log["bytes"]) == companion.byte_count(),
              "the companion's log has %s bytes, the console shows %d"
              % (log["bytes"], companion.byte_count()))
    check(companion.first("companion start") is not None and companion.first("companion done") is not None,
          "the companion's log lacks its start or its end")

    found = companion.first("driver-image ")
    check(found is not None and found.get("found") == "1",
          "the companion did not find %s loaded before it" % DRIVER)
    driver = load_path.image_handles(console, DRIVER)
    helper = load_path.image_handles(console, COMPANION)
    first = len(driver) <= 1 and len(helper) == 1 and all(int(d, 16) < int(helper[0], 16) for d in driver)
    check(first, "dh: %s on handles %s, %s on %s; the driver must be loaded first"
          % (DRIVER, driver, COMPANION, helper))
    problems.extend(load_path.origin_problems(console, facts))
    enumeration = companion.first("pci-enumeration complete-at-entry=")
    wanted = "0" if load_path.dispatched_before_pci_enumeration else "1"
    check(enumeration is not None and enumeration.get("complete-at-entry") == wanted,
          "the companion logged %s at its start; the %s path starts it %s PCI enumeration"
          % (enumeration, load_path.name, "before" if wanted == "0" else "after"))

    moved = companion.starting("chipset-window ")
    bars = [int(fields["bar2"], 16) & ~0xF for _, fields in moved]
    count = companion.first("chipset-windows ")
    if play.windows == "laid-out":
        check(bars == [facts.pci_window, facts.private_window] and count == {"moved": "2"},
              "the chipset windows were not moved: %s" % [line for line, _ in moved])
    else:
        check(count == {"moved": "0"}, "windows moved although none is backed: %s" % count)

    smbios = companion.first("smbios-protocol ")
    check(smbios is not None and smbios.get("status") == "0x0", "the companion found no SMBIOS protocol")
    before = companion.first("smbios-type9-before ")
    check(before == {"count": "0"}, "the firmware already had System Slots records: %s" % before)
    added = [line.split(" ", 4)[4] if fields.get("status") == "0x0" else line
             for line, fields in companion.starting("smbios-add ")]
    check(added == facts.slot_designations,
          "the companion added %s, expected %s" % (added, facts.slot_designations))

    takeover = "pci-location takeover scope=driver-image"
    kept = "pci-location takeover skipped"
    wanted = takeover if play.bridge_location == "companion" else kept
    check(companion.starting(wanted), "the companion did not log %r" % wanted)
    for service in ("smbios-record-service", "setup-string-service"):
        check(companion.first("installed %s " % service) == {"status": "0x0"},
              "the companion did not install %s" % service)

    check(companion.first("ready-to-boot signalled") is not None, "ready-to-boot was not signalled")
    if play.windows == "laid-out":
        held = companion.first("windows-held ")
        check(held == {"at": "ready-to-boot", "count": "2", "of": "2"},
              "the chipset windows did not hold until ready-to-boot: %s" % held)
    def first_line(prefix):
        return next((i for i, line in enumerate(console.lines) if line.startswith(prefix)), None)

    shown, shell = first_line("COMPANION ready-to-boot signalled"), first_line("UEFI Interactive Shell")
    check(shown is not None and shell is not None and shown < shell,
          "ready-to-boot was not signalled by the boot manager before it started the shell")
    form = companion.first("setup-form registered ")
    check(form == {"status": "0x0"}, "the companion did not register the board's Setup form: %s" % form)
    refusals = [fields(line) for line in console.checker.lines if line.startswith("setup-refusal ")]
    check(len(refusals) == 2 and all(r.get("status") == NOT_FOUND for r in refusals),
          "the Setup string service must refuse an unknown name and identifier with %s: %s"
          % (NOT_FOUND, refusals))
    unexpected = [line for line, _ in companion.starting("unexpected-entry")]
    check(not unexpected, "unused service entries were called: %s" % unexpected)

    problems.extend(visit_problems(visit_record(directory)))
    if play.firmware.debug_log:
        layout = image_layout or debug_log.pe_layout(BUILT / DRIVER)
        problems.extend(debug_log_problems(directory, facts, layout))
    if play.windows == "laid-out":
        check((directory / "board-account.json").exists(), "no board-account.json")
    else:
        check((directory / "guest-errors.log").exists(), "no guest-errors.log")
    return problems


def debug_log_problems(directory, facts, image_layout):
    """The firmware's own account of the boot on its debug console: the DXE
    core dispatched the driver from the firmware volume by its file GUID,
    once, and protected its image (code read-only, data not executable); no
    ASSERT, no CPU exception."""
    lines = debug_log.debug_lines(Path(directory) / DEBUG_LOG)
    if not lines:
        return ["the firmware's debug console (%s) is missing or empty" % DEBUG_LOG]
    problems = []
    loads = [load for load in debug_log.image_loads(lines) if load.file_guid == facts.driver_file_guid]
    if len(loads) != 1:
        problems.append("the DXE core dispatched the driver's file %s %d times from a firmware volume "
                        "(debug console: \"Loading driver %s\")"
                        % (facts.driver_file_guid, len(loads), facts.driver_file_guid))
    else:
        problems.extend("the driver's image at 0x%X: %s" % (loads[0].base or 0, problem)
                        for problem in debug_log.protection_problems(loads[0], image_layout))
    failed = debug_log.asserts(lines)
    if failed:
        problems.append("the firmware ASSERTed: %s" % " / ".join(failed[:2]))
    faults = debug_log.exceptions(lines)
    if faults:
        problems.append("the firmware took a CPU exception (debug console): %s" % " / ".join(faults[:2]))
    return problems
