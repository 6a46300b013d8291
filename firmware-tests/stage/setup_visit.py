"""A visit to the firmware's Setup screen at the end of a scenario boot: the
shell's script ends with `exit`, the boot manager then finds no other option
that boots and shows its front page, in the same boot. Keys written to the
serial console open Device Manager, the formset with the given title, and
select the option with the given prompt, each key sent once the screen
shows the state the one before led to. The outcome says how far the visit
got and what the screen showed."""

import json
import subprocess
import time
from dataclasses import dataclass

from .screen import Screen

DOWN, UP, ENTER = b"\x1b[B", b"\x1b[A", b"\r"
KEY_NAMES = {DOWN: "down", UP: "up", ENTER: "enter"}
FRONT_PAGE_LIMIT = 60  # seconds from the visit's start: the script runs first
STEP_LIMIT = 20  # seconds for each later screen
QUIET = 0.3  # seconds without output before a screen counts as drawn
POLL = 0.05
# OVMF's platform language, in which the form browser shows the strings.
FIRMWARE_LANGUAGE = "en-US"
HEADER_ROWS = 3  # the form browser's title frame
FOOTER_ROWS = 5


@dataclass(frozen=True)
class SetupVisit:
    title: str  # the formset's title as Device Manager lists it
    prompt: str  # the option's prompt
    help: str  # the option's help text


def visit_for(title, prompt, help_text):
    """The visit a scenario boot makes; the texts come from the board."""
    return SetupVisit(title, prompt, help_text)


class StepFailed(Exception):
    def __init__(self, step, what, screen):
        super().__init__("%s: %s; the screen showed:\n%s" % (step, what, screen.text()))
        self.step = step


class Clock:
    def now(self):
        return time.monotonic()

    def pause(self):
        time.sleep(POLL)


class Visit:
    """Drives one visit on a terminal with read() (new output bytes, b""
    when none), send(key) and running() (False once the firmware is gone)."""

    def __init__(self, visit, terminal, clock=None):
        self.visit = visit
        self.terminal = terminal
        self.clock = clock or Clock()
        self.screen = Screen()
        self.output = 0  # bytes replayed
        self.keys = []  # {"step", "key", "at": output bytes seen when sent}
        self.started = self.clock.now()
        self.shown = {}  # what each wait saw, in seconds from the start

    def _pump(self):
        data = self.terminal.read()
        if data:
            self.screen.feed(data)
            self.output += len(data)
        return bool(data)

    def wait(self, step, what, shown, limit=STEP_LIMIT):
        """Until shown(screen) holds with the output quiet for QUIET."""
        deadline = self.clock.now() + limit
        quiet_since = self.clock.now()
        while self.clock.now() < deadline:
            if self._pump():
                quiet_since = self.clock.now()
            elif shown(self.screen) and self.clock.now() - quiet_since >= QUIET:
                self.shown.setdefault(what, round(self.clock.now() - self.started, 1))
                return
            elif not self.terminal.running():
                self._pump()
                raise StepFailed(step, "the firmware stopped before the screen showed %s" % what,
                                 self.screen)
            self.clock.pause()
        raise StepFailed(step, "no screen showed %s within %d s" % (what, limit), self.screen)

    def send(self, step, key):
        self.keys.append({"step": step, "key": KEY_NAMES[key], "at": self.output})
        self.terminal.send(key)

    def menu_rows(self, text):
        """Rows of the menu (left of the help column) that show the text."""
        screen = self.screen
        return [row for row, _ in screen.find(text, (0, help_column(screen)))
                if HEADER_ROWS <= row < screen.rows - FOOTER_ROWS]

    def highlighted_row(self):
        screen = self.screen
        rows = [row for row, _ in screen.highlighted() if HEADER_ROWS <= row < screen.rows - FOOTER_ROWS]
        return rows[0] if rows else None

    def select(self, step, text):
        """Moves the highlight to the menu row showing text."""
        for _ in range(2 * self.screen.rows):
            rows, at = self.menu_rows(text), self.highlighted_row()
            if not rows:
                raise StepFailed(step, "no menu row shows %r" % text, self.screen)
            if at == rows[0]:
                return
            self.send(step, DOWN if at is None or at < rows[0] else UP)
            self.wait(step, "the highlight moved from row %s" % at,
                      lambda screen, at=at: self.highlighted_row() != at)
        raise StepFailed(step, "the highlight never reached %r" % text, self.screen)

    def run(self):
        visit = self.visit
        self.wait("front page", "the front page with Device Manager",
                  lambda screen: self.menu_rows("Device Manager") and self.highlighted_row() is not None,
                  FRONT_PAGE_LIMIT)
        self.select("front page", "Device Manager")
        self.send("front page", ENTER)
        self.wait("Device Manager", "Device Manager listing %r" % visit.title,
                  lambda screen: "Device Manager" in screen.text_rows()[1] and self.menu_rows(visit.title))
        self.select("Device Manager", visit.title)
        self.send("Device Manager", ENTER)
        self.wait("formset", "the formset %r showing %r" % (visit.title, visit.prompt),
                  lambda screen: visit.title in screen.text_rows()[1] and self.menu_rows(visit.prompt))
        self.select("option", visit.prompt)
        self.wait("option", "the help text of %r" % visit.prompt,
                  lambda screen: help_shown(screen, visit.help))


