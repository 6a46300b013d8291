"""The firmware side of a scenario against boardsim's outcome of it: one row
per outcome. A row that is not compared says why; every other row must
agree."""

from dataclasses import dataclass, field

from . import trace
from .setup_visit import FIRMWARE_LANGUAGE

# A list of LAN MACs is a count byte and one 6-byte MAC at the end of the
# buffer's promised size.
MAC_BYTES = 6
LIST_BYTES = 1 + MAC_BYTES


@dataclass
class Row:
    outcome: str
    firmware: object
    boardsim: object
    agree: bool
    compared: bool = True
    note: str = ""
    details: list = field(default_factory=list)  # lines shown when they differ


def same(outcome, firmware, boardsim, **more):
    """A row whose sides must be equal."""
    return Row(outcome, firmware, boardsim, firmware == boardsim, **more)


def key_row(outcome, side, expected, key, **more):
    """A row for an outcome both sides keep under the same key."""
    return same(outcome, side[key], expected[key], **more)


def entry_class(expected):
    """The class the firmware side can see of boardsim's entry status."""
    status = int(expected["entry_status"], 16)
    if status >> 63:
        return "unloaded"
    service = expected.get("board_service") or {}
    return "kept" if service.get("installed") else "kept without service"


def mac_list(hex_bytes, promised):
    """(count, MACs) of the list that ends at the promised size."""
    data = bytes.fromhex(hex_bytes or "")
    start = promised - LIST_BYTES
    if len(data) < promised:
        return None
    count = data[start]
    macs = [":".join("%02x" % b for b in data[start + 1:start + LIST_BYTES])] if count else []
    return count, macs


def written_bytes_agree(firmware, expected, promised, size, canary):
    """Below the promised size byte for byte; the rest of the checker's
    buffer keeps its canary."""
    mine = bytes.fromhex(firmware or "")
    theirs = bytes.fromhex(expected or "")
    return (len(mine) == size and len(theirs) == promised and mine[:promised] == theirs
            and all(b == canary for b in mine[promised:]))


def project(messages, keys):
    return [{key: message.get(key) for key in keys} for message in messages]


def setup_texts_after(expected, facts):
    """What each language of the board's Setup form holds after boardsim's
    replacements: each applies to every language."""
    return {language: {**defaults, **expected["setup_strings"]}
            for language, defaults in facts.setup_defaults.items()}


def gpp_b0_rows(side, expected):
    mine = side.get("gpp_b0") or {}
    theirs = expected["gpp_b0"]
    rows = [same("GPP_B0 DW0", mine.get("dw0"), theirs["dw0"]),
            same("GPP_B0 TX lock", mine.get("tx_locked"), theirs["tx_locked"])]
    served = mine.get("sideband_messages")
    sent = theirs["sideband_messages"]
    keys = sorted({key for message in sent for key in message}) or sorted(
        {key for message in served or [] for key in message if not key.startswith("lock_")})
    served = project(served, keys) if served is not None else None
    rows.append(same("sideband messages served (every field)", served, project(sent, keys)))
    rows.append(same("TX lock changed only by served messages", mine.get("tx_lock_changes_unexplained"), []))
    return rows


def pad_store_row(side, expected, facts):
    """The checker stores GPP_B0's DW0 with the TX state flipped and reads it
    back with the next instruction: the board must already hold what
    boardsim's model keeps of the store, the pad as the driver left it (a
    TX-locked pad, or one another agent owns, keeps its value)."""
    dw0 = int(expected["gpp_b0"]["dw0"], 16)
    kept = expected["gpp_b0"]["tx_locked"] or expected["scenario"]["gpp_b0"]["owner"] != 0
    read = dw0 if kept else dw0 ^ facts.dw0_tx_state
    wanted = {"before": "0x%08X" % dw0, "read": "0x%08X" % read, "restored": "0x%08X" % dw0}
    mine = (side.get("gpp_b0") or {}).get("pad_store")
    if mine is not None:
        mine = {key: mine[key] for key in wanted}
    return same("GPP_B0 DW0 read right after a store flipping TX (before, read, restored)", mine,
                wanted, note="the checker's store, read back by the next instruction")


