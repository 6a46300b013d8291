"""The scenario file's JSON Schema (`boardsim --schema`) against what it
describes: the committed copy and the README's list of keys are the tool's,
every shipped scenario names the schema and follows it, what the writer
writes follows it, and on every case of tests/data/scenario-cases.json the
schema's verdict is the reader's, except where the case says why the schema
cannot tell. Runs on Debian's Python, with Debian's python3-jsonschema and
python3-json5 (scenario files may hold comments)."""

import json
import os
import subprocess
import tempfile
import unittest
from pathlib import Path

import json5
from jsonschema import Draft202012Validator
from jsonschema.exceptions import best_match

REPO = Path(__file__).resolve().parent.parent
BOARDSIM = os.environ["BOARDSIM"]
SCHEMA_FILE = REPO / "docs" / "scenario.schema.json"
CASES = json.loads((REPO / "tests" / "data" / "scenario-cases.json").read_text())
REGENERATE = "regenerate both with: make scenario-contract"


def boardsim(*arguments):
    return subprocess.run([BOARDSIM, *arguments], capture_output=True, text=True, check=False)


def shipped_scenarios():
    return (sorted((REPO / "examples").glob("*.json"))
            + sorted((REPO / "firmware-tests" / "scenarios").glob("*.json"))
            + sorted((REPO / "fuzz" / "reproducers").glob("*.json")))


def case_text(case):
    return case["text"] if "text" in case else json.dumps(case["scenario"])


class ScenarioSchema(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        printed = boardsim("--schema")
        assert printed.returncode == 0, printed.stderr
        cls.printed = printed.stdout
        cls.schema = json.loads(printed.stdout)
        cls.validator = Draft202012Validator(cls.schema)

    def refusal(self, scenario):
        """The schema's message on the scenario, None when it follows it."""
        error = best_match(self.validator.iter_errors(scenario))
        return None if error is None else error.message

    def schema_refuses(self, text):
        try:
            scenario = json.loads(text)
        except json.JSONDecodeError:
            return True  # no JSON, nothing to validate
        return self.refusal(scenario) is not None

    def reader_refuses(self, name, text):
        with tempfile.TemporaryDirectory() as directory:
            path = Path(directory) / (name + ".json")
            path.write_text(text)
            run = boardsim(str(path), "--scenario")
        self.assertIn(run.returncode, (0, 2), run.stderr)
        return run.returncode == 2

    def test_committed_schema_and_readme_list_are_the_tools(self):
        self.assertEqual(SCHEMA_FILE.read_text(), self.printed,
                         "docs/scenario.schema.json differs from boardsim --schema; " + REGENERATE)
        block = subprocess.run([REPO / "firmware-tests" / "platform" / "readme-block.sh",
                                "scenario-keys"], capture_output=True, text=True, check=True)
        self.assertEqual(block.stdout, boardsim("--keys").stdout,
                         "README.md's scenario-keys block differs from boardsim --keys; "
                         + REGENERATE)

    def test_schema_is_a_valid_draft_2020_12_schema(self):
        Draft202012Validator.check_schema(self.schema)

    def test_every_shipped_scenario_names_the_schema_and_follows_it(self):
        scenarios = shipped_scenarios()
        self.assertGreaterEqual(len(scenarios), 15)
        for path in scenarios:
            with self.subTest(str(path.relative_to(REPO))):
                scenario = json5.loads(path.read_text())
                self.assertEqual(scenario.get("$schema"),
                                 os.path.relpath(SCHEMA_FILE, path.parent))
                self.assertIsNone(self.refusal(scenario))

    def test_what_the_writer_writes_follows_the_schema(self):
        for path in shipped_scenarios():
            with self.subTest(str(path.relative_to(REPO))):
                written = boardsim(str(path), "--scenario")
                self.assertEqual(written.returncode, 0, written.stderr)
                self.assertIsNone(self.refusal(json.loads(written.stdout)))

    def test_schema_and_reader_give_each_case_the_same_verdict(self):
        for verdict in ("refused", "accepted"):
            for case in CASES[verdict]:
                with self.subTest(case["name"]):
                    text = case_text(case)
                    reader = self.reader_refuses(case["name"], text)
                    self.assertEqual(reader, verdict == "refused")
                    if "schema_cannot" in case:
                        # Held so the note goes once the schema can tell.
                        self.assertFalse(self.schema_refuses(text), case["schema_cannot"])
                    else:
                        self.assertEqual(self.schema_refuses(text), reader)

    def test_a_wrong_value_is_refused_with_the_schemas_message(self):
        message = self.refusal({"$schema": "../docs/scenario.schema.json", "p2sb": "broken"})
        print("\nthe schema on {\"p2sb\": \"broken\"}: " + str(message))
        self.assertEqual(message, "'broken' is not one of ['ok', 'absent', 'stuck', 'error']")


if __name__ == "__main__":
    unittest.main()
