"""The firmware side of one scenario boot, as a JSON object in the shape of
`boardsim --json` (the same key names and value formats) for what the
firmware side can observe:

  entry_status_class  only a class, not boardsim's entry_status: "kept" (the
                      image stays loaded, the board service on one handle),
                      "unloaded" (neither), "kept without service", or what
                      dh showed otherwise; the driver's loaded images as the
                      load path finds them in the firmware's listings
  board_service_at_entry  the board service stood installed when the
                      companion, loaded right after the driver, started
  smm_base            EFI_SMM_BASE2_PROTOCOL stood installed at the driver's
                      entry (its handle is older than the driver's image);
                      smm_base_in_smm: what its InSmm answered
  setup_texts         the riser option's prompt and help in every language of
                      the board's Setup package list, read back with
                      GetString (boardsim's setup_strings over the defaults)
  setup_screen        boots that visit Setup: the formset, prompt and help the
                      firmware's form browser showed (None where it did not)
  slot_records_left, slot_record_reads, slot_records_deleted (the handle is
                      the firmware's), board_service, lan (the
                      checker's larger buffers), bridge_lookups (null when
                      the firmware's own PCD instance answers, unseen)
  gpp_b0              laid-out boards: dw0 and tx_locked as the private
                      window held them after the boot (boardlay's account),
                      sideband_messages as boardlay served them,
                      tx_lock_changes_unexplained; pad_store: the checker's
                      store to DW0 with the TX state flipped, read back by
                      the next instruction, then undone
  access_count, accesses   unbacked windows: QEMU's guest_errors log
  consumer            firmware with the sample consumer: the status and the
                      MAC of each onboard port it printed on the debug
                      console after asking entry 4 at ready-to-boot
  stage               how the scenario was played, and where the firmware
                      loaded the driver from (driver_loaded_from)
"""

import json
import re
from pathlib import Path

from . import debug_log, trace
from .console import BootConsole, dh_carriers, dh_handles
from .firmware import DEBUG_LOG, DRIVER
from .setup_visit import shown_on_screen, visit_record


def status_text(text):
    """A status as boardsim writes it, from the firmware's hex text."""
    return "0x%016X" % int(text, 16)


def boolean(text):
    value = int(text, 16)
    return {0: False, 1: True}.get(value, text)


def pointer(text):
    return None if int(text, 16) == 0 else "not null"


def entry_status_class(console, facts, load_path):
    if any(listing not in console.parts for listing in load_path.listings):
        return None
    images = load_path.image_handles(console, DRIVER)
    services = dh_handles(console.dh, facts.board_service_guid)
    return entry_class_of(len(images), len(services))


def entry_class_of(images, services):
    known = {(1, 1): "kept", (0, 0): "unloaded", (1, 0): "kept without service"}
    return known.get((images, services),
                     "image loaded %d times, service on %d handles" % (images, services))


def board_service(checker):
    found = checker.facts.get("board-service")
    if found is None:
        return None
    installed = found.get("status") == "0x0" and found.get("handles") == "1"
    if not installed:
        return {"installed": False, "entries": None}
    readers = {0: ("boolean", boolean), 1: ("status", status_text), 2: ("boolean", boolean),
               3: ("pointer", pointer), 5: ("boolean", boolean), 6: ("status", status_text),
               7: ("pointer", pointer)}
    entries = {}
    for number, (kind, read) in readers.items():
        value = checker.entries.get(number, {}).get(kind)
        entries[str(number)] = read(value) if value is not None else "not called"
    return {"installed": True, "entries": entries}


def lan(checker):
    entry4 = checker.entries.get(4)
    if not entry4:
        return None
    return {"status": status_text(entry4["status"]) if "status" in entry4 else None,
            "first": entry4.get("first", "").lower(), "second": entry4.get("second", "").lower()}


def added_records(companion, facts):
    """Firmware handle -> position, from the companion's smbios-add lines."""
    added = {}
    for line, _ in companion.starting("smbios-add "):
        found = re.match(r"^smbios-add \d+ handle=(\S+) status=0x0 (.*)$", line)
        if found:
            added[int(found.group(1), 16)] = facts.slot_position(found.group(2))
    return added


def slot_record_reads(companion):
    reads = []
    for _, found in companion.starting("smbios-read "):
        value_in = int(found["value-in"], 16)
        reads.append({"instance": int(found["instance"]),
                      # The companion logs a missing value pointer as 0xFFFFFFFF.
                      "value_in": None if value_in > 0xFFFF else "0x%04X" % value_in,
                      "status": status_text(found["status"])})
    return reads


def slot_records_deleted(companion, facts):
    added = added_records(companion, facts)
    deleted = []
    for _, found in companion.starting("smbios-remove "):
        handle = int(found["handle"], 16)
        deleted.append({"position": added.get(handle, 0), "handle": "0x%04X" % handle,
                        "status": status_text(found["status"])})
    return deleted


def setup_texts(checker):
    """The riser option's strings as the checker read them back through the
    firmware's HII string service: {language: {id: text}}; a failed read
    shows its status. None when the checker found no Setup package list."""
    if checker.facts.get("setup-form", {}).get("found") != "1":
        return None
    texts = {}
    for line in checker.lines:
        found = re.match(r"^setup-text lang=(\S+) id=(0x[0-9A-Fa-f]+) status=(0x[0-9A-Fa-f]+) text=(.*)$", line)
        if found:
            language, string_id, status, text = found.groups()
            texts.setdefault(language, {})["0x%04X" % int(string_id, 16)] = (
                text if int(status, 16) == 0 else "GetString status %s" % status_text(status))
    return texts


