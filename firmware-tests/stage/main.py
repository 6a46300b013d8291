"""Plays boardsim scenarios on BoardConfigDxe.efi in OVMF under QEMU and
compares what the firmware side shows with `boardsim SCENARIO --json`.

Without scenarios it plays examples/ and firmware-tests/scenarios/, each in
its own variant (SMM when it has smm_base); --also-in adds a variant. The
firmware is Debian's OVMF unless --firmware platform-build asks for OVMF
built from source with the package (make platform). Logs stay under
build/firmware/<load path>/<variant>/<scenario>/ (platform-build/ instead of
the load path for that firmware). Exits 1 when a scenario differs from its
expectation or the stage itself failed."""

import argparse
import json
import sys
import time
from pathlib import Path

from . import boardsim, report
from .boardsim import REPO, Facts, ToolError
from .firmware import BUILT, DEBIAN_OVMF, FIRMWARES, LOAD_PATHS, VARIANTS
from .plan import as_played, plan, variant_of
from .play import Scenario, play_scenario, set_up
from .runner import PARALLEL, run_parallel
from .compare import setup_texts_after
from .setup_visit import FIRMWARE_LANGUAGE, visit_for

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
    parser.add_argument("--load-path", choices=sorted(LOAD_PATHS), default="firmware-volume",
                        help="how the firmware loads the driver (default firmware-volume)")
    parser.add_argument("--firmware", choices=sorted(FIRMWARES), default=DEBIAN_OVMF.name,
                        help="Debian's OVMF (default), or OVMF built from source with the "
                             "package (platform-build: make platform; firmware volume, plain)")
    parser.add_argument("--also-in", action="append", default=[], choices=sorted(VARIANTS),
                        metavar="VARIANT", help="play each scenario in this firmware variant too "
                        "(%s), the same board with smm_base set to match" % ", ".join(sorted(VARIANTS)))
    parser.add_argument("--brief", action="store_true",
                        help="one line per boot as it ends; the whole comparison only for a "
                             "boot that failed (each boot's comparison.txt keeps it)")
    parser.add_argument("--setup-screen", action="append", default=[], metavar="SCENARIO",
                        help="end SCENARIO's boot (its name or file) in the firmware's Setup "
                             "screen: open the board's option there, check its prompt and help "
                             "text, keep setup-screen.png")
    return parser.parse_args(argv)


def named(name, paths):
    """The scenario paths a name given on the command line stands for."""
    return [p for p in paths if name in (p.stem, p.name, str(p)) or Path(name).resolve() == p.resolve()]


def substitutions(given, paths):
    """SCENARIO=FILE pairs, each matched to exactly one scenario path."""
    chosen = {}
    for item in given:
        name, equals, file = item.partition("=")
        matches = named(name, paths)
        if not equals or len(matches) != 1:
            raise SystemExit("run-firmware-stage: --expectation %s names %d of the scenarios played"
                             % (item, len(matches)))
        chosen[matches[0]] = Path(file)
    return chosen


def setup_visits(given, paths):
    """The scenario paths whose boots end in Setup, each named once."""
    visits = set()
    for name in given:
        matches = named(name, paths)
        if len(matches) != 1:
            raise SystemExit("run-firmware-stage: --setup-screen %s names %d of the scenarios played"
                             % (name, len(matches)))
        visits.add(matches[0])
    return visits


def prepared(scenario, resolved, substitute, facts, load_path, variant, firmware):
    """The scenario with its expectation and how it is played."""
    scenario.resolved = resolved
    try:
        if substitute is None:
            scenario.expected = boardsim.expected_outcome(scenario.path)
        else:
            scenario.expected = json.loads(substitute.read_text())
            scenario.expectation = str(substitute)
    except (ToolError, OSError, ValueError) as error:
        scenario.problems.append(str(error))
        return scenario
    scenario.play, reason = plan(resolved, facts, load_path, variant, firmware)
    scenario.host_only = reason or ""
    return scenario


def load(path, substitute, facts, load_path, out, also_in=(), firmware=DEBIAN_OVMF):
    """The scenario in its own variant (the firmware's, where it has only
    one), then in each variant of also_in. Where the firmware or the load path
    plays it differently (another variant, the SMM base protocol not yet
    installed at the driver's entry, the firmware's own calls of the board
    service), the scenario as played is written as <out>/<log root>/<variant>/
    <name>.json for boardsim and boardlay to read."""
    own = Scenario(path=path, name=path.stem, source=path)
    try:
        resolved = boardsim.resolved_scenario(path)
    except (ToolError, OSError, ValueError) as error:
        own.problems.append(str(error))
        return [own]
    loaded = []
    for variant in dict.fromkeys([firmware.variant_for(variant_of(resolved)), *also_in]):
        played = as_played(resolved, variant, load_path, firmware)
        scenario = own if not loaded else Scenario(path=path, name=path.stem, source=path)
        changes = ["added"] if loaded else []
        if played["smm_base"] != resolved.get("smm_base"):
            changes.append("smm_base %s at the driver's entry" % str(played["smm_base"]).lower())
        if played["steps"] != resolved.get("steps"):
            changes.append("the sample consumer's entry 4 at ready-to-boot")
        scenario.played_as = ", ".join(changes)
        if played != resolved:
            scenario.path = out / firmware.log_root(load_path) / variant / ("%s.json" % path.stem)
            scenario.path.parent.mkdir(parents=True, exist_ok=True)
            scenario.path.write_text(json.dumps(played, indent=1) + "\n")
        loaded.append(prepared(scenario, played, substitute, facts, load_path, variant, firmware))
    return loaded


