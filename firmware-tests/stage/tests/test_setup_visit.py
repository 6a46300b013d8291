import json
import unittest

from stage.screen import Screen
from stage.setup_visit import (KEY_NAMES, SetupVisit, StepFailed, Visit, help_shown, outcome,
                               visit_problems, words_in_order)

from .fixture import FIXTURES

RECORDED = FIXTURES / "setup-visit"


class RecordedTerminal:
    """A recorded console (from the end of startup.nsh on) that shows its
    output up to where the recorded visit sent its next key, and on once a
    key comes: the firmware as it answered those keys."""

    def __init__(self):
        self.output = (RECORDED / "console.log").read_bytes()
        self.record = json.loads((RECORDED / "setup-screen.json").read_text())
        self.stops = [key["at"] for key in self.record["keys"]] + [len(self.output)]
        self.shown = 0
        self.sent = []

    def read(self):
        stop = self.stops[min(len(self.sent), len(self.stops) - 1)]
        data, self.shown = self.output[self.shown:stop], max(self.shown, stop)
        return data

    def send(self, key):
        self.sent.append(KEY_NAMES[key])

    def running(self):
        return True


class SteppedClock:
    """Time that passes only when the visit waits."""

    def __init__(self):
        self.time = 0.0

    def now(self):
        return self.time

    def pause(self):
        self.time += 0.05


def visited(visit=None):
    terminal = RecordedTerminal()
    record = terminal.record
    visit = visit or SetupVisit(record["title"], record["prompt"], record["help"])
    driver = Visit(visit, terminal, SteppedClock())
    try:
        driver.run()
        failure = None
    except StepFailed as failed:
        failure = failed
    return terminal, driver, outcome(visit, driver, failure)


class RecordedVisitTest(unittest.TestCase):
    def test_the_recorded_visit_sends_the_same_keys_and_finds_the_option(self):
        terminal, driver, result = visited()
        self.assertEqual(terminal.sent, [key["key"] for key in terminal.record["keys"]])
        self.assertEqual([key["at"] for key in driver.keys], terminal.stops[:-1])
        self.assertEqual({k: result[k] for k in ("reached", "prompt_shown", "help_shown", "prompt_highlighted",
                                                 "failed_step", "screen_size")},
                         {"reached": True, "prompt_shown": True, "help_shown": True,
                          "prompt_highlighted": True, "failed_step": None, "screen_size": [25, 80]})
        self.assertEqual(visit_problems({**result, "problems": []}), [])

    def test_a_missing_text_fails_the_step_that_looks_for_it(self):
        record = RecordedTerminal().record
        cases = [
            (SetupVisit("No Such Formset", record["prompt"], record["help"]), "Device Manager",
             "Device Manager listing 'No Such Formset'"),
            (SetupVisit(record["title"], "No Such Option", record["help"]), "formset", "showing 'No Such Option'"),
            (SetupVisit(record["title"], record["prompt"], "Other help"), "option", "the help text"),
        ]
        for visit, step, what in cases:
            with self.subTest(step):
                _, _, result = visited(visit)
                self.assertEqual(result["failed_step"], step)
                self.assertIn(what, result["problem"])
                self.assertIn("the screen showed:", result["problem"])  # and what it showed
                self.assertEqual(result["reached"], step == "option")
                problems = visit_problems({**result, "problems": []})
                self.assertEqual(len(problems), 1)
                self.assertIn("step %s" % step, problems[0])

    def test_a_firmware_gone_before_the_front_page_fails_at_once(self):
        class Stopped(RecordedTerminal):
            def read(self):
                return b""

            def running(self):
                return False

        driver = Visit(SetupVisit("t", "p", "h"), Stopped(), SteppedClock())
        with self.assertRaisesRegex(StepFailed, "front page: the firmware stopped"):
            driver.run()
        self.assertEqual(driver.clock.now(), 0)


class HelpTextTest(unittest.TestCase):
    def test_help_words_are_read_in_order_down_the_help_column(self):
        cases = [
            # (help column rows, help text, shown)
            ([["Enable", "or", "Disable"], ["VARNEX-W", "OPROM"], ["option."]],
             "Enable or Disable VARNEX-W OPROM option.", True),
            ([["PciRoot(0x0)/Pci(0x1F,"], ["0x2)/Sata"]], "PciRoot(0x0)/Pci(0x1F,0x2)/Sata", True),
            ([["Enable", "or"], ["Disable"]], "Enable or Disable VARNEX-W", False),
            ([["Disable", "or", "Enable"]], "Enable or Disable", False),
            ([["Enable", "or", "Disable", "more"]], "Enable or Disable", True),
        ]
        for lines, text, shown in cases:
            with self.subTest(text):
                self.assertEqual(words_in_order(lines, text.split()), shown)

    def test_help_text_counts_only_in_the_help_column(self):
        screen = Screen()
        screen.feed(b"\x1b[05;04HSecure Boot Mode\x1b[05;58HOther text")
        self.assertFalse(help_shown(screen, "Secure Boot Mode"))
        screen.feed(b"\x1b[06;58HSecure Boot\x1b[07;58HMode")
        self.assertTrue(help_shown(screen, "Secure Boot Mode"))


class RecordTest(unittest.TestCase):
    def test_failed_checks_and_tool_problems_become_problems(self):
        record = {"problem": None, "prompt": "P", "help": "H", "prompt_shown": True, "help_shown": False,
                  "problems": ["no screenshot: x"]}
        self.assertEqual(visit_problems(record),
                         ["Setup visit: the screen did not show the help text 'H'", "Setup visit: no screenshot: x"])
        self.assertEqual(visit_problems(None), [])


if __name__ == "__main__":
    unittest.main()
