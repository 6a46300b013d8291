#!/usr/bin/env python3
"""Makes the output of a build or a CTest run fit a 100-column terminal,
line by line as it comes, and drops what only repeats the obvious:

  [ 56%] Building CXX object sim/CMakeFiles/boardcfg_sim.dir/chipset/p2sb.cpp.o
      -> [ 56%] boardcfg_sim: chipset/p2sb.cpp
   12/264 Test  #12: Name .............. Passed    0.01 sec
      -> 12/264 passed   0.01 s  Name
  185: firmware stage, ...      (ctest -V: a test's own output)
      -> firmware stage, ...

ctest's configuration chatter under -V, its "Start" lines and blank lines
go; everything else (compiler errors, a failed test's output, summaries)
passes unchanged. With --per-target a build shows one line per target
built instead of one per file."""

import re
import sys

WIDTH = 100

BUILDING = re.compile(r"^(\[\s*\d+%\]) Building \w+ object (?:\S+?/)?CMakeFiles/([^/]+)\.dir/(\S+?)"
                      r"(?:\.o|\.obj)$")
RESULT = re.compile(r"^\s*(\d+)/(\d+) Test\s+#\d+: (\S+).*?\s((?:\*\*\*)?[A-Z][\w ]*?)\s+([\d.]+) sec\s*$")
TEST_OUTPUT = re.compile(r"^\d+: (.*)$")
CHATTER = re.compile(r"^(\s*Start\s+\d+: |UpdateCTestConfiguration|Parse Config file|"
                     r"Test project |Constructing a list of tests|Updating test list|"
                     r"Checking test dependency graph|Checking test dependency graph end|"
                     r"test \d+$|\d+: Test command: |\d+: Working Directory: |"
                     r"\d+: Environment variables:|\d+:  \w+=|\d+: Test timeout computed|"
                     r"Test timeout computed|Add coverage exclude|Add test |Set test |Done constructing)")


def fitted(text):
    return text if len(text) <= WIDTH else text[:WIDTH - 3] + "..."


LINKING = re.compile(r"^\[\s*\d+%\] Linking ")
TARGET_BUILT = re.compile(r"^\[\s*\d+%\] Built target ")


def tidy(line, per_target=False):
    """The line as shown, or None to drop it."""
    line = line.rstrip("\n")
    if not line.strip() or CHATTER.match(line):
        return None
    built = BUILDING.match(line)
    if per_target and (built or LINKING.match(line)):
        return None
    if built:
        progress, target, source = built.groups()
        return fitted("%s %s: %s" % (progress, target, source.replace("__/", "../")))
    result = RESULT.match(line)
    if result:
        index, total, name, status, seconds = result.groups()
        status = status.strip("*").strip().lower()
        return fitted("%*s/%s %-7s %6.2f s  %s" % (len(total), index, total, status, float(seconds), name))
    output = TEST_OUTPUT.match(line)
    if output:
        return "  " + output.group(1)
    return line


def main():
    per_target = sys.argv[1:] == ["--per-target"]
    for line in sys.stdin:
        shown = tidy(line, per_target)
        if shown is not None:
            print(shown, flush=True)


if __name__ == "__main__":
    main()
