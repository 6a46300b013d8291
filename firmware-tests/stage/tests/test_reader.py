import json
import unittest
from pathlib import Path

from stage import trace
from stage.console import BootConsole, dh_carriers, dh_handles, loaded_images
from stage.plan import Play
from stage.reader import entry_class_of, firmware_side, setup_texts, unexplained_lock_changes

from .fixture import FIXTURES, FV_SMM_LAID_OUT, LAID_OUT, LOAD_PATH, UNBACKED, copied, facts

OK = "0x0000000000000000"


class ConsoleTest(unittest.TestCase):
    def setUp(self):
        self.console = BootConsole(FIXTURES / "reads-zero" / "console.log")

    def test_sections_in_the_order_startup_nsh_echoes_them(self):
        self.assertEqual(list(self.console.parts), ["checker", "smbiosview", "dh", "end"])

    def test_companion_log_as_long_as_the_checker_says(self):
        said = int(self.console.checker.facts["companion-log"]["bytes"])
        self.assertEqual(self.console.companion.byte_count(), said)
        self.assertEqual(self.console.companion.lines[0], "companion start")

    def test_checker_entries_by_number(self):
        self.assertEqual(self.console.checker.entries[1], {"status": "0x0"})
        self.assertEqual(sorted(self.console.checker.entries), [0, 1, 2, 3, 4, 5, 6, 7])
        self.assertTrue(self.console.checker.ran_to_end())

    def test_dh_handles_and_slot_listing(self):
        self.assertEqual(dh_handles(self.console.dh, "LoadedImage(\\BoardConfigDxe.efi)"), ["AF"])
        self.assertEqual(dh_handles(self.console.dh, "loadedimage(\\boardstagecompanion.efi)"), ["B1"])
        self.assertEqual(self.console.slots, [(1, "RISER SLOT NONE")])


class UnbackedBootTest(unittest.TestCase):
    def setUp(self):
        self.side = firmware_side(FIXTURES / "reads-zero", facts(), UNBACKED, LOAD_PATH)

    def test_outcomes_in_boardsim_shape(self):
        side = self.side
        self.assertEqual(side["entry_status_class"], "kept")
        self.assertEqual((side["smm_base"], side["smm_base_in_smm"]), (False, None))
        self.assertEqual(side["slot_records_left"], [1])
        self.assertEqual(side["slot_record_reads"],
                         [{"instance": 3, "value_in": "0x0000", "status": OK},
                          {"instance": 2, "value_in": "0x0000", "status": OK}])
        # Positions from the designations; handles are the firmware's.
        self.assertEqual(side["slot_records_deleted"],
                         [{"position": 3, "handle": "0x0003", "status": OK},
                          {"position": 2, "handle": "0x0002", "status": OK}])
        # No riser: both languages keep the form's defaults.
        self.assertEqual(side["setup_texts"], {
            "en-US": {"0x1A52": "Riser OPROM", "0x1A53": "Enable or Disable Riser OPROM option."},
            "fr-FR": {"0x1A52": "OPROM du riser", "0x1A53": "Activer ou desactiver l'OPROM du riser."}})
        self.assertEqual(side["bridge_lookups"], [{"key": 8, "bridge": "0x00E0"},
                                                  {"key": 403, "bridge": "0x00E1"}])
        self.assertEqual(side["board_service"]["entries"],
                         {"0": False, "1": OK, "2": False, "3": None, "5": True, "6": OK, "7": None})
        self.assertEqual(side["lan"], {"status": OK, "first": "a5a5a500" + "a5" * 12,
                                       "second": "00" + "5a" * 15})
        self.assertNotIn("gpp_b0", side)

    def test_trace_holds_only_window_accesses_folded(self):
        accesses = self.side["accesses"]
        flat = trace.expand(accesses)
        self.assertEqual(self.side["access_count"], len(flat))
        self.assertEqual(len(flat), 58)
        self.assertTrue(all(facts().in_windows(address) for _, _, address, _ in flat))
        self.assertTrue(all(value == 0 for op, _, _, value in flat if op == "read"))
        self.assertEqual(accesses[0], {"op": "read", "width": 16, "address": "0xE00F8002",
                                       "value": "0x0000", "repeat": 2})
        writes = [a for a in accesses if a["op"] == "write"]
        self.assertEqual(writes, [{"op": "write", "width": 32, "address": "0xFD6E0790", "value": None}])

    def test_the_firmware_instance_answering_leaves_bridge_lookups_unseen(self):
        play = Play(variant="plain", windows="unbacked", bridge_location="firmware", load_path=LOAD_PATH)
        side = firmware_side(FIXTURES / "reads-zero", facts(), play, LOAD_PATH)
        self.assertIsNone(side["bridge_lookups"])


