#!/usr/bin/env python3
"""Mutation survey of the firmware code (driver/, gpio/, platform/).

The mutants are generated from operator classes over the firmware sources
the host build compiles (tools/mutant_generator.py): relational, arithmetic,
bitwise and shift, logical operators, integer and boolean constants,
statements deleted, EFI_STATUS values swapped. Each is applied alone to a
scratch copy of the tree (build/mutation-survey/src, its own host build
under it); the test programs are rebuilt and run, the one that killed the
previous mutant first, then the quickest, stopping at the first failure. A
mutant is killed when a test fails (or runs past its time limit), survived
when all pass, and not viable when it does not build. The worktree itself
is never changed.

Not mutated: platform/uefi.h and platform/outside_services.h, the UEFI
definitions and the outside services' interfaces, which the firmware model
compiles too, so a change there changes both sides alike; and the image
backend (platform/mmio_register_access.cpp, image_runtime.cpp), which the
host build does not compile: the firmware stage under QEMU exercises it.

Mutants listed in tools/equivalent_mutants.py cannot change what a caller or
the hardware sees; they still run, and are reported apart.

  tools/mutation-survey.py                      every mutant
  tools/mutation-survey.py NAME ...             the named ones only
  tools/mutation-survey.py --class relational   one class (repeatable)
  tools/mutation-survey.py --file driver/       files under a path (repeatable)
  tools/mutation-survey.py --list               names and reasons, nothing run
  tools/mutation-survey.py --check              each listed equivalent exists

Each verdict goes to stdout as it comes and to
build/mutation-survey/results.txt; the summary to stdout and to
build/mutation-survey/report.txt. Exit status 1 when a mutant not listed as
equivalent survives, 2 on a usage error.
"""

import argparse
import filecmp
import re
import shutil
import subprocess
import sys
import textwrap
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import mutant_generator  # noqa: E402
from equivalent_mutants import EQUIVALENT  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
SCRATCH = ROOT / "build" / "mutation-survey"
COPY = SCRATCH / "src"
MUTATED_DIRS = ["driver", "gpio", "platform"]
NOT_MUTATED = {"platform/uefi.h", "platform/outside_services.h"}
# Everything the host build of the test programs reads.
COPIED = ["CMakeLists.txt", "CMakePresets.json", "cmake", "driver", "gpio",
          "platform", "sim", "tests", "tools", "fuzz", "examples",
          "firmware-tests", "integration"]
# Each test program with the targets it needs; they run in the order of
# their unmutated run time, so most mutants die in a quick one.
PROGRAMS = {
    "tests/gpio/gpio_tests": ["gpio_tests"],
    "tests/boardcfg_tests": ["boardcfg_tests"],
    "tests/fuzz_input_tests": ["fuzz_input_tests", "boardsim"],
    "tests/boardsim_tests": ["boardsim_tests", "boardsim"],
}
TARGETS = sorted({t for targets in PROGRAMS.values() for t in targets})


def image_backend_sources():
    text = (ROOT / "platform" / "sources.cmake").read_text()
    block = re.search(r"PLATFORM_IMAGE_BACKEND_SOURCES(.*?)\)", text, re.DOTALL)
    return set(block.group(1).split()) if block else set()


def mutated_files():
    skipped = NOT_MUTATED | image_backend_sources()
    return [str(path.relative_to(ROOT)) for top in MUTATED_DIRS
            for path in sorted((ROOT / top).iterdir())
            if path.suffix in (".cpp", ".h")
            and str(path.relative_to(ROOT)) not in skipped]


def catalogue():
    """Every mutant of the firmware code, file by file in source order."""
    files = mutated_files()
    texts = {f: (ROOT / f).read_text() for f in files}
    every_header = [p.read_text() for top in MUTATED_DIRS
                    for p in (ROOT / top).glob("*.h")]
    types = mutant_generator.type_names(every_header + list(texts.values()))
    errors = mutant_generator.error_statuses(
        (ROOT / "platform" / "uefi.h").read_text(), texts.values())
    mutants = []
    for file, text in texts.items():
        try:
            mutants += mutant_generator.generate(file, text, types, errors)
        except mutant_generator.SourceError as error:
            sys.exit(f"{file}: {error}")
    return mutants


