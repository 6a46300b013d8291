#!/usr/bin/env python3
"""Makes CTest's output fit a 100-column terminal, line by line as it
comes, where CTest itself has no option for it:

  12/264 Test  #12: Name .............. Passed    0.01 sec
      -> 12/264 passed   0.01 s  Name
  185: firmware stage, ...      (ctest -V: a test's own output)
      -> firmware stage, ...

CTest pads each result line to its longest test name and prefixes the
output of a test run with -V by the test's number; its configuration
chatter under -V, its "Start" lines and blank lines go. Everything else
(a failed test's output, summaries) passes unchanged. The builds need no
such help: Ninja's --quiet leaves only the compilers' messages."""

import re
import sys

WIDTH = 100

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


def tidy(line):
    """The line as shown, or None to drop it."""
    line = line.rstrip("\n")
    if not line.strip() or CHATTER.match(line):
        return None
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
    for line in sys.stdin:
        shown = tidy(line)
        if shown is not None:
            print(shown, flush=True)


if __name__ == "__main__":
    main()
