import unittest

from stage import trace
from stage.compare import compare, differing, entry_class
from stage.plan import Play
from stage.reader import firmware_side
from stage.report import scenario_lines

from .fixture import (FIXTURES, LAID_OUT, LOAD_PATH, PLATFORM_LAID_OUT, RECORDED, UNBACKED, copied, edited,
                      expected, facts)


def side_of(name, play):
    return firmware_side(FIXTURES / name, facts(), play, play.load_path)


def drop_access(outcome, index):
    flat = trace.expand(outcome["accesses"])
    del flat[index]
    outcome["accesses"] = [{"op": op, "width": width, "address": "0x%08X" % address,
                            "value": None if value is None else trace.hex_value(value, width)}
                           for op, width, address, value in flat]


class AgreeingSidesTest(unittest.TestCase):
    def test_recorded_boots_agree_with_their_expectations(self):
        for name, play in RECORDED.items():
            with self.subTest(name):
                rows = compare(side_of(name, play), expected(name), facts(), play)
                self.assertEqual(differing(rows), [])
                self.assertTrue(all(row.compared for row in rows))

    def test_what_each_kind_of_run_compares(self):
        unbacked = [row.outcome for row in compare(side_of("reads-zero", UNBACKED), expected("reads-zero"),
                                                   facts(), UNBACKED)]
        laid_out = [row.outcome for row in compare(side_of("varnex-w", LAID_OUT), expected("varnex-w"),
                                                   facts(), LAID_OUT)]
        self.assertIn("access trace (op, width, address, read value; in order)", unbacked)
        self.assertNotIn("GPP_B0 DW0", unbacked)
        self.assertIn("sideband messages served (every field)", laid_out)
        self.assertNotIn("access trace (op, width, address, read value; in order)", laid_out)


PAD_STORE = "GPP_B0 DW0 read right after a store flipping TX (before, read, restored)"