def help_column(screen):
    """The form browser's help text starts at two thirds of the width,
    less one column's frame (column 57 of 80)."""
    return (screen.columns * 2) // 3 + 4


def help_shown(screen, help_text):
    """The help text's words, in order, in the help column from some row
    on (the browser wraps it over the rows below)."""
    wanted = help_text.split()
    column = help_column(screen)
    lines = [line[column:].split() for line in screen.text_rows()[HEADER_ROWS:screen.rows - FOOTER_ROWS]]
    return any(words_in_order(lines[row:], wanted) for row in range(len(lines)))


def words_in_order(lines, wanted):
    """Whether the lines' words start with the wanted words. A word too long
    for the column goes on in the next row: a row's last word and the next
    row's first count as one when only together they are a wanted word."""
    words = []
    for line in lines:
        if words and line and words[-1] not in wanted and words[-1] + line[0] in wanted:
            words[-1] += line[0]
            line = line[1:]
        words += line
    return words[:len(wanted)] == wanted


def outcome(visit, driver, failure=None, screenshot=None, seconds=None):
    """What the stage keeps of a visit (setup-screen.json)."""
    screen = driver.screen
    reached = failure is None or failure.step == "option"
    return {"title": visit.title, "prompt": visit.prompt, "help": visit.help,
            "reached": reached,
            "prompt_shown": bool(driver.menu_rows(visit.prompt)) and reached,
            "help_shown": help_shown(screen, visit.help),
            "prompt_highlighted": driver.highlighted_row() in driver.menu_rows(visit.prompt),
            "failed_step": failure.step if failure else None,
            "problem": str(failure) if failure else None,
            "screenshot": screenshot, "screen_size": [screen.rows, screen.columns],
            "seconds": seconds, "shown_at": driver.shown, "keys": driver.keys, "screen": screen.text().split("\n")}


SCREENSHOT = "setup-screen.png"
RECORD = "setup-screen.json"


def visit_problems(record):
    """What a kept visit outcome says went wrong."""
    if record is None:
        return []
    problems = ["Setup visit, step %s" % record["problem"]] if record["problem"] else []
    for shown, what in (("prompt_shown", "the prompt %r" % record["prompt"]),
                        ("help_shown", "the help text %r" % record["help"])):
        if not record[shown] and not problems:
            problems.append("Setup visit: the screen did not show %s" % what)
    return problems + ["Setup visit: %s" % problem for problem in record["problems"]]


def shown_on_screen(record):
    """The form's texts as the visit saw them on the screen: the formset it
    reached, the option's prompt and its help text; None for what was not
    shown. None without a visit."""
    if record is None:
        return None
    return {"formset": record["title"] if record["reached"] else None,
            "prompt": record["prompt"] if record["prompt_shown"] else None,
            "help": record["help"] if record["help_shown"] else None}


def visit_record(directory):
    path = directory / RECORD
    return json.loads(path.read_text()) if path.exists() else None


def visit_setup(visit, terminal, monitor, directory):
    """Makes the visit on the running firmware, takes the screenshot (also
    of a screen a step failed on), powers QEMU off through its monitor and
    keeps the outcome in directory/setup-screen.json."""
    started = time.monotonic()
    driver = Visit(visit, terminal)
    failure = screenshot = None
    try:
        driver.run()
    except StepFailed as failed:
        failure = failed
    seconds = round(time.monotonic() - started, 1)
    problems = []
    try:
        screenshot = str(monitor.screenshot(directory / SCREENSHOT))
    except (OSError, ConnectionError, subprocess.CalledProcessError) as error:
        problems.append("no screenshot: %s" % error)
    try:
        monitor.quit()
    except OSError as error:
        problems.append("QEMU's monitor took no quit: %s" % error)
    terminal.close()
    record = outcome(visit, driver, failure, screenshot, seconds)
    record["problems"] = problems
    (directory / RECORD).write_text(json.dumps(record, indent=1) + "\n")
    return record
