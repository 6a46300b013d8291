"""Plays boardsim scenarios on BoardConfigDxe.efi in OVMF under QEMU and
compares what the firmware side shows with `boardsim SCENARIO --json`.

Without scenarios it plays examples/ and firmware-tests/scenarios/.
Logs stay under build/firmware/<scenario>/. Exits 1 when a scenario differs
from its expectation or the stage itself failed."""

import argparse
import json
import sys
import time
from pathlib import Path

from . import boardsim, report
from .boardsim import REPO, Facts, ToolError
from .firmware import IMAGES, LOAD_PATHS
from .plan import plan
from .play import Scenario, play_scenario, set_up
from .runner import run_parallel

IMAGES_DIR = REPO / "build" / "efi"
DEFAULT_SCENARIOS = [REPO / "examples", REPO / "firmware-tests" / "scenarios"]


def arguments(argv):
    parser = argparse.ArgumentParser(prog="run-firmware-stage.sh", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("scenarios", nargs="*", type=Path,
                        help="scenario files, or directories whose *.json files to play")
    parser.add_argument("--keep-dir", type=Path, default=REPO / "build" / "firmware",
                        help="where each scenario's logs stay (default build/firmware)")
    parser.add_argument("--expectation", action="append", default=[], metavar="SCENARIO=FILE",
                        help="compare SCENARIO (its name or file) with FILE, an edited "
                             "boardsim --json, instead of boardsim's outcome")
    parser.add_argument("--load-path", choices=sorted(LOAD_PATHS), default="driver-option",
                        help="how the firmware loads the driver")
    return parser.parse_args(argv)


def substitutions(given, paths):
    """SCENARIO=FILE pairs, each matched to exactly one scenario path."""
    chosen = {}
    for item in given:
        name, equals, file = item.partition("=")
        matches = [p for p in paths
                   if name in (p.stem, p.name, str(p)) or Path(name).resolve() == p.resolve()]
        if not equals or len(matches) != 1:
            raise SystemExit("run-firmware-stage: --expectation %s names %d of the scenarios played"
                             % (item, len(matches)))
        chosen[matches[0]] = Path(file)
    return chosen


def load(path, substitute, facts, load_path):
    scenario = Scenario(path=path, name=path.stem)
    try:
        scenario.resolved = boardsim.resolved_scenario(path)
        if substitute is None:
            scenario.expected = boardsim.expected_outcome(path)
        else:
            scenario.expected = json.loads(substitute.read_text())
            scenario.expectation = str(substitute)
    except (ToolError, OSError, ValueError) as error:
        scenario.problems.append(str(error))
        return scenario
    scenario.play, reason = plan(scenario.resolved, facts, load_path)
    scenario.host_only = reason or ""
    return scenario


def title(played):
    scenario, play = played.scenario, played.scenario.play
    try:
        shown = scenario.path.resolve().relative_to(REPO)
    except ValueError:
        shown = scenario.path
    text = "%s (%s; %s, %s windows, bridges by the %s, %.0f s)" % (
        scenario.name, shown, play.variant, play.windows, play.bridge_location, played.seconds)
    if scenario.expectation != "boardsim":
        text += " expectation from %s" % scenario.expectation
    if played.failed:
        text += "  FAILED, logs in %s" % played.directory
    return text


def main(argv=None):
    args = arguments(sys.argv[1:] if argv is None else argv)
    started = time.monotonic()
    given = args.scenarios or DEFAULT_SCENARIOS
    paths = [p for g in given for p in (sorted(g.glob("*.json")) if g.is_dir() else [g])]
    names = [p.stem for p in paths]
    if len(set(names)) != len(names):
        raise SystemExit("run-firmware-stage: two scenarios share a name: %s" % names)
    missing = [image for image in IMAGES if not (IMAGES_DIR / image).exists()]
    if missing:
        raise SystemExit("run-firmware-stage: %s not built (make image)" % ", ".join(missing))
    try:
        facts = Facts.load()
    except ToolError as error:
        raise SystemExit("run-firmware-stage: %s" % error)
    chosen = substitutions(args.expectation, paths)
    scenarios = [load(p, chosen.get(p), facts, args.load_path) for p in paths]
    playable = [s for s in scenarios if s.play is not None and not s.problems]
    out = args.keep_dir.resolve()

    variants = sorted({s.play.variant for s in playable})
    set_ups = run_parallel([lambda v=v: set_up(out, v, args.load_path, IMAGES_DIR) for v in variants])
    stores = dict(zip(variants, set_ups))
    failed = 0
    for variant, (_, problems) in stores.items():
        if problems:
            print("== set-up boot of the %s variant FAILED (logs in %s) ==" % (variant, out))
            print("\n".join("  problem: " + p for p in problems) + "\n")
    ready = [s for s in playable if not stores[s.play.variant][1]]
    played = run_parallel([lambda s=s: play_scenario(s, out, stores[s.play.variant][0], facts, IMAGES_DIR)
                           for s in ready])

    for outcome in played:
        print("\n".join(report.scenario_lines(title(outcome), outcome.rows, outcome.problems,
                                                 outcome.remarks)) + "\n")
        failed += outcome.failed
    for scenario in scenarios:
        if scenario.problems:
            print("== %s FAILED: %s ==\n" % (scenario.name, "; ".join(scenario.problems)))
            failed += 1
        elif scenario.play is not None and scenario not in ready:
            print("== %s FAILED: its variant's set-up boot failed ==\n" % scenario.name)
            failed += 1
    host_only = [s for s in scenarios if s.host_only and not s.problems]
    for scenario in host_only:
        print("host-only: %s: %s" % (scenario.name, scenario.host_only))
    print("firmware stage: played in OVMF %d, host-only %d; %.0f s"
          % (len(played), len(host_only), time.monotonic() - started))
    print("firmware-stage: %d passed, %d failed" % (len(played) - sum(p.failed for p in played), failed))
    return 1 if failed else 0
