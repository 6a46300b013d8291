"""Access traces. With the chipset windows unbacked, QEMU's `-d guest_errors`
log lists every access to them; every read there answers 0 and QEMU logs no
written value. The firmware side's trace takes boardsim's shape: op, width,
address, value, identical neighbours folded into one with repeat."""

import re

GUEST_ERROR = re.compile(r"Invalid (read|write) at addr 0x([0-9A-Fa-f]+), size (\d+)")


def hex_value(value, width):
    return "0x%0*X" % (width // 4, value)


def logged_accesses(path, in_windows):
    """Accesses inside the windows, in order, from a guest_errors log."""
    accesses = []
    with open(path, errors="replace") as log:
        for line in log:
            found = GUEST_ERROR.search(line)
            if not found:
                continue
            address = int(found.group(2), 16)
            if not in_windows(address):
                continue
            op, width = found.group(1), 8 * int(found.group(3))
            accesses.append({"op": op, "width": width, "address": "0x%08X" % address,
                             "value": hex_value(0, width) if op == "read" else None})
    return accesses


def fold(accesses):
    """Identical neighbours kept once, with how often they came."""
    folded = []
    for access in accesses:
        if folded and {k: v for k, v in folded[-1].items() if k != "repeat"} == access:
            folded[-1]["repeat"] = folded[-1].get("repeat", 1) + 1
        else:
            folded.append(dict(access))
    return folded


def expand(accesses):
    """One item per access: repeats unfolded, only what both sides can tell
    (op, width, address, and a read's value; a write's value is not logged)."""
    flat = []
    for item in accesses:
        access = (item["op"], int(item["width"]), int(str(item["address"]), 0),
                  int(str(item["value"]), 0) if item["op"] == "read" and item.get("value") is not None
                  else None)
        flat.extend([access] * int(item.get("repeat", 1)))
    return flat


def describe(access):
    if access is None:
        return "-"
    op, width, address, value = access
    text = "%-5s %2d 0x%08X" % (op, width, address)
    return text + (" = %s" % hex_value(value, width) if value is not None else "")


def side_by_side(firmware, boardsim):
    """Lines of both expanded traces next to each other, differences marked."""
    lines = ["      #  %-32s  %-32s" % ("firmware (QEMU)", "boardsim")]
    for index in range(max(len(firmware), len(boardsim))):
        mine = firmware[index] if index < len(firmware) else None
        theirs = boardsim[index] if index < len(boardsim) else None
        mark = "  " if mine is not None and mine == theirs else "<>"
        lines.append("  %s %3d  %-32s  %-32s" % (mark, index, describe(mine), describe(theirs)))
    return lines


def first_difference(firmware, boardsim):
    for index in range(max(len(firmware), len(boardsim))):
        mine = firmware[index] if index < len(firmware) else None
        theirs = boardsim[index] if index < len(boardsim) else None
        if mine != theirs:
            return index
    return None