def installed_before_driver(console, protocol, load_path):
    """Whether the handle carrying the protocol (by dh's name for it) is older
    than the driver's image handle: the firmware numbers handles in the order
    it creates them, and starts an image right after it loads it. None when
    the listings are missing."""
    if any(listing not in console.parts for listing in load_path.listings):
        return None
    carriers = [int(h, 16) for h in dh_carriers(console.dh, protocol)]
    images = [int(h, 16) for h in load_path.image_handles(console, DRIVER)]
    return bool(carriers and images) and min(carriers) < min(images)


def smm_base(companion, console, load_path):
    """EFI_SMM_BASE2_PROTOCOL as the driver found it at its entry: installed
    by then, and what InSmm answers the companion, which asks it later."""
    found = companion.first("smm-base2 ")
    if found is None:
        return None, None
    if found.get("status") != "0x0":
        return False, None
    before = installed_before_driver(console, "SmmBase2", load_path)
    if not before:
        return before, None
    if found.get("in-smm-status") != "0x0":
        return True, "InSmm failed: %s" % found.get("in-smm-status")
    return True, boolean(found.get("in-smm", "0xEE"))


def board_service_at_entry(companion):
    found = companion.first("board-service before-services ")
    return None if found is None else found.get("status") == "0x0"


def bridge_lookups(companion):
    return [{"key": int(found["key"]), "bridge": "0x%04X" % int(found["result"], 16)}
            for _, found in companion.starting("pci-location key=")]


def gpp_b0(directory):
    """GPP_B0 after the boot and the messages boardlay served."""
    account_path = directory / "board-account.json"
    if not account_path.exists():
        return None
    account = json.loads(account_path.read_text())
    dw0 = int(account["gpp_b0"]["dw0"], 16)
    lock_address = account["gpp_b0"]["lock_tx_address"]
    lock = int(account["gpp_b0"]["lock_tx"], 16)
    return {"dw0": "0x%08X" % dw0,
            # GPP_B0 is pad 0 of its group: bit 0 of the TX lock register.
            "tx_locked": bool(lock & 1),
            "sideband_messages": account["messages"],
            "tx_lock_changes_unexplained": unexplained_lock_changes(account, lock_address, lock),
            "stores_kept_by_board": account["stores_changed"]}


def pad_store(checker):
    """The checker's `pad-store` line: DW0 before its store, as the next
    instruction read it back, and after it was stored as before again."""
    found = checker.facts.get("pad-store")
    if found is None:
        return None
    return {"owner": int(found["owner"], 16),
            **{key: "0x%08X" % int(found[key], 16) for key in ("before", "read", "restored")}}


def unexplained_lock_changes(account, lock_address, lock):
    """The TX lock register may change only through messages the board's
    P2SB served: each found what the one before left, memory ends with what
    the last one left, and the model noted nothing else."""
    problems = []
    left = None
    for index, message in enumerate(account["messages"]):
        if int(message.get("lock_register", "0"), 16) != int(lock_address, 16):
            continue
        before = int(message["lock_before"], 16)
        if left is not None and before != left:
            problems.append("message %d found 0x%08X, the one before left 0x%08X" % (index, before, left))
        left = int(message["lock_after"], 16)
    if left is not None and lock != left:
        problems.append("the register holds 0x%08X, the last message left 0x%08X" % (lock, left))
    problems.extend("board note: %s" % note for note in account["notes"])
    return problems


def firmware_side(directory, facts, play, load_path):
    """The firmware side of the scenario boot whose logs are in directory."""
    directory = Path(directory)
    console = BootConsole(directory / "console.log")
    companion = console.companion
    side = {"stage": {"variant": play.variant, "load_path": load_path.name,
                      "windows": play.windows, "bridge_location": play.bridge_location,
                      "driver_loaded_from": load_path.driver_origin(console, facts)},
            "entry_status_class": entry_status_class(console, facts, load_path)}
    side["board_service_at_entry"] = board_service_at_entry(companion)
    present, in_smm = smm_base(companion, console, load_path)
    side["smm_base"] = present
    side["smm_base_in_smm"] = in_smm
    side["slot_records_left"] = ([facts.slot_position(d) for _, d in console.slots]
                                 if "smbiosview" in console.parts else None)
    side["slot_record_reads"] = slot_record_reads(companion)
    side["slot_records_deleted"] = slot_records_deleted(companion, facts)
    side["setup_texts"] = setup_texts(console.checker)
    side["setup_screen"] = shown_on_screen(visit_record(directory))
    if play.windows == "laid-out":
        side["gpp_b0"] = gpp_b0(directory)
        if side["gpp_b0"] is not None:
            side["gpp_b0"]["pad_store"] = pad_store(console.checker)
    side["bridge_lookups"] = bridge_lookups(companion) if play.bridge_location == "companion" else None
    side["board_service"] = board_service(console.checker)
    side["lan"] = lan(console.checker)
    if play.windows == "unbacked":
        log = directory / "guest-errors.log"
        accesses = trace.logged_accesses(log, facts.in_windows) if log.exists() else None
        side["access_count"] = len(accesses) if accesses is not None else None
        side["accesses"] = trace.fold(accesses) if accesses is not None else None
    if play.firmware.consumer:
        lines = debug_log.debug_lines(directory / DEBUG_LOG)
        side["consumer"] = debug_log.consumer_report(lines) if lines else None
    return side
