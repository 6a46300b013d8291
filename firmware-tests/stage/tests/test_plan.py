import tempfile
import unittest
from pathlib import Path

from stage.boardsim import REPO, resolved_scenario
from stage.firmware import LOAD_PATHS
from stage.plan import COMPANION_STEPS, as_played, plan

from .fixture import LOAD_PATH, PLATFORM, edited, facts

_default = None


def default_scenario():
    """The default board, resolved by boardsim."""
    global _default
    if _default is None:
        with tempfile.TemporaryDirectory() as scratch:
            path = Path(scratch) / "default.json"
            path.write_text("{}")
            _default = resolved_scenario(path)
    return _default


def played(change):
    return plan(edited(default_scenario(), change), facts(), LOAD_PATH)


class PlayedTest(unittest.TestCase):
    def test_how_each_playable_scenario_is_played(self):
        location = ["install pci_location"]
        cases = [
            ("the default board", lambda s: None, ("plain", "laid-out", "companion")),
            ("unbacked windows", lambda s: s.update(reads_zero=True), ("plain", "unbacked", "companion")),
            ("an SMM base", lambda s: s.update(smm_base=True), ("smm", "laid-out", "companion")),
            ("the service before the entry", lambda s: s.update(steps=location + COMPANION_STEPS),
             ("plain", "laid-out", "companion")),
            ("no bridge-location service", lambda s: s.update(steps=list(COMPANION_STEPS)),
             ("plain", "laid-out", "firmware")),
            ("another P2SB", lambda s: s.update(p2sb="absent"), ("plain", "laid-out", "companion")),
        ]
        for what, change, how in cases:
            with self.subTest(what):
                play, reason = played(change)
                self.assertIsNone(reason)
                self.assertEqual((play.variant, play.windows, play.bridge_location), how)

    def test_every_shipped_scenario_plays(self):
        shipped = sorted((REPO / "examples").glob("*.json")) + sorted(
            (REPO / "firmware-tests" / "scenarios").glob("*.json"))
        for path in shipped:
            with self.subTest(path.name):
                self.assertEqual(plan(resolved_scenario(path), facts(), LOAD_PATH)[1], None)


class AsPlayedTest(unittest.TestCase):
    def test_smm_base_at_the_driver_entry_by_load_path_and_variant(self):
        """Loaded in BDS the driver finds what the variant has; dispatched
        from the volume it starts before the SMM IPL in either."""
        cases = [("driver-option", "plain", False), ("driver-option", "smm", True),
                 ("firmware-volume", "plain", False), ("firmware-volume", "smm", False)]
        for path, variant, smm_base in cases:
            with self.subTest(path=path, variant=variant):
                scenario = edited(default_scenario(), lambda s: s.update(smm_base=True))
                played = as_played(scenario, variant, LOAD_PATHS[path])
                self.assertEqual(played, {**scenario, "smm_base": smm_base})
                self.assertEqual(plan(played, facts(), LOAD_PATHS[path], variant)[0].variant, variant)


class HostOnlyTest(unittest.TestCase):
    def test_what_only_the_host_can_play(self):
        cases = [
            ("faults", lambda s: s.update(faults=[{"service": "AllocatePool", "status": "0x1", "call": 1}])),
            ("record_copies", lambda s: s.update(record_copies={"3": "09110009"})),
            ("record_reads_without_buffer", lambda s: s.update(record_reads_without_buffer=True)),
            ("hostile_reads", lambda s: s.update(hostile_reads="00")),
            ("bridge_keys", lambda s: s["bridge_keys"].update({"8": "0x00E2"})),
            ("configuration_tables", lambda s: s.update(configuration_tables=["acpi20"])),
            ("slot_records", lambda s: s.update(slot_records=2)),
            ("steps", lambda s: s.update(steps=["entry", "install smbios", "install setup_strings",
                                                "install pci_location", "ready_to_boot", "ready_to_boot",
                                                "entry4"])),
            ("steps", lambda s: s["steps"].__setitem__(-1, "entry4_exact")),
            ("steps", lambda s: s["steps"].remove("ready_to_boot")),
        ]
        for key, change in cases:
            with self.subTest(key):
                play, reason = played(change)
                self.assertIsNone(play)
                self.assertTrue(reason.startswith(key), reason)


class PlatformBuildTest(unittest.TestCase):
    """OVMF built from source plays each board in its one variant, with the
    sample consumer's call of entry 4 among the steps, and only where the
    companion names the bridges."""

    VOLUME = LOAD_PATHS["firmware-volume"]

    def test_the_consumer_asks_before_the_drivers_ready_to_boot_work(self):
        played = as_played(default_scenario(), "plain", self.VOLUME, PLATFORM)
        self.assertEqual(played["steps"], ["entry", "install pci_location", "install smbios",
                                           "install setup_strings", "entry4", "ready_to_boot",
                                           "ready_to_boot", "entry4"])
        play, reason = plan(played, facts(), self.VOLUME, "plain", PLATFORM)
        self.assertIsNone(reason)
        self.assertEqual((play.firmware, play.bridge_location), (PLATFORM, "companion"))

    def test_a_board_with_an_smm_base_plays_in_its_one_variant(self):
        self.assertEqual(PLATFORM.variant_for("smm"), "plain")
        self.assertEqual(PLATFORM.variants, ("plain",))

    def test_the_firmwares_own_pcd_database_is_never_asked(self):
        scenario = edited(default_scenario(), lambda s: s.update(steps=list(COMPANION_STEPS)))
        play, reason = plan(as_played(scenario, "plain", self.VOLUME, PLATFORM), facts(), self.VOLUME,
                            "plain", PLATFORM)
        self.assertIsNone(play)
        self.assertIn("ASSERTs", reason)
        self.assertEqual(plan(scenario, facts(), self.VOLUME)[0].bridge_location, "firmware")


if __name__ == "__main__":
    unittest.main()