def equivalence(name):
    """The reason a mutant is listed as equivalent, or None. A listed name
    may stand for several with `*`."""
    for listed, reason in EQUIVALENT.items():
        if _listed_as(listed, name):
            return reason
    return None


def _listed_as(listed, name):
    return re.fullmatch(".*".join(map(re.escape, listed.split("*"))),
                        name) is not None


def wrapped(text):
    """Lines of at most 100 columns, the later ones indented."""
    return "\n".join(textwrap.fill(line, 100, subsequent_indent="    ",
                                   break_long_words=False,
                                   break_on_hyphens=False)
                     for line in text.splitlines())


def sync_tree():
    """Copies changed files only, so unchanged objects stay built. A copy
    takes the time of copying, not its source's: objects rebuilt for a
    mutant since the source changed must not look newer than it."""
    for top in COPIED:
        source = ROOT / top
        if source.is_file():
            pairs = [(source, COPY / top)]
        else:
            pairs = [(path, COPY / path.relative_to(ROOT))
                     for path in source.rglob("*") if path.is_file()
                     and "__pycache__" not in path.parts]
        for path, target in pairs:
            if target.exists() and filecmp.cmp(path, target, shallow=False):
                continue
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copyfile(path, target)
            shutil.copymode(path, target)
        if source.is_dir():
            for stale in (COPY / top).rglob("*"):
                if stale.is_file() and not (
                        ROOT / stale.relative_to(COPY)).exists():
                    stale.unlink()


def run(command, timeout=None):
    return subprocess.run(command, cwd=COPY, capture_output=True, text=True,
                          timeout=timeout)


def build(targets=TARGETS):
    result = run(["cmake", "--build", "--preset", "host", "-j2", "--target",
                  *targets])
    return result.returncode == 0, result.stdout + result.stderr


class BuildFailed(Exception):
    pass


def first_failure(limits, order):
    """The first failing test as 'program: test', or None when all pass;
    raises BuildFailed when the mutated code does not build. The program
    that fails goes first in order: the next mutant, most often of the same
    code, most likely fails there too."""
    for program in list(order):
        limit = limits[program]
        built, log = build(PROGRAMS[program])
        if not built:
            raise BuildFailed(log)
        name = Path(program).name
        try:
            result = run([str(COPY / "build" / "host" / program),
                          "--gtest_brief=1", "--gtest_fail_fast"],
                         timeout=limit)
        except subprocess.TimeoutExpired:
            return f"{name}: over {limit:.0f} s"
        if result.returncode != 0:
            order.remove(program)
            order.insert(0, program)
            for line in result.stdout.splitlines():
                if line.startswith("[  FAILED  ]"):
                    return f"{name}: {line[12:].strip().split(' ')[0]}"
            return f"{name}: exit {result.returncode}"
    return None


def prepare():
    """The scratch copy built unmutated, and each program's time limit, the
    quickest program first. The limit is four times the unmutated run, and
    at least 10 s: a mutated wait for the P2SB runs to its poll limit."""
    SCRATCH.mkdir(parents=True, exist_ok=True)
    sync_tree()
    if not (COPY / "build" / "host" / "CMakeCache.txt").exists():
        if run(["cmake", "--preset", "host"]).returncode != 0:
            sys.exit("configuring the scratch copy failed")
    ok, log = build()
    if not ok:
        sys.exit("the unmutated scratch copy does not build:\n" + log[-3000:])
    durations = {}
    for program in PROGRAMS:
        start = time.monotonic()
        result = run([str(COPY / "build" / "host" / program),
                      "--gtest_brief=1"])
        if result.returncode != 0:
            sys.exit(f"{program} fails without a mutant:\n"
                     + result.stdout[-3000:])
        durations[program] = time.monotonic() - start
    return {program: max(10.0, 4 * seconds) for program, seconds in
            sorted(durations.items(), key=lambda item: item[1])}


