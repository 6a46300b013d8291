"""Both sides of a comparison held to the outcome's JSON Schema
(`boardsim --outcome-schema`, with Debian's python3-jsonschema) before they
are compared, so that a side of another shape fails by what is wrong with it
rather than as a difference in some row.

boardsim's outcome follows the schema as it stands. The firmware side holds
each outcome it observes in the same form, or null where it did not see it;
beside them its own keys (OWN_KEYS, reader.py tells what each holds) and the
few readings boardsim never gives (FIRMWARE_READINGS), which the comparison
shows as differences."""

import copy
import functools

from jsonschema import Draft202012Validator
from jsonschema.exceptions import best_match

from . import boardsim

NULL = {"type": "null"}
TEXTS = {"type": "array", "items": {"type": "string"}}


def or_null(schema):
    return {"anyOf": [NULL, schema]}


def also(schema, reading):
    return {"anyOf": [schema, reading]}


@functools.lru_cache(maxsize=None)
def outcome_schema():
    return boardsim.outcome_schema()


def own_keys(outcome):
    hex32 = {"$ref": "#/$defs/hex32"}
    served = copy.deepcopy(outcome["$defs"]["sideband_message"])
    # boardlay adds how a served message changed its lock register.
    served["properties"].update({name: hex32 for name in ("lock_register", "lock_before",
                                                          "lock_after")})
    return {
        "stage": {"type": "object"},
        "entry_status_class": or_null({"type": "string"}),
        "setup_texts": or_null({"type": "object", "additionalProperties": {
            "type": "object", "additionalProperties": {"type": "string"}}}),
        "setup_screen": or_null({"type": "object"}),
        "consumer": or_null({"type": "object"}),
        "gpp_b0": or_null({
            "type": "object",
            "properties": {"dw0": hex32, "tx_locked": {"type": "boolean"},
                           "sideband_messages": {"type": "array", "items": served},
                           "tx_lock_changes_unexplained": TEXTS,
                           "stores_kept_by_board": {"type": "array"},
                           "pad_store": or_null({
                               "type": "object",
                               "properties": {"owner": {"type": "integer"}, "before": hex32,
                                              "read": hex32, "restored": hex32},
                               "required": ["owner", "before", "read", "restored"],
                               "additionalProperties": False})},
            "required": ["dw0", "tx_locked", "sideband_messages", "tx_lock_changes_unexplained",
                         "stores_kept_by_board"],
            "additionalProperties": False}),
    }


def firmware_readings(side):
    """Readings of the firmware that boardsim never gives, in the side's
    schema (changed in place)."""
    defs, keys = side["$defs"], side["properties"]
    for number, entry in defs["board_service_entries"]["properties"].items():
        # the checker did not reach the entry
        defs["board_service_entries"]["properties"][number] = also(entry, {"const": "not called"})
    keys["smm_base_in_smm"] = also(keys["smm_base_in_smm"],
                                   {"type": "string", "pattern": "^InSmm failed: "})
    # a slot record the companion did not add: its designation
    keys["slot_records_left"] = or_null({"type": "array", "items": {"type": ["integer", "string"]}})
    # entry 4 printed no status
    defs["lan"]["properties"]["status"] = or_null(defs["lan"]["properties"]["status"])
    # QEMU logs no written value
    defs["access"]["properties"]["value"] = or_null(defs["access"]["properties"]["value"])


def side_schema(outcome):
    """The firmware side's schema, made from the outcome's."""
    side = copy.deepcopy(outcome)
    side["title"] = "the firmware side of a stage boot"
    side["properties"] = {key: or_null(schema) for key, schema in side["properties"].items()}
    side["properties"].update(own_keys(outcome))
    side["required"] = ["stage", "entry_status_class", "board_service_at_entry", "smm_base",
                        "smm_base_in_smm", "slot_records_left", "slot_record_reads",
                        "slot_records_deleted", "setup_texts", "setup_screen", "bridge_lookups",
                        "board_service", "lan"]
    firmware_readings(side)
    return side


def malformed(side, expected, outcome=None):
    """None when both sides follow the outcome schema; otherwise which side
    does not, where, and jsonschema's message."""
    outcome = outcome or outcome_schema()
    for name, instance, schema in (("boardsim's outcome", expected, outcome),
                                   ("the firmware side", side, side_schema(outcome))):
        error = best_match(Draft202012Validator(schema).iter_errors(instance))
        if error is not None:
            where = "/".join(str(part) for part in error.absolute_path) or "its top level"
            return "%s does not follow the outcome schema at %s: %s" % (name, where, error.message)
    return None