def without_added_repeats(scenarios):
    """Leaves out an added variant of a scenario when another scenario plays
    the same board in that variant with the same expectation."""
    def key(scenario):
        return (scenario.play.variant if scenario.play else None,
                json.dumps([scenario.resolved, scenario.expected], sort_keys=True))
    given = {key(s) for s in scenarios if not s.played_as.startswith("added")}
    return [s for s in scenarios if not s.played_as.startswith("added") or key(s) not in given]


def board_setup_visit(scenario, facts):
    """The board's Setup form as the scenario's boot must show it: its
    formset, and the riser option's prompt and help in the firmware's
    language after boardsim's replacements."""
    texts = setup_texts_after(scenario.expected, facts)[FIRMWARE_LANGUAGE]
    prompt_id, help_id = facts.setup_ids
    return visit_for(facts.setup_formset_title, texts[prompt_id], texts[help_id])


def shown_path(path):
    """A path as short as it can be said: from the clone when inside it."""
    try:
        return path.resolve().relative_to(REPO)
    except ValueError:
        return path


def brief_title(played):
    """A passed boot in one line: scenario, how it was played, its time."""
    scenario, play = played.scenario, played.scenario.play
    visit = ", Setup screen" if (played.directory / "setup-screen.json").exists() else ""
    return "%-24s %s%s, %.0f s" % (scenario.name, play.variant, visit, played.seconds)


def title(played):
    scenario, play = played.scenario, played.scenario.play
    shown = shown_path(scenario.source)
    variant = play.variant + ("" if not scenario.played_as else " (%s)" % scenario.played_as)
    where = play.load_path.name if play.firmware is DEBIAN_OVMF else "%s, %s" % (
        play.firmware.name, play.load_path.name)
    text = "%s (%s; %s, %s, %s windows, bridges by the %s, %.0f s)" % (
        scenario.name, shown, where, variant, play.windows, play.bridge_location,
        played.seconds)
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
    try:
        facts = Facts.load()
    except ToolError as error:
        raise SystemExit("run-firmware-stage: %s" % error)
    load_path = LOAD_PATHS[args.load_path]
    firmware = FIRMWARES[args.firmware]
    if load_path.name not in firmware.load_paths:
        raise SystemExit("run-firmware-stage: %s loads the driver only by %s, not by --load-path %s"
                         % (firmware.name, ", ".join(firmware.load_paths), load_path.name))
    unknown = [v for v in args.also_in if v not in firmware.variants]
    if unknown:
        raise SystemExit("run-firmware-stage: %s has no %s variant (it has %s)"
                         % (firmware.name, ", ".join(unknown), ", ".join(firmware.variants)))
    out = args.keep_dir.resolve()
    logs = out / firmware.log_root(load_path)
    chosen = substitutions(args.expectation, paths)
    visiting = setup_visits(args.setup_screen, paths)
    scenarios = without_added_repeats(
        [s for p in paths for s in load(p, chosen.get(p), facts, load_path, out, args.also_in, firmware)])
    playable = [s for s in scenarios if s.play is not None and not s.problems]
    variants = sorted({s.play.variant for s in playable})
    missing = [str(path) for path in firmware.needs(load_path, variants) if not path.exists()]
    if missing:
        raise SystemExit("run-firmware-stage: %s not built (make %s)"
                         % (", ".join(missing), "image" if firmware is DEBIAN_OVMF else "platform"))

    set_ups = run_parallel([lambda v=v: set_up(out, v, load_path, BUILT, firmware) for v in variants])
    stores = dict(zip(variants, set_ups))
    failed = 0
    for variant, (_, problems) in stores.items():
        if problems:
            print("== set-up boot of the %s variant (%s) FAILED, logs in %s =="
                  % (variant, load_path.name, logs))
            print("\n".join("  problem: " + p for p in problems) + "\n")
    ready = [s for s in playable if not stores[s.play.variant][1]]
    print("firmware stage (%s): %d boots, %d at a time; logs in %s"
          % (firmware.log_root(load_path), len(ready), PARALLEL, shown_path(logs)), flush=True)

    def show(outcome):
        if args.brief and not outcome.failed:
            print("  passed  %s" % brief_title(outcome), flush=True)
        else:
            print("\n".join(report.scenario_lines(title(outcome), outcome.rows, outcome.problems,
                                                     outcome.remarks)) + "\n", flush=True)

    played = run_parallel([lambda s=s: play_scenario(s, out, stores[s.play.variant][0], facts, BUILT,
                                                     board_setup_visit(s, facts) if s.source in visiting else None)
                           for s in ready], on_done=show)
    failed += sum(outcome.failed for outcome in played)
    for scenario in scenarios:
        if scenario.problems:
            print("== %s (%s) FAILED: %s ==\n" % (scenario.name, load_path.name, "; ".join(scenario.problems)))
            failed += 1
        elif scenario.play is not None and scenario not in ready:
            print("== %s (%s, %s) FAILED: its variant's set-up boot failed ==\n"
                  % (scenario.name, load_path.name, scenario.play.variant))
            failed += 1
    host_only = [s for s in scenarios if s.host_only and not s.problems]
    for scenario in host_only:
        print("host-only: %s: %s" % (scenario.name, scenario.host_only))
    print("firmware stage, %s: played in OVMF %d, host-only %d; %.0f s"
          % ("%s load path" % load_path.name if firmware is DEBIAN_OVMF else
             "%s from the firmware volume" % firmware.name,
             len(played), len(host_only), time.monotonic() - started))
    print("firmware-stage: %d passed, %d failed" % (len(played) - sum(p.failed for p in played), failed))
    return 1 if failed else 0