def survey(chosen, limits):
    """(mutant, built, killer) for each mutant, in order."""
    results = []
    order = list(limits)
    log = (SCRATCH / "results.txt").open("w")
    for index, mutant in enumerate(chosen, 1):
        target = COPY / mutant.file
        original = target.read_text()
        start = time.monotonic()
        built, killer = True, None
        try:
            target.write_text(mutant_generator.apply(original, mutant))
            killer = first_failure(limits, order)
        except BuildFailed:
            built = False
        finally:
            target.write_text(original)
        if not built:
            verdict = "not viable (does not build)"
        elif killer:
            verdict = f"killed by {killer}"
        else:
            verdict = "survived" + (" (equivalent)" if equivalence(
                mutant.name) else "")
        results.append((mutant, built, killer))
        line = f"[{index}/{len(chosen)}] {mutant.name}: {verdict}"
        print(wrapped(f"{line} ({time.monotonic() - start:.0f} s)"),
              flush=True)
        log.write(line + "\n")
        log.flush()
    build()  # leave the scratch build unmutated
    return results


def summary(results, generated):
    killed = [m for m, b, k in results if b and k]
    survived = [m for m, b, k in results if b and not k]
    unviable = [m for m, b, k in results if not b]
    real = [m for m in survived if not equivalence(m.name)]
    lines = [f"{generated} mutants generated, {len(results)} run: "
             f"{len(killed)} killed, {len(real)} survived, "
             f"{len(survived) - len(real)} equivalent, "
             f"{len(unviable)} not viable"]
    lines += [f"  survived: {m.name}" for m in real]
    lines += [f"  equivalent: {m.name}\n    {equivalence(m.name)}"
              for m in survived if equivalence(m.name)]
    lines += [f"  listed as equivalent, yet killed: {m.name}" for m in killed
              if equivalence(m.name)]
    return lines, real


def check(mutants):
    names = {m.name for m in mutants}
    problems = [f"listed as equivalent, not generated: {listed}"
                for listed in EQUIVALENT
                if not any(_listed_as(listed, name) for name in names)]
    print("\n".join(problems) or
          f"{len(EQUIVALENT)} equivalent entries, each among the "
          f"{len(mutants)} mutants generated")
    return 1 if problems else 0


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("names", nargs="*", help="mutants to run")
    parser.add_argument("--class", dest="classes", action="append",
                        choices=mutant_generator.CLASSES, default=[],
                        help="mutants of this class only")
    parser.add_argument("--file", dest="files", action="append", default=[],
                        metavar="PATH",
                        help="mutants of the files under this path only")
    parser.add_argument("--list", action="store_true",
                        help="name the mutants chosen, run nothing")
    parser.add_argument("--check", action="store_true",
                        help="fail when a listed equivalent is not generated")
    args = parser.parse_args()

    mutants = catalogue()
    if args.check:
        return check(mutants)
    unknown = set(args.names) - {m.name for m in mutants}
    if unknown:
        parser.error(f"no such mutant: {', '.join(sorted(unknown))} "
                     "(--list names them)")
    files = sorted({m.file for m in mutants})
    for path in args.files:
        if not any(f.startswith(path) for f in files):
            parser.error(f"--file {path}: no mutated file under it; the "
                         f"mutated files are {', '.join(files)}")
    chosen = [m for m in mutants
              if (not args.names or m.name in args.names)
              and (not args.classes or m.kind in args.classes)
              and (not args.files or any(m.file.startswith(path)
                                         for path in args.files))]
    if args.list:
        for m in chosen:
            reason = equivalence(m.name)
            print(wrapped(m.name + (f"\n    equivalent: {reason}" if reason
                                    else "")))
        return 0

    results = survey(chosen, prepare())
    lines, real = summary(results, len(mutants))
    (SCRATCH / "report.txt").write_text("\n".join(lines) + "\n")
    print(wrapped("\n".join(lines)))
    return 1 if real else 0


if __name__ == "__main__":
    sys.exit(main())