class WrongExpectationTest(unittest.TestCase):
    """Each edited expectation must fail the comparison in the named rows."""

    CASES = [
        ("another slot kept", "reads-zero", UNBACKED,
         lambda e: e.update(slot_records_left=[3]), ["slot records left (positions)"]),
        ("deleted in the other order", "reads-zero", UNBACKED,
         lambda e: e["slot_records_deleted"].reverse(), ["slot records deleted (position, status)"]),
        ("another instance read", "reads-zero", UNBACKED,
         lambda e: e["slot_record_reads"][1].update(instance=1),
         ["SMBIOS reads (instance, value in, status)"]),
        ("a changed MAC", "varnex-w", LAID_OUT,
         lambda e: e["lan"].update(first=e["lan"]["first"][:-2] + "ff"),
         ["entry 4 first list (count, MACs)", "entry 4 first buffer bytes written"]),
        ("a missing access", "reads-zero", UNBACKED,
         lambda e: drop_access(e, 51), ["access trace (op, width, address, read value; in order)"]),
        ("a read that answers", "reads-zero", UNBACKED,
         lambda e: e["accesses"][0].update(value="0xA305"),
         ["access trace (op, width, address, read value; in order)"]),
        ("another routing", "varnex-w", LAID_OUT,
         lambda e: e["gpp_b0"]["sideband_messages"][0].update(routing="0x0000"),
         ["sideband messages served (every field)"]),
        ("another count of status reads", "varnex-w", LAID_OUT,
         lambda e: e["gpp_b0"]["sideband_messages"][1].update(status_reads=3),
         ["sideband messages served (every field)"]),
        ("DW0 untouched", "varnex-w", LAID_OUT,
         lambda e: e["gpp_b0"].update(dw0="0x44000201"), ["GPP_B0 DW0", PAD_STORE]),
        ("TX lock lifted at the end", "varnex-w", LAID_OUT,
         lambda e: e["gpp_b0"].update(tx_locked=False), ["GPP_B0 TX lock", PAD_STORE]),
        ("lifted, but another agent owns the pad", "varnex-w", LAID_OUT,
         lambda e: (e["gpp_b0"].update(tx_locked=False), e["scenario"]["gpp_b0"].update(owner=1)),
         ["GPP_B0 TX lock"]),
        ("a failed entry", "varnex-w", LAID_OUT,
         lambda e: e.update(entry_status="0x800000000000000E"), ["entry status (class)"]),
        ("an SMM base", "reads-zero", UNBACKED,
         lambda e: e.update(smm_base=True, smm_base_in_smm=False),
         ["SMM base present", "SMM base InSmm answer"]),
        ("InSmm answers TRUE", "reads-zero", UNBACKED,
         lambda e: e.update(smm_base=True, smm_base_in_smm=True),
         ["SMM base present", "SMM base InSmm answer"]),
        ("no board service at the entry", "varnex-w", LAID_OUT,
         lambda e: e.update(board_service_at_entry=False),
         ["board service installed at the entry"]),
        ("other Setup text", "varnex-w", LAID_OUT,
         lambda e: e["setup_strings"].update({"0x1A52": "Riser OPROM"}), ["Setup strings read back (GetString, each language)"]),
        ("a replacement the firmware did not make", "reads-zero", UNBACKED,
         lambda e: e["setup_strings"].update({"0x1A53": "Enable or Disable VARNEX-W OPROM option."}),
         ["Setup strings read back (GetString, each language)"]),
        ("another bridge", "varnex-w", LAID_OUT,
         lambda e: e["bridge_lookups"][1].update(bridge="0x00E2"), ["bridge lookups (key, bridge)"]),
        ("another MAC behind the second bridge", "platform-varnex-w", PLATFORM_LAID_OUT,
         lambda e: e["lan"].update(second=e["lan"]["second"][:-2] + "ff"),
         ["entry 4 second list (count, MACs)", "entry 4 second buffer bytes written",
          "sample consumer's entry 4 at ready-to-boot (status, port 1, port 2)"]),
        ("entry 4 failing", "platform-varnex-w", PLATFORM_LAID_OUT,
         lambda e: e["lan"].update(status="0x800000000000000E"),
         ["entry 4 status", "sample consumer's entry 4 at ready-to-boot (status, port 1, port 2)"]),
        ("entry 3 a function", "reads-zero", UNBACKED,
         lambda e: e["board_service"]["entries"].update({"3": "not null"}),
         ["board service (installed, entries 0-3, 5-7)"]),
    ]

    def test_each_wrong_expectation_fails_in_its_rows(self):
        for what, name, play, change, outcomes in self.CASES:
            with self.subTest(what):
                rows = compare(side_of(name, play), edited(expected(name), change), facts(), play)
                self.assertEqual([row.outcome for row in differing(rows)], outcomes)

    def test_a_failure_prints_both_sides(self):
        rows = compare(side_of("reads-zero", UNBACKED), edited(expected("reads-zero"),
                                                               lambda e: e.update(slot_records_left=[3])),
                       facts(), UNBACKED)
        lines = scenario_lines("reads-zero", rows, [])
        marked = [line for line in lines if line.startswith("  <>")]
        self.assertEqual(len(marked), 1)
        self.assertIn("[1]", marked[0])
        self.assertIn("[3]", marked[0])

    def test_a_missing_access_shows_both_traces(self):
        rows = compare(side_of("reads-zero", UNBACKED), edited(expected("reads-zero"), lambda e: drop_access(e, 51)),
                       facts(), UNBACKED)
        text = "\n".join(scenario_lines("reads-zero", rows, []))
        self.assertIn("58 accesses, the first difference at #51", text)
        self.assertIn("firmware (QEMU)", text)
        self.assertRegex(text, r"<>  51  \S+ +\d+ 0x[0-9A-F]{8}.*  \S+ +\d+ 0x[0-9A-F]{8}")


class PadStoreTest(unittest.TestCase):
    """The checker's store to the TX-locked GPP_B0, read back by the next
    instruction: a board that had not yet acted on the store fails."""

    LINE = (b"BOARDCHECK pad-store address=0xfd6e0790 owner=0x0 before=0x44000200 stored=0x44000201 "
            b"read=0x44000200 restored=0x44000200\r\n")

    def row_after(self, change):
        scratch, directory = copied("varnex-w")
        with scratch:
            console = directory / "console.log"
            text = console.read_bytes()
            self.assertIn(self.LINE, text)
            console.write_bytes(change(text))
            side = firmware_side(directory, facts(), LAID_OUT, LAID_OUT.load_path)
        rows = compare(side, expected("varnex-w"), facts(), LAID_OUT)
        return next(row for row in rows if row.outcome == PAD_STORE)

    def test_read_back_against_boardsim(self):
        cases = [("as recorded", lambda text: text, True),
                 ("the store itself read back", lambda text: text.replace(
                     self.LINE, self.LINE.replace(b"read=0x44000200", b"read=0x44000201")), False),
                 ("no store made", lambda text: text.replace(self.LINE, b""), False)]
        for what, change, agree in cases:
            with self.subTest(what):
                self.assertEqual(self.row_after(change).agree, agree)