def lan_rows(side, expected, facts, play):
    mine = side.get("lan") or {}
    theirs = expected.get("lan") or {}
    rows = []
    status = same("entry 4 status", mine.get("status"), theirs.get("status"))
    if play.bridge_location == "firmware":
        status.compared, status.agree = False, True
        status.note = ("the scenario has no bridge-location service, but OVMF's own PCD instance "
                       "answers under its GUID, so the driver finds one")
    rows.append(status)
    buffers = (("first", facts.first_size, facts.first_canary),
               ("second", facts.second_size, facts.second_canary))
    for name, promised, _ in buffers:
        lists = mac_list(mine.get(name), promised), mac_list(theirs.get(name), promised)
        rows.append(Row("entry 4 %s list (count, MACs)" % name, lists[0], lists[1],
                        lists[0] is not None and lists[0] == lists[1]))
    for name, promised, canary in buffers:
        rows.append(Row("entry 4 %s buffer bytes written" % name, mine.get(name), theirs.get(name),
                        written_bytes_agree(mine.get(name), theirs.get(name), promised,
                                            facts.checker_size, canary),
                        note="%d bytes compared, the checker's other %d keep 0x%02X"
                             % (promised, facts.checker_size - promised, canary)))
    return rows


# How EDK2's %r prints the statuses entry 4 returns.
STATUS_TEXTS = {0: "Success", 0x800000000000000E: "Not Found"}


def consumer_row(side, expected, facts):
    """The sample consumer's call of entry 4 at ready-to-boot, as its debug
    console lines report it: each port's MAC, or none, after a success."""
    lan = expected.get("lan") or {}
    status = int(lan.get("status") or "0x800000000000000E", 16)
    ports = []
    if status == 0:
        for name, promised in (("first", facts.first_size), ("second", facts.second_size)):
            count, macs = mac_list(lan[name], promised)
            ports.append(macs[0] if count else None)
    wanted = {"status": STATUS_TEXTS.get(status, "0x%X" % status), "ports": ports}
    return same("sample consumer's entry 4 at ready-to-boot (status, port 1, port 2)",
                side.get("consumer"), wanted, note="its lines on the debug console")


def trace_row(side, expected):
    logged = side.get("accesses")
    mine = trace.expand(logged) if logged is not None else None
    theirs = trace.expand(expected["accesses"])
    row = Row("access trace (op, width, address, read value; in order)",
              None if mine is None else "%d accesses" % len(mine), "%d accesses" % len(theirs),
              mine == theirs, note="QEMU logs no written value")
    if mine is not None and mine != theirs:
        row.firmware += ", the first difference at #%d" % trace.first_difference(mine, theirs)
        row.details = trace.side_by_side(mine, theirs)
    return row


def compare(side, expected, facts, play):
    """Rows for every outcome the firmware side observes."""
    deleted = [[d["position"], d["status"]] for d in side["slot_records_deleted"]]
    wanted = [[d["position"], d["status"]] for d in expected["slot_records_deleted"]]
    rows = [same("entry status (class)", side["entry_status_class"], entry_class(expected),
                 note="boardsim: %s" % expected["entry_status"]),
            key_row("board service installed at the entry", side, expected,
                    "board_service_at_entry"),
            key_row("SMM base present", side, expected, "smm_base"),
            key_row("SMM base InSmm answer", side, expected, "smm_base_in_smm"),
            key_row("slot records left (positions)", side, expected, "slot_records_left"),
            same("slot records deleted (position, status)", deleted, wanted,
                 note="handles are the firmware's own"),
            key_row("SMBIOS reads (instance, value in, status)", side, expected, "slot_record_reads"),
            same("Setup strings read back (GetString, each language)", side["setup_texts"],
                 setup_texts_after(expected, facts),
                 note="boardsim's replacements over the form's defaults")]
    if side.get("setup_screen") is not None:
        texts = setup_texts_after(expected, facts)[FIRMWARE_LANGUAGE]
        prompt_id, help_id = facts.setup_ids
        rows.append(same("Setup screen (the form browser's formset, prompt, help)", side["setup_screen"],
                         {"formset": facts.setup_formset_title, "prompt": texts[prompt_id],
                          "help": texts[help_id]}, note="screenshot setup-screen.png"))
    if play.windows == "laid-out":
        rows.extend(gpp_b0_rows(side, expected))
        rows.append(pad_store_row(side, expected, facts))
    lookups = key_row("bridge lookups (key, bridge)", side, expected, "bridge_lookups")
    if play.bridge_location == "firmware":
        lookups.compared, lookups.agree = False, True
        lookups.note = "OVMF's own PCD instance answers them, unseen by the companion"
    rows.append(lookups)
    rows.append(key_row("board service (installed, entries 0-3, 5-7)", side, expected, "board_service"))
    rows.extend(lan_rows(side, expected, facts, play))
    if play.firmware.consumer:
        rows.append(consumer_row(side, expected, facts))
    if play.windows == "unbacked":
        rows.append(trace_row(side, expected))
    return rows


def differing(rows):
    return [row for row in rows if not row.agree]
