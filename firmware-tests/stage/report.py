"""Printing a scenario's rows and problems."""

import json

COLUMN = 34


def shown(value):
    if isinstance(value, str):
        return value
    return json.dumps(value, separators=(", ", ": "))


def row_lines(row):
    mark = "  " if not row.compared else ("  " if row.agree else "<>")
    state = "" if row.compared else "  (not compared: %s)" % row.note
    mine, theirs = shown(row.firmware), shown(row.boardsim)
    if len(mine) <= COLUMN and len(theirs) <= COLUMN:
        lines = ["  %s %-44s %-*s %s%s" % (mark, row.outcome, COLUMN, mine, theirs, state)]
    else:
        lines = ["  %s %s%s" % (mark, row.outcome, state),
                 "       firmware: %s" % mine,
                 "       boardsim: %s" % theirs]
    if row.compared and not row.agree:
        if row.note:
            lines.append("       (%s)" % row.note)
        lines.extend("       " + line for line in row.details)
    return lines


def scenario_lines(title, rows, problems, remarks=()):
    lines = ["== %s ==" % title]
    if rows:
        lines.append("     %-44s %-*s %s" % ("outcome", COLUMN, "firmware (OVMF)", "boardsim"))
        for row in rows:
            lines.extend(row_lines(row))
    lines.extend("  " + remark for remark in remarks)
    lines.extend("  problem: " + problem for problem in problems)
    return lines
