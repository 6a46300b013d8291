import unittest

from stage import boardsim
from stage.boardsim import REPO

from .fixture import FIXTURES, expected

# The scenario each recorded run played (varnex-w has no SMM base, so the
# firmware-volume path plays it unchanged in the SMM variant too).
SOURCES = {"reads-zero": REPO / "firmware-tests" / "scenarios" / "reads-zero.json",
           "varnex-w": REPO / "examples" / "varnex-w.json",
           "fv-smm-varnex-w": REPO / "examples" / "varnex-w.json",
           # As the platform build played it, with the consumer's call.
           "platform-varnex-w": FIXTURES / "platform-varnex-w" / "scenario.json"}


class RecordedExpectationTest(unittest.TestCase):
    def test_is_what_boardsim_prints_today(self):
        """The reader and comparison tests meet boardsim's current outcome,
        so a change of its shape cannot pass them unnoticed."""
        for name, scenario in SOURCES.items():
            with self.subTest(name):
                self.assertEqual(expected(name), boardsim.expected_outcome(scenario))


if __name__ == "__main__":
    unittest.main()
