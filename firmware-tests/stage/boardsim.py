"""The host side: boardsim's board facts, resolved scenarios and expected
outcomes. Every board fact the stage uses comes from `boardsim --facts`."""

import json
import os
import subprocess
from pathlib import Path

REPO = Path(__file__).resolve().parents[2]
BOARDSIM = Path(os.environ.get("BOARDSIM", REPO / "build" / "host" / "boardsim"))
BOARDLAY = Path(os.environ.get("BOARDLAY", REPO / "build" / "host" / "boardlay"))


class ToolError(Exception):
    pass


def _json_of(command):
    done = subprocess.run([str(part) for part in command], capture_output=True, text=True)
    if done.returncode != 0:
        raise ToolError("%s exited %d: %s" % (" ".join(str(p) for p in command), done.returncode,
                                              done.stderr.strip() or done.stdout.strip()))
    try:
        return json.loads(done.stdout)
    except ValueError as error:
        raise ToolError("%s printed no JSON: %s" % (" ".join(str(p) for p in command), error))


def resolved_scenario(scenario):
    """The scenario with every key resolved (`boardsim SCENARIO --scenario`)."""
    return _json_of([BOARDSIM, scenario, "--scenario"])


def expected_outcome(scenario):
    """boardsim's outcome of the scenario (`boardsim SCENARIO --json`)."""
    return _json_of([BOARDSIM, scenario, "--json"])


def outcome_schema():
    """The JSON Schema of boardsim's outcome (`boardsim --outcome-schema`)."""
    return _json_of([BOARDSIM, "--outcome-schema"])


def _number(text):
    return int(str(text), 0)


class Facts:
    """The test-side board facts (`boardsim --facts`), as the stage asks them."""

    def __init__(self, raw):
        self.raw = raw
        windows = raw["windows"]
        self.pci_window = _number(windows["pci"]["base"])
        self.pci_window_size = _number(windows["pci"]["size"])
        self.private_window = _number(windows["private"]["base"])
        self.private_window_size = _number(windows["private"]["size"])
        self.window_file_size = _number(windows["file_size"])
        self.dw0_tx_state = _number(raw["dw0_tx_state"])
        entry4 = raw["entry4"]
        self.first_size = entry4["first_size"]
        self.second_size = entry4["second_size"]
        self.first_canary = _number(entry4["first_canary"])
        self.second_canary = _number(entry4["second_canary"])
        self.checker_size = entry4["checker_size"]
        self.slot_designations = list(raw["slot_designations"])
        self.board_service_guid = raw["board_service_guid"].upper()
        setup = raw["setup"]
        self.setup_form = setup["form"]
        self.setup_formset_title = setup["formset_title"]
        self.setup_ids = [setup["prompt_id"], setup["help_id"]]
        # Each language's texts of the riser option before any replacement.
        self.setup_defaults = {language["code"]: dict(zip(self.setup_ids, (language["prompt"], language["help"])))
                               for language in setup["languages"]}
        self.bridge_keys = {str(port["key"]): port["bridge"] for port in raw["lan_ports"]}
        self.keep_firmware_pci_location = raw["keep_firmware_pci_location"]
        self.driver_file_guid = raw["driver_file_guid"].upper()

    @classmethod
    def load(cls):
        return cls(_json_of([BOARDSIM, "--facts"]))

    def windows(self):
        """(base, end) of the PCI configuration and private-register windows."""
        return [(self.pci_window, self.pci_window + self.pci_window_size),
                (self.private_window, self.private_window + self.private_window_size)]

    def in_windows(self, address):
        return any(low <= address < high for low, high in self.windows())

    def slot_position(self, designation):
        """Position (from 1) of the slot record that carries the designation,
        or the designation itself when no record carries it."""
        if designation in self.slot_designations:
            return self.slot_designations.index(designation) + 1
        return designation
