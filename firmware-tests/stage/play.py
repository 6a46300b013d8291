"""Playing scenarios in OVMF: the set-up boot of each firmware variant, and
one boot per scenario whose firmware side is read, checked and compared."""

import json
import shutil
from dataclasses import dataclass, field
from pathlib import Path

from . import health, report
from .board import LaidOutBoard
from .compare import compare, differing
from .console import BootConsole
from .firmware import DEBIAN_OVMF, VARIANTS
from .outcome_schema import malformed
from .reader import firmware_side
from .runner import Boot, boot_record


@dataclass
class Scenario:
    path: Path  # what boardsim and boardlay read
    name: str
    source: Path = None  # the file given; path is it as played, when they differ
    played_as: str = ""  # how the played scenario differs from the file given
    resolved: object = None  # boardsim --scenario
    expected: object = None  # boardsim --json, or a substituted expectation
    expectation: str = "boardsim"  # where expected came from
    play: object = None  # plan.Play
    host_only: str = ""
    problems: list = field(default_factory=list)


@dataclass
class Played:
    scenario: Scenario
    directory: Path
    rows: list
    problems: list
    seconds: float
    remarks: list = field(default_factory=list)  # shown, never failing

    @property
    def failed(self):
        return bool(self.problems or differing(self.rows))


def fresh_directory(directory):
    shutil.rmtree(directory, ignore_errors=True)
    directory.mkdir(parents=True)
    return directory


def set_up(out, variant, load_path, images, firmware=DEBIAN_OVMF):
    """The set-up boot of one variant, when the load path needs one: (the
    variable store its scenario boots copy, problems)."""
    template = firmware.vars_template(variant)
    if load_path.setup_script() is None:
        return template, []
    directory = fresh_directory(out / firmware.log_root(load_path) / ("setup-%s" % variant))
    Boot(directory, VARIANTS[variant], load_path, load_path.setup_script(), template, images,
         firmware=firmware).run()
    return directory / "vars.fd", health.setup_problems(directory, load_path)


def log_directory(out, scenario):
    """Where a scenario boot keeps its logs: by firmware and load path,
    variant and name."""
    play = scenario.play
    return out / play.firmware.log_root(play.load_path) / play.variant / scenario.name


def remarks(side, console):
    """What the boot did besides the compared outcomes, worth showing."""
    lines = ["store kept by the board: %(address)s := %(stored)s, holds %(kept)s" % store
             for store in (side.get("gpp_b0") or {}).get("stores_kept_by_board", [])]
    if side["stage"]["bridge_location"] == "firmware":
        answers = console.companion.starting("pci-location firmware-instance")
        lines.append("OVMF's PCD instance left under the bridge-location GUID: %s"
                     % (answers[0][0] if answers else "no answer logged"))
    return lines


def judge(scenario, directory, facts):
    """Reads the boot in directory: (rows, problems, remarks)."""
    play = scenario.play
    load_path = play.load_path
    try:
        side = firmware_side(directory, facts, play, load_path)
        (directory / "firmware.json").write_text(json.dumps(side, indent=1) + "\n")
        console = BootConsole(directory / "console.log")
        problems = health.scenario_problems(directory, console, facts, play, load_path)
        shape = malformed(side, scenario.expected)
        if shape:
            return [], problems + [shape], []
        rows = compare(side, scenario.expected, facts, play)
        return rows, problems, remarks(side, console)
    except (KeyError, TypeError, ValueError, IndexError, AttributeError) as error:
        return [], ["the logs or the expectation are unreadable: %r" % error], []


def play_scenario(scenario, out, vars_template, facts, images, setup_visit=None):
    directory = fresh_directory(log_directory(out, scenario))
    (directory / "scenario.json").write_text(json.dumps(scenario.resolved, indent=1) + "\n")
    (directory / "boardsim.json").write_text(json.dumps(scenario.expected, indent=1) + "\n")
    play = scenario.play
    extra, wrapper, board = [], [], None
    if play.bridge_location == "firmware":
        extra += ["-smbios", "type=11,value=%s" % facts.keep_firmware_pci_location]
    if play.windows == "laid-out":
        board = LaidOutBoard(scenario.path, "%s-%s" % (scenario.name, play.variant),
                             directory / "board-account.json",
                             facts.window_file_size)
        extra += board.qemu_args()
        wrapper = board.wrapper()
    boot = Boot(directory, VARIANTS[play.variant], play.load_path, play.load_path.scenario_script(),
                vars_template, images, firmware=play.firmware,
                qemu_extra=extra, wrapper=wrapper, guest_errors=play.windows == "unbacked",
                setup_visit=setup_visit)
    failed = True
    try:
        boot.run()
        rows, problems, shown = judge(scenario, directory, facts)
        played = Played(scenario, directory, rows, problems, boot_record(directory)["seconds"], shown)
        failed = played.failed
        (directory / "comparison.txt").write_text(
            "\n".join(report.scenario_lines(scenario.name, rows, problems, shown)) + "\n")
        return played
    finally:
        if board is not None:
            board.keep(directory) if failed else board.remove()