class ConsumerTest(unittest.TestCase):
    ROW = "sample consumer's entry 4 at ready-to-boot (status, port 1, port 2)"

    def test_a_silent_consumer_fails_and_debian_ovmf_has_none(self):
        side = side_of("platform-varnex-w", PLATFORM_LAID_OUT)
        side["consumer"] = None
        rows = compare(side, expected("platform-varnex-w"), facts(), PLATFORM_LAID_OUT)
        self.assertEqual([row.outcome for row in differing(rows)], [self.ROW])
        debian = compare(side_of("varnex-w", LAID_OUT), expected("varnex-w"), facts(), LAID_OUT)
        self.assertNotIn(self.ROW, [row.outcome for row in debian])


class SetupScreenTest(unittest.TestCase):
    """A boot that visits Setup: the form browser must show boardsim's
    prompt and help, in the firmware's language, on the board's form."""

    ROW = "Setup screen (the form browser's formset, prompt, help)"

    def row_of(self, shown):
        side = side_of("varnex-w", LAID_OUT)
        side["setup_screen"] = shown
        return next((row for row in compare(side, expected("varnex-w"), facts(), LAID_OUT)
                     if row.outcome == self.ROW), None)

    def test_shown_texts_against_boardsim(self):
        renamed = {"formset": "Board Setup", "prompt": "VARNEX-W OPROM",
                   "help": "Enable or Disable VARNEX-W OPROM option."}
        cases = [("as boardsim says", renamed, True),
                 ("the default prompt", {**renamed, "prompt": None}, False),
                 ("no help shown", {**renamed, "help": None}, False),
                 ("another formset", {**renamed, "formset": None}, False)]
        for what, shown, agree in cases:
            with self.subTest(what):
                self.assertEqual(self.row_of(shown).agree, agree)

    def test_no_row_without_a_visit(self):
        self.assertIsNone(self.row_of(None))


class CheckerBufferTest(unittest.TestCase):
    def test_bytes_past_the_promised_size_must_keep_the_canary(self):
        side = side_of("varnex-w", LAID_OUT)
        side["lan"]["second"] = side["lan"]["second"][:14] + "00" + side["lan"]["second"][16:]
        rows = compare(side, expected("varnex-w"), facts(), LAID_OUT)
        self.assertEqual([row.outcome for row in differing(rows)], ["entry 4 second buffer bytes written"])


class FirmwareBridgeLocationTest(unittest.TestCase):
    def test_entry4_status_and_lookups_shown_but_not_compared(self):
        play = Play(variant="plain", windows="laid-out", bridge_location="firmware", load_path=LOAD_PATH)
        side = side_of("varnex-w", play)
        # What boardsim says when no bridge-location service is ever there.
        wanted = edited(expected("varnex-w"), lambda e: (e["lan"].update(status="0x800000000000000E"),
                                                         e.update(bridge_lookups=[])))
        rows = {row.outcome: row for row in compare(side, wanted, facts(), play)}
        for outcome in ("entry 4 status", "bridge lookups (key, bridge)"):
            self.assertFalse(rows[outcome].compared)
            self.assertTrue(rows[outcome].agree)
        self.assertTrue(rows["entry 4 first list (count, MACs)"].compared)


class EntryClassTest(unittest.TestCase):
    def test_class_of_boardsim_entry_status(self):
        installed = {"installed": True, "entries": {}}
        self.assertEqual(entry_class({"entry_status": "0x0000000000000000", "board_service": installed}), "kept")
        self.assertEqual(entry_class({"entry_status": "0x0000000000000004", "board_service": installed}), "kept")
        self.assertEqual(entry_class({"entry_status": "0x8000000000000009", "board_service": None}), "unloaded")
        self.assertEqual(entry_class({"entry_status": "0x0000000000000000",
                                      "board_service": {"installed": False}}), "kept without service")


if __name__ == "__main__":
    unittest.main()
