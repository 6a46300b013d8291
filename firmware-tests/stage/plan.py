"""How a scenario is played in OVMF, decided from its resolved scenario
(`boardsim SCENARIO --scenario`), or why only the host can play it."""

from dataclasses import dataclass

from .firmware import DEBIAN_OVMF


@dataclass(frozen=True)
class Play:
    variant: str  # "plain" or "smm"
    windows: str  # "unbacked" or "laid-out"
    # "companion": the companion answers the driver's bridge lookups through
    # the firmware's PCD instance; "firmware": that instance answers alone.
    bridge_location: str
    load_path: object  # one of firmware.LOAD_PATHS
    firmware: object = DEBIAN_OVMF  # one of firmware.FIRMWARES


def variant_of(scenario):
    """The firmware variant a resolved scenario plays in: only OVMF built
    with SMM has EFI_SMM_BASE2_PROTOCOL."""
    return "smm" if scenario.get("smm_base") else "plain"


def as_played(scenario, variant, load_path, firmware=DEBIAN_OVMF):
    """The resolved scenario as the firmware plays it in the variant on the
    load path: the same board, with EFI_SMM_BASE2_PROTOCOL installed at the
    driver's entry or not, and the calls the firmware's own drivers make of
    the board service among its steps."""
    return {**scenario, "smm_base": load_path.smm_base_at_entry(variant),
            "steps": firmware.played_steps(scenario["steps"])}


# The boot as the firmware and the companion play it: the firmware's PCD
# instance stands under the bridge-location GUID before the driver starts;
# the companion, loaded after the driver, takes it over (unless told not
# to), installs the SMBIOS record service and then the Setup string
# service; the boot manager signals ready-to-boot once per boot option it
# tries (the disk, then the shell); the checker asks the board service.
COMPANION_STEPS = ["entry", "install smbios", "install setup_strings",
                   "ready_to_boot", "ready_to_boot", "entry4"]
BRIDGE_LOCATION = "install pci_location"


def bridge_location_of(steps, firmware=DEBIAN_OVMF):
    """Who answers bridge lookups when the firmware plays these steps, or None
    when the companion cannot reproduce them."""
    if steps == firmware.played_steps(COMPANION_STEPS):
        return "firmware"
    entry = COMPANION_STEPS.index("entry")
    # Installed before the entry or right after it: either way the service
    # answers from the companion's start on, before any other step.
    for at in (entry, entry + 1):
        if steps == firmware.played_steps(COMPANION_STEPS[:at] + [BRIDGE_LOCATION] + COMPANION_STEPS[at:]):
            return "companion"
    return None


def host_only_reasons(scenario, facts, firmware=DEBIAN_OVMF):
    reasons = []
    if scenario.get("faults"):
        reasons.append("faults: the firmware's own services cannot be made to fail")
    if scenario.get("record_copies"):
        reasons.append("record_copies: the companion hands back the firmware's own records")
    if scenario.get("record_reads_without_buffer"):
        reasons.append("record_reads_without_buffer: the companion always hands back a buffer")
    if scenario.get("hostile_reads") is not None:
        reasons.append("hostile_reads: QEMU's windows answer the laid-out board, not a byte stream")
    if scenario.get("bridge_keys") != facts.bridge_keys:
        reasons.append("bridge_keys: the companion names the board's two LAN bridges only")
    if scenario.get("configuration_tables"):
        reasons.append("configuration_tables: OVMF lists its own configuration tables")
    if scenario.get("slot_records") != len(facts.slot_designations):
        reasons.append("slot_records: the companion adds exactly %d records" % len(facts.slot_designations))
    bridges = bridge_location_of(scenario.get("steps"), firmware)
    if bridges is None:
        reasons.append("steps %s: the companion plays %s, with %r before or right after the entry, or "
                       "without it" % (scenario.get("steps"), firmware.played_steps(COMPANION_STEPS),
                                       BRIDGE_LOCATION))
    elif bridges == "firmware" and firmware.needs_companion_bridges:
        reasons.append("no %r step: on %s the driver's Get32 of tokens 8 and 403 would reach the PCD "
                       "driver's own database, which ASSERTs (token 8 is a UINT64 PCD, 403 is beyond "
                       "its end)" % (BRIDGE_LOCATION, firmware.name))
    return reasons


def plan(scenario, facts, load_path, variant=None, firmware=DEBIAN_OVMF):
    """(Play, None) for a scenario the firmware can play, else (None, reason).
    The variant is the scenario's own unless given."""
    reasons = host_only_reasons(scenario, facts, firmware)
    if reasons:
        return None, "; ".join(reasons)
    return Play(variant=variant or variant_of(scenario),
                windows="unbacked" if scenario.get("reads_zero") else "laid-out",
                bridge_location=bridge_location_of(scenario["steps"], firmware),
                load_path=load_path, firmware=firmware), None
