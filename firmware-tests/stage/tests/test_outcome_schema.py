import json
import subprocess
import unittest
from types import SimpleNamespace

from stage import boardsim
from stage.outcome_schema import malformed, outcome_schema
from stage.play import judge
from stage.reader import firmware_side

from .fixture import FIXTURES, LAID_OUT, RECORDED, copied, edited, expected, facts


def recorded_side(name):
    play = RECORDED[name]
    return firmware_side(FIXTURES / name, facts(), play, play.load_path)


class OutcomeSchemaTest(unittest.TestCase):
    def test_both_sides_of_every_recorded_run_follow_it(self):
        for name in RECORDED:
            with self.subTest(name):
                self.assertIsNone(malformed(recorded_side(name), expected(name)))

    def test_boardsim_reports_every_shipped_scenario_in_it(self):
        shipped = sorted((boardsim.REPO / "examples").glob("*.json")) + sorted(
            (boardsim.REPO / "firmware-tests" / "scenarios").glob("*.json"))
        side = recorded_side("varnex-w")
        for path in shipped:
            for options in (["--json"], ["--json", "--trace"]):
                with self.subTest(path.name, options=options):
                    run = subprocess.run([str(boardsim.BOARDSIM), str(path), *options],
                                         capture_output=True, text=True, check=True)
                    self.assertIsNone(malformed(side, json.loads(run.stdout)))

    def test_a_malformed_side_is_refused_by_name_with_what_is_wrong(self):
        side, wanted = recorded_side("varnex-w"), expected("varnex-w")
        cases = [
            ("the firmware side", edited(side, lambda s: s["slot_record_reads"][0].update(status=5)),
             wanted, "at slot_record_reads/0/status: 5 is not of type 'string'"),
            ("the firmware side", edited(side, lambda s: s.pop("lan")), wanted,
             "at its top level: 'lan' is a required property"),
            ("the firmware side", edited(side, lambda s: s.update(lan_status="ok")), wanted,
             "('lan_status' was unexpected)"),
            ("boardsim's outcome", side, edited(wanted, lambda e: e.update(entry_status="0x0")),
             "at entry_status: '0x0' does not match"),
            ("boardsim's outcome", side,
             edited(wanted, lambda e: e["gpp_b0"]["sideband_messages"][0].pop("applied")),
             "at gpp_b0/sideband_messages/0: 'applied' is a required property"),
        ]
        for name, mine, theirs, message in cases:
            with self.subTest(message):
                problem = malformed(mine, theirs, outcome_schema())
                self.assertIsNotNone(problem)
                self.assertTrue(problem.startswith(name + " does not follow the outcome schema"),
                                problem)
                self.assertIn(message, problem)

    def test_the_stage_compares_no_malformed_side(self):
        scratch, directory = copied("varnex-w")
        with scratch:
            broken = edited(expected("varnex-w"), lambda e: e.update(entry_status=0))
            rows, problems, _ = judge(SimpleNamespace(play=LAID_OUT, expected=broken), directory,
                                      facts())
        self.assertEqual(rows, [])
        self.assertIn("boardsim's outcome does not follow the outcome schema at entry_status: "
                      "0 is not of type 'string'", problems)


if __name__ == "__main__":
    unittest.main()