class LaidOutBoardTest(unittest.TestCase):
    def test_gpp_b0_from_the_account_of_the_laid_out_board(self):
        side = firmware_side(FIXTURES / "varnex-w", facts(), LAID_OUT, LOAD_PATH)
        gpp = side["gpp_b0"]
        self.assertEqual((gpp["dw0"], gpp["tx_locked"]), ("0x44000200", True))
        self.assertEqual([m["data"] for m in gpp["sideband_messages"]], ["0x00000000", "0x00000001"])
        self.assertEqual(gpp["tx_lock_changes_unexplained"], [])
        replaced = {"0x1A52": "VARNEX-W OPROM", "0x1A53": "Enable or Disable VARNEX-W OPROM option."}
        self.assertEqual(side["setup_texts"], {"en-US": replaced, "fr-FR": replaced})
        self.assertEqual(side["slot_records_left"], [2])
        self.assertNotIn("accesses", side)

    def test_lock_changes_need_a_served_message(self):
        account = json.loads((FIXTURES / "varnex-w" / "board-account.json").read_text())
        lock = account["gpp_b0"]["lock_tx_address"]
        cases = [
            ("as served", lambda a: None, 1, 0),
            ("a message found another value", lambda a: a["messages"][1].update(lock_before="0x00000001"), 1, 1),
            ("memory ends elsewhere", lambda a: None, 0, 1),
            ("the model noted a store", lambda a: a["notes"].append("store to a lock"), 1, 1),
        ]
        for what, change, final, problems in cases:
            with self.subTest(what):
                edited = json.loads(json.dumps(account))
                change(edited)
                self.assertEqual(len(unexplained_lock_changes(edited, lock, final)), problems)


class FirmwareVolumeBootTest(unittest.TestCase):
    """The driver dispatched by the DXE core from OVMF's volume, built with
    SMM: the SMM IPL comes after it."""

    def setUp(self):
        self.console = BootConsole(FIXTURES / "fv-smm-varnex-w" / "console.log")

    def test_loaded_images_with_their_file_paths(self):
        images = {image.name: image for image in loaded_images(self.console.parts["images"])}
        self.assertEqual(sorted(images), ["BoardConfigDxe", "BoardStageCompanion"])
        driver = images["BoardConfigDxe"]
        self.assertEqual((driver.handle, driver.file_path), ("2A", "FvFile(EE004913-32A0-49F1-BAB8-D6B172F11AC6)"))
        self.assertTrue(driver.device_path.startswith("Fv(7CB8BDC9-F8EB-4F34-AAEA-3EE4AF6516A1)/FvFile("))

    def test_protocols_by_dh_name_as_whole_words(self):
        self.assertEqual(dh_carriers(self.console.dh, "SmmBase2"), ["4B"])
        self.assertEqual(dh_carriers(self.console.dh, "SmmBase"), [])

    def test_smm_base_installed_after_the_driver_started_counts_as_absent(self):
        side = firmware_side(FIXTURES / "fv-smm-varnex-w", facts(), FV_SMM_LAID_OUT, FV_SMM_LAID_OUT.load_path)
        self.assertEqual(self.console.companion.first("smm-base2 ")["status"], "0x0")
        self.assertEqual((side["smm_base"], side["smm_base_in_smm"]), (False, None))
        self.assertEqual(side["entry_status_class"], "kept")
        self.assertEqual(side["stage"]["driver_loaded_from"],
                         ["Fv(7CB8BDC9-F8EB-4F34-AAEA-3EE4AF6516A1)/FvFile(EE004913-32A0-49F1-BAB8-D6B172F11AC6)"])

    def test_smm_base_installed_before_the_driver_counts_with_its_answer(self):
        scratch, directory = copied("fv-smm-varnex-w")
        with scratch:
            path = directory / "console.log"
            path.write_bytes(path.read_bytes().replace(b"4B\x1b[0m\x1b[37m\x1b[40m: ", b"06: "))
            side = firmware_side(directory, facts(), FV_SMM_LAID_OUT, FV_SMM_LAID_OUT.load_path)
        self.assertEqual((side["smm_base"], side["smm_base_in_smm"]), (True, False))


class SetupTextsTest(unittest.TestCase):
    def test_a_failed_read_shows_its_status_and_a_missing_form_nothing(self):
        console = BootConsole(FIXTURES / "varnex-w" / "console.log")
        checker = console.checker
        checker.lines = [line.replace("id=0x1a53 status=0x0 text=Enable or Disable VARNEX-W OPROM option.",
                                      "id=0x1a53 status=0x800000000000000e text=")
                         if line.startswith("setup-text lang=fr-FR") else line for line in checker.lines]
        self.assertEqual(setup_texts(checker)["fr-FR"]["0x1A53"], "GetString status 0x800000000000000E")
        self.assertEqual(setup_texts(checker)["en-US"]["0x1A53"], "Enable or Disable VARNEX-W OPROM option.")
        checker.facts["setup-form"] = {"found": "0"}
        self.assertIsNone(setup_texts(checker))


class EntryClassTest(unittest.TestCase):
    def test_what_dh_can_tell(self):
        self.assertEqual(entry_class_of(1, 1), "kept")
        self.assertEqual(entry_class_of(0, 0), "unloaded")
        self.assertEqual(entry_class_of(1, 0), "kept without service")
        self.assertEqual(entry_class_of(2, 1), "image loaded 2 times, service on 1 handles")


if __name__ == "__main__":
    unittest.main()
