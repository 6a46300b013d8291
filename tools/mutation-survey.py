#!/usr/bin/env python3
"""Mutation survey of the firmware code (driver/, gpio/, platform/).

Each mutation changes one operator, constant or statement. It is applied
alone to a scratch copy of the tree (build/mutation-survey/src, its own host
build under it), the test programs that link the firmware code are rebuilt,
and the host suites run without the firmware stage. A mutation is killed when
a suite fails (or runs past its time limit), survived when all pass, and
not viable when it does not build. The worktree itself is never changed.

Mutations listed in tools/mutation_list.py as EQUIVALENT cannot change what
a caller or the hardware sees; they are still run, and reported apart.

  tools/mutation-survey.py                 every mutation
  tools/mutation-survey.py riser-bound-5   the named ones only
  tools/mutation-survey.py --list          names, files and reasons
  tools/mutation-survey.py --check         every snippet found exactly once

The summary goes to stdout and to build/mutation-survey/report.txt; exit
status 1 when a mutation not listed as equivalent survives. On two cores a
mutation takes 3 to 50 s (a header rebuilds the test programs), the whole list
about 25 minutes; `make mutation-survey` runs it (not part of make test).
"""

import argparse
import filecmp
import os
import shutil
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
from mutation_list import EQUIVALENT, MUTATIONS  # noqa: E402

ROOT = Path(__file__).resolve().parent.parent
SCRATCH = ROOT / "build" / "mutation-survey"
COPY = SCRATCH / "src"
# Everything the host build of the test programs reads.
COPIED = ["CMakeLists.txt", "CMakePresets.json", "cmake", "driver", "gpio",
          "platform", "sim", "tests", "tools", "fuzz", "examples",
          "firmware-tests", "integration"]
# Each test program with the targets it needs, quickest first: most
# mutations die in the first, and the later ones are only built when it
# passes.
PROGRAMS = {
    "tests/gpio/gpio_tests": ["gpio_tests"],
    "tests/boardcfg_tests": ["boardcfg_tests"],
    "tests/fuzz_input_tests": ["fuzz_input_tests", "boardsim"],
    "tests/boardsim_tests": ["boardsim_tests", "boardsim"],
}
TARGETS = sorted({t for targets in PROGRAMS.values() for t in targets})


def sync_tree():
    """Copies changed files only, so unchanged objects stay built. A copy
    takes the time of copying, not its source's: objects rebuilt for a
    mutation since the source changed must not look newer than it."""
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


def first_failure(limits):
    """The first failing test as 'program: test', or None when all pass;
    raises BuildFailed when the mutated code does not build."""
    for program, targets in PROGRAMS.items():
        built, log = build(targets)
        if not built:
            raise BuildFailed(log)
        name = Path(program).name
        try:
            result = run([str(COPY / "build" / "host" / program),
                          "--gtest_brief=1", "--gtest_fail_fast"],
                         timeout=limits[program])
        except subprocess.TimeoutExpired:
            return f"{name}: over {limits[program]:.0f} s"
        if result.returncode != 0:
            for line in result.stdout.splitlines():
                if line.startswith("[  FAILED  ]"):
                    return f"{name}: {line[12:].strip().split(' ')[0]}"
            return f"{name}: exit {result.returncode}"
    return None


class BuildFailed(Exception):
    pass


def check_snippets(mutations):
    problems = []
    for m in mutations:
        count = (ROOT / m.file).read_text().count(m.snippet)
        if count != 1:
            problems.append(f"{m.name}: snippet found {count} times in "
                            f"{m.file}")
    return problems


def main():
    parser = argparse.ArgumentParser(
        description=__doc__, formatter_class=argparse.RawTextHelpFormatter)
    parser.add_argument("names", nargs="*", help="mutations to run")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--check", action="store_true")
    args = parser.parse_args()

    names = [m.name for m in MUTATIONS]
    duplicates = {n for n in names if names.count(n) > 1}
    unknown = set(args.names) - set(names)
    if duplicates or unknown:
        sys.exit(f"duplicate names {sorted(duplicates)}, "
                 f"unknown names {sorted(unknown)}")
    chosen = [m for m in MUTATIONS if not args.names or m.name in args.names]
    if args.list:
        for m in chosen:
            reason = EQUIVALENT.get(m.name)
            print(f"{m.name:28} {m.file}"
                  + (f"\n{'':28} equivalent: {reason}" if reason else ""))
        return 0
    problems = check_snippets(chosen)
    if problems or args.check:
        print("\n".join(problems) or f"{len(chosen)} snippets, each unique")
        return 1 if problems else 0

    SCRATCH.mkdir(parents=True, exist_ok=True)
    sync_tree()
    if not (COPY / "build" / "host" / "CMakeCache.txt").exists():
        if run(["cmake", "--preset", "host"]).returncode != 0:
            sys.exit("configuring the scratch copy failed")
    ok, log = build()
    if not ok:
        sys.exit("the unmutated scratch copy does not build:\n" + log[-3000:])
    limits = {}
    for program in PROGRAMS:
        start = time.monotonic()
        result = run([str(COPY / "build" / "host" / program),
                      "--gtest_brief=1"])
        if result.returncode != 0:
            sys.exit(f"{program} fails without a mutation:\n"
                     + result.stdout[-3000:])
        limits[program] = max(30.0, 4 * (time.monotonic() - start))

    results = []
    for index, m in enumerate(chosen, 1):
        target = COPY / m.file
        original = target.read_text()
        start = time.monotonic()
        built, killer = True, None
        try:
            target.write_text(original.replace(m.snippet, m.replacement))
            killer = first_failure(limits)
        except BuildFailed:
            built = False
        finally:
            target.write_text(original)
        if not built:
            verdict = "not viable (does not build)"
        elif killer:
            verdict = f"killed by {killer}"
        else:
            verdict = "SURVIVED"
        results.append((m, built, killer))
        print(f"[{index}/{len(chosen)}] {m.name}: {verdict} "
              f"({time.monotonic() - start:.0f} s)", flush=True)
    build()  # leave the scratch build unmutated

    killed = [m for m, b, k in results if b and k]
    survived = [m for m, b, k in results if b and not k]
    unviable = [m for m, b, k in results if not b]
    real = [m for m in survived if m.name not in EQUIVALENT]
    lines = [f"{len(results)} mutations: {len(killed)} killed, "
             f"{len(survived)} survived "
             f"({len(survived) - len(real)} listed as equivalent), "
             f"{len(unviable)} not viable"]
    lines += [f"  survived: {m.name} ({m.file})" for m in real]
    lines += [f"  equivalent, survived: {m.name}: {EQUIVALENT[m.name]}"
              for m in survived if m.name in EQUIVALENT]
    lines += [f"  equivalent yet killed: {m.name}" for m in killed
              if m.name in EQUIVALENT]
    lines += [f"  not viable: {m.name}" for m in unviable]
    (SCRATCH / "report.txt").write_text("\n".join(lines) + "\n")
    print("\n".join(lines))
    return 1 if real else 0


if __name__ == "__main__":
    sys.exit(main())
